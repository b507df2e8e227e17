; kelvane-setup.exe: installs Kelvane Server (kelvane.exe), the clock relay (tiktor.exe), the card
; database Info.ini and the skin into the folder of the mainboard's platform software, starts the
; server at logon and registers an uninstaller. Built by CMake (installer/CMakeLists.txt):
;   makensis -DBUILD_DEFINES=<build>/installer/Build.nsh kelvane.nsi
;
; Command line: /S silent; /SIMBOARD also installs the simulated mainboard; /D=FOLDER (last) the
; program folder. Exit codes: 0 installed; 1 cancelled; 2 the platform software's files are missing
; from the folder (silent mode; nothing installed); 3 a running server did not close (nothing
; replaced). Silent runs write what they did to %TEMP%\kelvane-setup.log (kelvane-uninstall.log).

!include "${BUILD_DEFINES}"

Unicode true
Target ${NSIS_TARGET}
SetCompressor /SOLID lzma
ManifestDPIAware true
; Program Files and HKLM need an administrator.
RequestExecutionLevel admin

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh
!include WinMessages.nsh

!define UNINSTALLER "kelvane-uninstall.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kelvane"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; The maker's suite registers itself here; its folder is the platform software's.
!define SUITE_APP_PATH_KEY "Software\Microsoft\Windows\CurrentVersion\App Paths\Tunedeck II.exe"
; Where wine finds its per-program library choices: the board's device tree replaces the system's
; setupapi.dll for the server only.
!define BOARD_OVERRIDES_KEY "Software\Wine\AppDefaults\kelvane.exe\DllOverrides"
; How long a running server may take to close: its start-up alone takes several seconds.
!define SERVER_CLOSE_DEADLINE_MS 30000

Name "${PRODUCT}"
OutFile "${SETUP_FILE}"
BrandingText "${COMPANY}"
AllowSkipFiles off
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${COMPANY}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${COMPANY}"
VIAddVersionKey /LANG=1033 "OriginalFilename" "kelvane-setup.exe"

!define MUI_ICON "${SOURCE_DIR}/resource/kelvane.ico"
!define MUI_UNICON "${SOURCE_DIR}/resource/kelvane.ico"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC

!insertmacro MUI_PAGE_COMPONENTS
!define MUI_DIRECTORYPAGE_TEXT_TOP "Kelvane Server is installed into the folder of the mainboard's platform software, where its libraries and Tunedeck II are. Setup has looked for that folder; choose it if it is somewhere else."
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\kelvane.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Kelvane Server now"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Var ServerWasRunning  ; 1 when this run closed a running server
Var Missing           ; the platform files missing from $INSTDIR, one "name: role" per line
Var Log               ; the silent run's log file, or empty

; ---- shared by the installer and the uninstaller ------------------------------------------------

!macro DEFINE_SHARED_FUNCTIONS UN
; Log "line": a line of the silent run's log, and of the details.
Function ${UN}WriteLog
    Exch $0
    Push $1
    DetailPrint "$0"
    ${If} $Log != ""
        FileOpen $1 "$Log" a
        FileSeek $1 0 END
        FileWriteUTF16LE $1 "$0$\r$\n"
        FileClose $1
    ${EndIf}
    Pop $1
    Pop $0
FunctionEnd

Function ${UN}StartLog
    Exch $0
    Push $1
    ${If} ${Silent}
        StrCpy $Log "$TEMP\$0"
        Delete "$Log"
        ; A UTF-16 file starts with its byte-order mark.
        FileOpen $1 "$Log" w
        FileWriteWord $1 0xFEFF
        FileClose $1
    ${EndIf}
    Pop $1
    Pop $0
FunctionEnd

; $0 = 1 while the server's single-instance mutex exists, else 0.
Function ${UN}ServerRunning
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "Kelvane") p .r0'
    ${If} $0 <> 0
        System::Call 'kernel32::CloseHandle(p r0)'
        StrCpy $0 1
    ${Else}
        StrCpy $0 0
    ${EndIf}
FunctionEnd

