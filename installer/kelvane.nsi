; kelvane-setup.exe: installs Kelvane Server (kelvane.exe), the clock relay (tiktor.exe), the card
; database Info.ini and the skin into the folder of the mainboard's platform software, starts the
; server at logon and registers an uninstaller. Built by CMake (installer/CMakeLists.txt):
;   makensis -DBUILD_DEFINES=<build>/installer/Build.nsh kelvane.nsi
;
; Command line: /S silent; /SIMBOARD also installs the simulated mainboard; /D=FOLDER (last) the
; program folder. Exit codes (the README's table): 0 installed; 1 cancelled; 2 the platform
; software's files are missing from the folder (silent mode); 3 a running server did not close, or
; another user's server runs; 4 the folder holds files that the simulated mainboard would replace and
; that Setup did not write; 5 the amd64 installer without the simulated mainboard (silent mode). The
; uninstaller: 0 removed; 3 as above; 4 a file of ours could not be deleted (the rest deleted, the
; installation kept). Every refusal changes nothing. Silent runs write what they did to %TEMP%\kelvane-setup.log (kelvane-uninstall.log).
;
; Setup never replaces or deletes a file it did not write. It records each file it writes (name and
; SHA-256) under the Add/Remove Programs entry, "Files"; the uninstaller deletes a file only while it
; is recorded and unchanged. Info.ini is recorded as "any": the server itself writes into it.

!include "${BUILD_DEFINES}"

; Authenticode: the installer and the uninstaller it writes are signed as makensis makes them (a
; failed signing fails the build); the build keeps a copy of the signed uninstaller.
!finalize '${SIGN_COMMAND}' = 0
!uninstfinalize '${SIGN_COMMAND}' = 0
!uninstfinalize '"${CMAKE_COMMAND}" -E copy "%1" "${SIGNED_UNINSTALLER}"' = 0

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
; What Setup wrote into the program folder: a value per file, its name in the folder, holding its
; SHA-256 as written, or "any" for a file whose content is not kept (the server writes Info.ini).
!define RECORD_KEY "${UNINSTALL_KEY}\Files"
!define ANY_CONTENT "any"
; Exit codes besides NSIS's own 0 (done) and 1 (cancelled by the user); 2 is also NSIS's code for a
; run that the script ended, which here is only ever for missing platform files.
!define EXIT_PLATFORM_MISSING 2
!define EXIT_SERVER_RUNNING 3
!define EXIT_BOARD_WOULD_REPLACE 4
!define EXIT_NOT_REMOVED 4
!define EXIT_AMD64_NEEDS_BOARD 5

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
Var Foreign           ; files in $INSTDIR that the simulated mainboard would replace, one "name: why" per line
Var NotRemoved        ; the uninstaller's files that could not be deleted, one per line
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

; Push path, Call FileHash, Pop hash: the file's SHA-256 in 64 hex digits, or "" when it cannot be read.
Function ${UN}FileHash
    Exch $1
    Push $0
    Push $2
    Push $3
    Push $4
    Push $5
    Push $6
    Push $7
    StrCpy $0 ""
    System::Call 'kernel32::CreateFileW(w r1, i 0x80000000, i 7, p 0, i 3, i 0, p 0) p .r2'
    ${If} $2 = -1
        Goto hashed
    ${EndIf}
    ; PROV_RSA_AES, CRYPT_VERIFYCONTEXT; CALG_SHA_256.
    System::Call 'advapi32::CryptAcquireContextW(*p .r3, p 0, p 0, i 24, i 0xF0000000) i .r4'
    System::Call 'advapi32::CryptCreateHash(p r3, i 0x800C, p 0, i 0, *p .r5) i .r4'
    System::Alloc 65536
    Pop $6
    ${Do}
        System::Call 'kernel32::ReadFile(p r2, p r6, i 65536, *i .r7, p 0) i .r4'
        ${If} $4 = 0
            Goto unread
        ${EndIf}
        ${If} $7 = 0
            ${ExitDo}
        ${EndIf}
        System::Call 'advapi32::CryptHashData(p r5, p r6, i r7, i 0) i .r4'
    ${Loop}
    ; HP_HASHVAL; the 32 bytes as hex digits without separators (CRYPT_STRING_HEXRAW, NOCRLF).
    System::Call 'advapi32::CryptGetHashParam(p r5, i 2, p r6, *i 32, i 0) i .r4'
    ${If} $4 <> 0
        System::Call 'crypt32::CryptBinaryToStringW(p r6, i 32, i 0x4000000C, w .r0, *i ${NSIS_MAX_STRLEN}) i .r4'
    ${EndIf}
    unread:
    System::Free $6
    System::Call 'advapi32::CryptDestroyHash(p r5)'
    System::Call 'advapi32::CryptReleaseContext(p r3, i 0)'
    System::Call 'kernel32::CloseHandle(p r2)'
    hashed:
    StrCpy $1 $0
    Pop $7
    Pop $6
    Pop $5
    Pop $4
    Pop $3
    Pop $2
    Pop $0
    Exch $1
FunctionEnd

; $0 = 1 while a server of this session runs (its mutex "Kelvane" exists), 2 while only a server of
; another session does (the machine's mutex is held, or this account may not open it), else 0.
Function ${UN}ServerRunning
    Push $1
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${SESSION_SERVER_MUTEX}") p .r0 ?e'
    Pop $1
    ${If} $0 <> 0
        System::Call 'kernel32::CloseHandle(p r0)'
        StrCpy $0 1
    ${ElseIf} $1 = 5  ; ERROR_ACCESS_DENIED: a server of this session, started with other rights
        StrCpy $0 1
    ${Else}
        System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${MACHINE_SERVER_MUTEX}") p .r0 ?e'
        Pop $1
        ${If} $0 <> 0
            System::Call 'kernel32::CloseHandle(p r0)'
            StrCpy $0 2
        ${ElseIf} $1 = 5
            StrCpy $0 2
        ${Else}
            StrCpy $0 0
        ${EndIf}
    ${EndIf}
    Pop $1
FunctionEnd

; $0 = 1 while a kelvane.exe of $INSTDIR runs in any session (by its image path), else 0. Setup runs
; elevated and may query the processes of every session; one it may not query is not counted.
Function ${UN}ServerOfThisFolderRunning
    Push $1
    Push $2
    Push $3
    Push $4
    Push $5
    Push $6
    Push $7
    StrCpy $0 0
    GetFullPathName $5 "$INSTDIR\kelvane.exe"
    System::Call 'kernel32::GetLongPathNameW(w r5, w .r6, i ${NSIS_MAX_STRLEN}) i .r1'
    ${If} $1 <> 0
        StrCpy $5 $6
    ${EndIf}
    System::Alloc 65536  ; room for 16,384 process ids
    Pop $1
    System::Call 'psapi::EnumProcesses(p r1, i 65536, *i .r2) i .r3'
    ${If} $3 <> 0
        IntOp $2 $2 / 4
        StrCpy $3 0
        ${DoWhile} $3 < $2
            IntPtrOp $4 $3 * 4
            IntPtrOp $4 $1 + $4
            System::Call '*$4(i .r4)'
            ; PROCESS_QUERY_LIMITED_INFORMATION
            System::Call 'kernel32::OpenProcess(i 0x1000, i 0, i r4) p .r4'
            ${If} $4 P<> 0
                StrCpy $7 ${NSIS_MAX_STRLEN}
                System::Call 'kernel32::QueryFullProcessImageNameW(p r4, i 0, w .r6, *i r7) i .r7'
                System::Call 'kernel32::CloseHandle(p r4)'
                ${If} $7 <> 0
                    System::Call 'kernel32::GetLongPathNameW(w r6, w .r6, i ${NSIS_MAX_STRLEN})'
                    ${If} $6 == $5  ; as Windows compares paths, without regard to case
                        StrCpy $0 1
                        ${Break}
                    ${EndIf}
                ${EndIf}
            ${EndIf}
            IntOp $3 $3 + 1
        ${Loop}
    ${EndIf}
    System::Free $1
    Pop $7
    Pop $6
    Pop $5
    Pop $4
    Pop $3
    Pop $2
    Pop $1
FunctionEnd

; Closes a running server of this session as its tray menu's Exit does: WM_CLOSE to its main window,
; which removes the tray icon on the way out. Waits until the mutex is gone; never kills it. One that
; does not close in time, and one of another session (whose window this session cannot reach), are
; reported: silently, the run ends with exit code 3; else the user may retry or cancel.
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
    ${ElseIf} $0 = 2
        ; Any program may hold the machine's mutex. Only a server of this folder holds files that
        ; Setup would replace; a squatter keeps the server from starting, which the log says.
        Call ${UN}ServerOfThisFolderRunning
        ${If} $0 = 0
            Push "The machine-wide claim ${MACHINE_SERVER_MUTEX} is held by a program that is not Kelvane Server: the server cannot start while that program runs"
            Call ${UN}WriteLog
            Goto done
        ${EndIf}
        Push "Another user's Kelvane Server is running: it must be exited first. Nothing was changed"
        Call ${UN}WriteLog
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Kelvane Server is running in another user's session, where Setup cannot close it.$\r$\n$\r$\nAsk that user to end it with Exit in its tray menu (or to log off), then choose Retry." /SD IDCANCEL IDRETRY retry
        SetErrorLevel ${EXIT_SERVER_RUNNING}
        Quit
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
            FindWindow $0 "${SERVER_WINDOW_CLASS}" "${SERVER_WINDOW_CAPTION}"
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
        ${If} $0 <> 1
            ${If} $4 <> 0
                IntOp $2 ${SERVER_CLOSE_DEADLINE_MS} - $2
                System::Call 'kernel32::WaitForSingleObject(p r4, i r2) i .r0'
                System::Call 'kernel32::CloseHandle(p r4)'
            ${EndIf}
            Push "Kelvane Server has closed"
            Call ${UN}WriteLog
            ; Nothing else may hold the machine's mutex now.
            Goto retry
        ${EndIf}
    ${LoopWhile} $2 < ${SERVER_CLOSE_DEADLINE_MS}
    ${If} $4 <> 0
        System::Call 'kernel32::CloseHandle(p r4)'
    ${EndIf}
    Push "Kelvane Server did not close within ${SERVER_CLOSE_DEADLINE_MS} ms: nothing was changed"
    Call ${UN}WriteLog
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Kelvane Server is still running and did not close.$\r$\n$\r$\nEnd it with Exit in its tray menu, then choose Retry." /SD IDCANCEL IDRETRY retry
    SetErrorLevel ${EXIT_SERVER_RUNNING}
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

; $0 = 1 when the record under the Add/Remove Programs entry is of $INSTDIR, else 0.
Function RecordIsOfThisFolder
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 != ""
    ${AndIf} $0 == $INSTDIR
        StrCpy $0 1
    ${Else}
        StrCpy $0 0
    ${EndIf}
FunctionEnd

; Push name, Call RecordWrittenFile: records the file just written into $INSTDIR with its content.
Function RecordWrittenFile
    Exch $1
    Push $0
    Push "$INSTDIR\$1"
    Call FileHash
    Pop $0
    WriteRegStr HKLM "${RECORD_KEY}" "$1" "$0"
    Pop $0
    Pop $1
FunctionEnd

!macro WRITE_RECORDED SOURCE NAME
    File "/oname=${NAME}" "${SOURCE}"
    Push "${NAME}"
    Call RecordWrittenFile
!macroend

Section "Kelvane Server" SecServer
    SectionIn RO
    Call CloseRunningServer
    ; The record is of one folder: one of another folder is of files this installation will not see.
    Call RecordIsOfThisFolder
    ${If} $0 = 0
        DeleteRegKey HKLM "${RECORD_KEY}"
        DeleteRegValue HKLM "${UNINSTALL_KEY}" "SimulatedMainboard"
    ${EndIf}
    SetOutPath "$INSTDIR"
    !insertmacro WRITE_RECORDED "${BIN_DIR}/kelvane.exe" "kelvane.exe"
    !insertmacro WRITE_RECORDED "${BIN_DIR}/tiktor.exe" "tiktor.exe"
    ; A card database made read-only (the server's write into it then fails, as it may) is replaced
    ; all the same. The server writes into it: it stays ours whatever it holds.
    SetFileAttributes "$INSTDIR\Info.ini" NORMAL
    File "${BIN_DIR}/Info.ini"
    WriteRegStr HKLM "${RECORD_KEY}" "Info.ini" "${ANY_CONTENT}"
    CreateDirectory "$INSTDIR\resource"
    !macro INSTALL_SKIN_FILE NAME
        !insertmacro WRITE_RECORDED "${BIN_DIR}/resource/${NAME}" "resource\${NAME}"
    !macroend
    !insertmacro KV_SKIN_FILES INSTALL_SKIN_FILE
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

; Only into a folder that holds none of its files but ours, unchanged (FindForeignBoardFiles).
Section /o "Simulated mainboard (evaluation without the hardware)" SecBoard
    SetOutPath "$INSTDIR"
    !insertmacro KV_BOARD_FILES WRITE_RECORDED
    WriteRegStr HKCU "${BOARD_OVERRIDES_KEY}" "setupapi" "native"
SectionEnd

Section "-Registration"
    ; What the sections above installed, for Add/Remove Programs and the uninstaller.
    SectionGetSize ${SecServer} $0
    ; An update without the board keeps the board installed before: its files stay on the record.
    ReadRegDWORD $1 HKLM "${UNINSTALL_KEY}" "SimulatedMainboard"
    ${If} ${SectionIsSelected} ${SecBoard}
    ${OrIf} $1 = 1
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

; Push name, Call CheckBoardFile: adds the file to $Foreign when $INSTDIR holds it and it is not ours
; as we wrote it ($0: the record is of this folder).
Function CheckBoardFile
    Exch $1
    Push $2
    Push $3
    ${If} ${FileExists} "$INSTDIR\$1"
        StrCpy $2 ""
        ${If} $0 = 1
            ReadRegStr $2 HKLM "${RECORD_KEY}" "$1"
        ${EndIf}
        ${If} $2 == ""
            StrCpy $Foreign "$Foreign$1: not written by Setup$\r$\n"
        ${Else}
            Push "$INSTDIR\$1"
            Call FileHash
            Pop $3
            ${If} $3 != $2
                StrCpy $Foreign "$Foreign$1: changed since Setup wrote it$\r$\n"
            ${EndIf}
        ${EndIf}
    ${EndIf}
    Pop $3
    Pop $2
    Pop $1
FunctionEnd

!macro CHECK_BOARD_FILE BUILT NAME
    Push "${NAME}"
    Call CheckBoardFile
!macroend

; $Foreign = the files in $INSTDIR that the simulated mainboard would replace although Setup did not
; write them as they are (the platform software's own, say); none when the board is not chosen.
Function FindForeignBoardFiles
    StrCpy $Foreign ""
    ${If} ${SectionIsSelected} ${SecBoard}
        Push $0
        Call RecordIsOfThisFolder
        !insertmacro KV_BOARD_FILES CHECK_BOARD_FILE
        Pop $0
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
    ; An update keeps the simulated mainboard installed before.
    Call RecordIsOfThisFolder
    ReadRegDWORD $1 HKLM "${UNINSTALL_KEY}" "SimulatedMainboard"
    ${If} $0 = 1
    ${AndIf} $1 = 1
        !insertmacro SelectSection ${SecBoard}
    ${EndIf}
    Push "Kelvane Server ${VERSION} setup, program folder $INSTDIR"
    Call WriteLog
    !if ${NSIS_TARGET} == "amd64-unicode"
        ; The 64-bit server cannot load the platform's 32-bit libraries: it runs on the board only.
        ${IfNot} ${SectionIsSelected} ${SecBoard}
        ${AndIf} ${Silent}
            Push "Not installed: this 64-bit Kelvane Server cannot load the platform software's 32-bit libraries; it runs on the simulated mainboard only (/SIMBOARD). Install the product with the 32-bit kelvane-setup.exe."
            Call WriteLog
            SetErrorLevel ${EXIT_AMD64_NEEDS_BOARD}
            Abort
        ${EndIf}
        !insertmacro SetSectionFlag ${SecBoard} ${SF_SELECTED}
        !insertmacro SetSectionFlag ${SecBoard} ${SF_RO}
    !endif
    ${If} ${Silent}
        Call FindForeignBoardFiles
        ${If} $Foreign != ""
            Push "Not installed: the simulated mainboard would replace these files in $INSTDIR, which Setup did not write (or which changed since):$\r$\n$Foreign"
            Call WriteLog
            SetErrorLevel ${EXIT_BOARD_WOULD_REPLACE}
            Abort
        ${EndIf}
        Call FindMissingPlatformFiles
        ${If} $Missing != ""
            Push "Not installed: these files of the mainboard's platform software are missing from $INSTDIR:$\r$\n$Missing"
            Call WriteLog
            SetErrorLevel ${EXIT_PLATFORM_MISSING}
            Abort
        ${EndIf}
    ${EndIf}
FunctionEnd

Function DirectoryLeave
    Call FindForeignBoardFiles
    ${If} $Foreign != ""
        !if ${NSIS_TARGET} == "amd64-unicode"
            !define OTHER_CHOICES "Choose another folder."
        !else
            !define OTHER_CHOICES "Choose another folder, or go back and leave out the simulated mainboard."
        !endif
        MessageBox MB_OK|MB_ICONSTOP "The simulated mainboard cannot be installed into $INSTDIR: it would replace these files, which Setup did not write (they belong to the mainboard's platform software, or changed since):$\r$\n$\r$\n$Foreign$\r$\nSetup never replaces a file it did not write. ${OTHER_CHOICES}"
        !undef OTHER_CHOICES
        Abort
    ${EndIf}
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

; Removes, of the recorded files, the ones still as Setup wrote them: the folder is the platform
; software's, a file replaced since (by the platform software's own installer, say) is no longer ours,
; and Gpu.log (the machine's record, in the common application-data folder) stays. A file that cannot
; be deleted keeps the installation as it is (the uninstaller, the entry, the Run value and the record
; of what is left), so that running the uninstaller again completes the removal; nothing is scheduled.
Section "Uninstall"
    Call un.CloseRunningServer
    StrCpy $NotRemoved ""
    StrCpy $1 0  ; the record's value looked at
    ${Do}
        ClearErrors
        EnumRegValue $2 HKLM "${RECORD_KEY}" $1
        ${If} ${Errors}
        ${OrIf} $2 == ""
            ${ExitDo}
        ${EndIf}
        ReadRegStr $3 HKLM "${RECORD_KEY}" "$2"
        StrCpy $4 "removed"
        ${IfNot} ${FileExists} "$INSTDIR\$2"
            StrCpy $4 "gone"
        ${ElseIf} $3 != "${ANY_CONTENT}"
            Push "$INSTDIR\$2"
            Call un.FileHash
            Pop $5
            ${If} $5 == ""
                StrCpy $4 "unreadable"
            ${ElseIf} $5 != $3
                StrCpy $4 "changed"
            ${EndIf}
        ${EndIf}
        ${If} $4 == "removed"
            SetFileAttributes "$INSTDIR\$2" NORMAL
            ClearErrors
            Delete "$INSTDIR\$2"
            ${If} ${Errors}
                StrCpy $4 "undeletable"
            ${EndIf}
        ${EndIf}
        ${If} $4 == "changed"
            Push "Kept $INSTDIR\$2: it has changed since Setup installed it"
            Call un.WriteLog
        ${EndIf}
        ${If} $4 == "unreadable"
        ${OrIf} $4 == "undeletable"
            ; Still ours: it stays on the record for the next run.
            Push "Could not delete $INSTDIR\$2"
            Call un.WriteLog
            StrCpy $NotRemoved "$NotRemoved$2$\r$\n"
            IntOp $1 $1 + 1
        ${Else}
            DeleteRegValue HKLM "${RECORD_KEY}" "$2"
        ${EndIf}
    ${Loop}
    ${If} $NotRemoved != ""
        Push "Kelvane Server was not removed: the files above could not be deleted (a program may hold them open). Run the uninstaller again once they are free."
        Call un.WriteLog
        MessageBox MB_OK|MB_ICONEXCLAMATION "Kelvane Server was not removed completely: these files in $INSTDIR could not be deleted (a program may hold them open):$\r$\n$\r$\n$NotRemoved$\r$\nClose the program that holds them, then run the uninstaller again." /SD IDOK
        SetErrorLevel ${EXIT_NOT_REMOVED}
        Abort
    ${EndIf}
    DeleteRegKey HKLM "${RECORD_KEY}"
    RMDir "$INSTDIR\resource"
    ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "SimulatedMainboard"
    ${If} $0 = 1
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