; Closes a running server as its tray menu's Exit does: WM_CLOSE to its main window, which removes the
; tray icon on the way out. Waits until the mutex is gone; never kills it. One that does not close
; in time is reported: silently, the run ends with exit code 3; else the user may retry or cancel.
Function ${UN}CloseRunningServer
    Push $0
    Push $1
    Push $2
    Push $3
    Push $4
    StrCpy $ServerWasRunning 0
    retry:
    Call ${UN}ServerRunning
    ${If} $0 = 0
        Goto done
    ${EndIf}
    StrCpy $ServerWasRunning 1
    Push "Closing the running Kelvane Server"
    Call ${UN}WriteLog
    StrCpy $1 0  ; the window has been asked
    StrCpy $4 0  ; its process
    StrCpy $2 0  ; milliseconds waited
    ${Do}
        ${If} $1 = 0
            ; The window exists from early in the server's start-up; a close posted then is handled
            ; once its message loop runs.
            FindWindow $0 "TForm1" "NOVU Kelvane Server"
            ${If} $0 <> 0
                ; Its process, to wait for: the mutex goes before the process has let go of its files.
                System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r3)'
                System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i r3) p .r4'
                System::Call 'user32::PostMessageW(p r0, i ${WM_CLOSE}, p 0, p 0)'
                StrCpy $1 1
            ${EndIf}
        ${EndIf}
        Sleep 100
        IntOp $2 $2 + 100
        Call ${UN}ServerRunning
        ${If} $0 = 0
            ${If} $4 <> 0
                IntOp $2 ${SERVER_CLOSE_DEADLINE_MS} - $2
                System::Call 'kernel32::WaitForSingleObject(p r4, i r2) i .r0'
                System::Call 'kernel32::CloseHandle(p r4)'
            ${EndIf}
            Push "Kelvane Server has closed"
            Call ${UN}WriteLog
            Goto done
        ${EndIf}
    ${LoopWhile} $2 < ${SERVER_CLOSE_DEADLINE_MS}
    ${If} $4 <> 0
        System::Call 'kernel32::CloseHandle(p r4)'
    ${EndIf}
    Push "Kelvane Server did not close within ${SERVER_CLOSE_DEADLINE_MS} ms: nothing was changed"
    Call ${UN}WriteLog
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Kelvane Server is still running and did not close.$\r$\n$\r$\nEnd it with Exit in its tray menu, then choose Retry." /SD IDCANCEL IDRETRY retry
    SetErrorLevel 3
    Quit
    done:
    Pop $4
    Pop $3
    Pop $2
    Pop $1
    Pop $0
FunctionEnd
!macroend
!insertmacro DEFINE_SHARED_FUNCTIONS ""
!insertmacro DEFINE_SHARED_FUNCTIONS "un."

; ---- the installer ------------------------------------------------------------------------------

Section "Kelvane Server" SecServer
    SectionIn RO
    Call CloseRunningServer
    SetOutPath "$INSTDIR"
    ; A card database made read-only (the server's write into it then fails, as it may) is replaced
    ; all the same.
    SetFileAttributes "$INSTDIR\Info.ini" NORMAL
    File "${BIN_DIR}/kelvane.exe"
    File "${BIN_DIR}/tiktor.exe"
    File "${BIN_DIR}/Info.ini"
    SetOutPath "$INSTDIR\resource"
    !macro INSTALL_SKIN_FILE NAME
        File "${BIN_DIR}/resource/${NAME}"
    !macroend
    !insertmacro KV_SKIN_FILES INSTALL_SKIN_FILE
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\${UNINSTALLER}"

    ; Every user's logon starts the server, as the user: it asks for no elevation (asInvoker), which
    ; a Run value could not give it anyway.
    WriteRegStr HKLM "${RUN_KEY}" "Kelvane" '"$INSTDIR\kelvane.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\kelvane.exe",0'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section /o "Simulated mainboard (evaluation without the hardware)" SecBoard
    SetOutPath "$INSTDIR"
    !macro INSTALL_BOARD_FILE BUILT NAME
        File "/oname=${NAME}" "${BUILT}"
    !macroend
    !insertmacro KV_BOARD_FILES INSTALL_BOARD_FILE
    WriteRegStr HKCU "${BOARD_OVERRIDES_KEY}" "setupapi" "native"
SectionEnd

Section "-Registration"
    ; What the sections above installed, for Add/Remove Programs and the uninstaller.
    SectionGetSize ${SecServer} $0
    ${If} ${SectionIsSelected} ${SecBoard}
        SectionGetSize ${SecBoard} $1
        IntOp $0 $0 + $1
        WriteRegDWORD HKLM "${UNINSTALL_KEY}" "SimulatedMainboard" 1
    ${Else}
        WriteRegDWORD HKLM "${UNINSTALL_KEY}" "SimulatedMainboard" 0
    ${EndIf}
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
    Push "Installed into $INSTDIR"
    Call WriteLog
    ; A silent update gives back the server it closed (the finish page offers it otherwise).
    ${If} ${Silent}
    ${AndIf} $ServerWasRunning = 1
        Exec '"$INSTDIR\kelvane.exe"'
        Push "Started Kelvane Server again"
        Call WriteLog
    ${EndIf}
SectionEnd

!macro CHECK_PLATFORM_FILE NAME ROLE
    ${IfNot} ${FileExists} "$INSTDIR\${NAME}"
        StrCpy $Missing "$Missing${NAME}: ${ROLE}$\r$\n"
    ${EndIf}
!macroend

; $Missing = the platform files that $INSTDIR lacks (none when the simulated mainboard comes along).
Function FindMissingPlatformFiles
    StrCpy $Missing ""
    ${IfNot} ${SectionIsSelected} ${SecBoard}
        !insertmacro KV_PLATFORM_FILES CHECK_PLATFORM_FILE
    ${EndIf}
FunctionEnd

; The program folder, unless /D= named one: the previous installation's, else the maker's suite's
; (registered under App Paths), else a folder of our own under Program Files, which the directory
; page offers for the user to correct.
Function ChooseProgramFolder
    ${If} $INSTDIR != ""
        Return
    ${EndIf}
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 != ""
    ${AndIf} ${FileExists} "$0\kelvane.exe"
        StrCpy $INSTDIR $0
        Return
    ${EndIf}
    ReadRegStr $0 HKLM "${SUITE_APP_PATH_KEY}" ""
    ${If} $0 != ""
        ; The value may be quoted.
        StrCpy $1 $0 1
        ${If} $1 == '"'
            StrCpy $0 $0 "" 1
            StrCpy $0 $0 -1
        ${EndIf}
        ${GetParent} $0 $0
        ${If} $0 != ""
        ${AndIf} ${FileExists} "$0\*.*"
            StrCpy $INSTDIR $0
            Return
        ${EndIf}
    ${EndIf}
    !if ${NSIS_TARGET} == "amd64-unicode"
        StrCpy $INSTDIR "$PROGRAMFILES64\Kelvane"
    !else
        StrCpy $INSTDIR "$PROGRAMFILES\Kelvane"
    !endif
FunctionEnd

Function .onInit
    !if ${NSIS_TARGET} == "amd64-unicode"
        SetRegView 64
    !endif
    Push "kelvane-setup.log"
    Call StartLog
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/SIMBOARD" $1
    ${IfNot} ${Errors}
        !insertmacro SelectSection ${SecBoard}
    ${EndIf}
    Call ChooseProgramFolder
    Push "Kelvane Server ${VERSION} setup, program folder $INSTDIR"
    Call WriteLog
    ${If} ${Silent}
        Call FindMissingPlatformFiles
        ${If} $Missing != ""
            Push "Not installed: these files of the mainboard's platform software are missing from $INSTDIR:$\r$\n$Missing"
            Call WriteLog
            SetErrorLevel 2
            Abort
        ${EndIf}
    ${EndIf}
FunctionEnd

Function DirectoryLeave
    Call FindMissingPlatformFiles
    ${If} $Missing != ""
        MessageBox MB_YESNO|MB_ICONEXCLAMATION|MB_DEFBUTTON2 "These files of the mainboard's platform software are not in $INSTDIR:$\r$\n$\r$\n$Missing$\r$\nKelvane Server needs them there. Install into this folder anyway?" IDYES +2
        Abort
    ${EndIf}
FunctionEnd

; ---- the uninstaller ----------------------------------------------------------------------------

Function un.onInit
    !if ${NSIS_TARGET} == "amd64-unicode"
        SetRegView 64
    !endif
    Push "kelvane-uninstall.log"
    Call un.StartLog
FunctionEnd

; Removes our files only: the folder is the platform software's, and Gpu.log (the machine's record,
; in the common application-data folder) stays.
Section "Uninstall"
    Call un.CloseRunningServer
    Delete "$INSTDIR\kelvane.exe"
    Delete "$INSTDIR\tiktor.exe"
    SetFileAttributes "$INSTDIR\Info.ini" NORMAL
    Delete "$INSTDIR\Info.ini"
    !macro UNINSTALL_SKIN_FILE NAME
        Delete "$INSTDIR\resource\${NAME}"
    !macroend
    !insertmacro KV_SKIN_FILES UNINSTALL_SKIN_FILE
    RMDir "$INSTDIR\resource"
    ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "SimulatedMainboard"
    ${If} $0 = 1
        !macro UNINSTALL_BOARD_FILE BUILT NAME
            Delete "$INSTDIR\${NAME}"
        !macroend
        !insertmacro KV_BOARD_FILES UNINSTALL_BOARD_FILE
        DeleteRegValue HKCU "${BOARD_OVERRIDES_KEY}" "setupapi"
        DeleteRegKey /ifempty HKCU "${BOARD_OVERRIDES_KEY}"
        DeleteRegKey /ifempty HKCU "Software\Wine\AppDefaults\kelvane.exe"
    ${EndIf}
    DeleteRegValue HKLM "${RUN_KEY}" "Kelvane"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    Delete "$INSTDIR\${UNINSTALLER}"
    RMDir "$INSTDIR"
    Push "Removed Kelvane Server from $INSTDIR"
    Call un.WriteLog
SectionEnd
