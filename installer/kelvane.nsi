; kelvane-setup.exe: installs Kelvane Server (kelvane.exe), the clock relay (tiktor.exe), the card
; database Info.ini and the skin into the folder of the mainboard's platform software, starts the
; server at logon and registers an uninstaller. Built by CMake (installer/CMakeLists.txt):
;   makensis -DBUILD_DEFINES=<build>/installer/Build.nsh kelvane.nsi
;
; Command line: /S silent; /SIMBOARD also installs the simulated mainboard; /ACCEPTWRITABLE (with the
; board only) accepts a folder that accounts besides the administrators can change, for an evaluation;
; /D=FOLDER (last) the program folder. Exit codes (the README's table): 0 installed; 1 cancelled; 2 the
; platform software's files are missing from the folder (silent mode); 3 a running server did not
; close, or another user's server runs; 4 the folder holds files that the simulated mainboard would
; replace and that Setup did not write; 5 the amd64 installer without the simulated mainboard (silent
; mode); 6 accounts besides the administrators can change the folder or a platform file in it; 7 a
; junction or symbolic link at a name Setup writes; 8 a file Setup would replace is in use; 9 a write
; or hash failed (what it replaced is back); 10 kelvane.exe, tiktor.exe or another of the server's
; names in the folder was not written by Setup; 11 the installation in another folder, which this one
; replaces, has files in use. The uninstaller: 0 removed; 3 as above; 4 a file of ours cannot be
; deleted (nothing deleted; should a file that was checked still not go once kelvane.exe has gone,
; only it stays); 5 its folder is not the registered installation's (nothing removed).
; Every refusal and failure leaves everything as it was, and starts again the server it closed.
; Every run writes what it did to %TEMP%\kelvane-setup.log (kelvane-uninstall.log).
;
; Setup never replaces or deletes a file it did not write, never follows a link, and never starts the
; server with its own rights. The plug-in KelvaneSetup.dll (installer/plugin) holds the decisions: who
; can change the folder, what stands at each name, the record of what Setup wrote (each file's
; SHA-256, under the Add/Remove Programs entry), writing all or nothing through a stage in the folder,
; and starting the server through the desktop's shell.

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
!addplugindir "${PLUGIN_DIR}"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh
!include WinMessages.nsh

; The maker's suite registers itself here; its folder is the platform software's.
!define SUITE_APP_PATH_KEY "Software\Microsoft\Windows\CurrentVersion\App Paths\Tunedeck II.exe"
; Where wine finds its per-program library choices: the board's device tree replaces the system's
; setupapi.dll for the server only.
!define BOARD_OVERRIDES_KEY "Software\Wine\AppDefaults\kelvane.exe\DllOverrides"
; How long a running server may take to close: its start-up alone takes several seconds.
!define SERVER_CLOSE_DEADLINE_MS 30000
; Accepts, for the simulated mainboard's evaluation only, a folder that others can change.
!define ACCEPT_WRITABLE_SWITCH "/ACCEPTWRITABLE"
; Exit codes besides NSIS's own 0 (done) and 1 (cancelled by the user).
!define EXIT_PLATFORM_MISSING 2
!define EXIT_SERVER_RUNNING 3
!define EXIT_BOARD_WOULD_REPLACE 4
!define EXIT_NOT_REMOVED 4
!define EXIT_AMD64_NEEDS_BOARD 5
!define EXIT_NOT_REGISTERED 5
!define EXIT_FOLDER_WRITABLE 6
!define EXIT_LINK 7
!define EXIT_IN_USE 8
!define EXIT_WRITE_FAILED 9
!define EXIT_NOT_WRITTEN_BY_SETUP 10
!define EXIT_PREVIOUS_IN_USE 11

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
!define MUI_DIRECTORYPAGE_TEXT_TOP "${PRODUCT} is installed into the folder of the mainboard's platform software, where its libraries and Tunedeck II are. Setup has looked for that folder; choose it if it is somewhere else. Only administrators may be able to change it."
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
; Started as the desktop's user, not with Setup's rights.
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT} now"
!define MUI_FINISHPAGE_RUN_FUNCTION StartInstalledServer
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Var ClosedServer      ; the program of the running server this run closed, if it closed one
Var Missing           ; the platform files missing from $INSTDIR, one "name: role" per line
Var Log               ; the run's log file
Var Lines             ; the lines of the plug-in's last reply, one per line
Var LineCount
Var Line
Var AcceptWritable    ; 1 when /ACCEPTWRITABLE was given
Var RefusalCode       ; what stands in the way of installing into $INSTDIR: its exit code, or 0
Var RefusalText       ; and why, for the folder page and the log
Var Stage             ; Setup's stage in the program folder while it exists
Var CreatedFolders    ; the folders this run created, "|" between them
Var FailureCode       ; the exit code of an install that failed after it began
Var FailureText

; ---- shared by the installer and the uninstaller ------------------------------------------------

!macro DEFINE_SHARED_FUNCTIONS UN
; Push "line", Call WriteLog: a line of the run's log, and of the details.
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
    ; The wizard's runs too: what the details list showed stays for support.
    StrCpy $Log "$TEMP\$0"
    Delete "$Log"
    ; A UTF-16 file starts with its byte-order mark.
    FileOpen $1 "$Log" w
    FileWriteWord $1 0xFEFF
    FileClose $1
    Pop $1
    Pop $0
FunctionEnd

; After a reply of the plug-in, once its status and values are popped: $Lines = its lines.
Function ${UN}PopLines
    Pop $LineCount
    StrCpy $Lines ""
    ${DoWhile} $LineCount > 0
        Pop $Line
        StrCpy $Lines "$Lines$Line$\r$\n"
        IntOp $LineCount $LineCount - 1
    ${Loop}
FunctionEnd

; The same, each line also written to the log.
Function ${UN}PopAndLogLines
    Pop $LineCount
    StrCpy $Lines ""
    ${DoWhile} $LineCount > 0
        Pop $Line
        StrCpy $Lines "$Lines$Line$\r$\n"
        Push $Line
        Call ${UN}WriteLog
        IntOp $LineCount $LineCount - 1
    ${Loop}
FunctionEnd

; Push program, Call StartServerAsUser: the server started as the signed-in user of the desktop,
; by the desktop's shell (or with its process's token); never with Setup's rights. Where there is no such user (Setup runs as
; SYSTEM, or in session 0) it is not started: the next logon starts it.
Function ${UN}StartServerAsUser
    Exch $0
    Push $1
    Push $2
    ${GetParent} $0 $1
    KelvaneSetup::StartServer "$0" "$1"
    Pop $1
    Pop $2
    Call ${UN}PopLines
    ${If} $1 == "started"
        Push "Started ${PRODUCT} as the signed-in user, $2"
    ${Else}
        Push "${PRODUCT} was not started: $2"
    ${EndIf}
    Call ${UN}WriteLog
    Pop $2
    Pop $1
    Pop $0
FunctionEnd

; A run that closed the server and then changed nothing starts it again. Only a server whose window
; it closed: a mutex that went without one was no server of ours to give back.
Function ${UN}StartClosedServerAgain
    ${If} $ClosedServer != ""
        ${If} ${FileExists} "$ClosedServer"
            Push "$ClosedServer"
            Call ${UN}StartServerAsUser
        ${EndIf}
    ${EndIf}
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

; Push path, Call LongPath, Pop: the path in full and long form, as QueryFullProcessImageNameW
; gives a process's image.
Function ${UN}LongPath
    Exch $0
    Push $1
    Push $2
    GetFullPathName $0 $0
    System::Call 'kernel32::GetLongPathNameW(w r0, w .r1, i ${NSIS_MAX_STRLEN}) i .r2'
    ${If} $2 <> 0
        StrCpy $0 $1
    ${EndIf}
    Pop $2
    Pop $1
    Exch $0
FunctionEnd

; $0 = 1 while the server of $INSTDIR, or of the registered installation (which an install into
; another folder replaces), runs in any session (by its image path), else 0. Setup runs elevated and
; may query the processes of every session; one it may not query is not counted. Only those folders
; count: a program of that name elsewhere may be anyone's.
Function ${UN}ServerOfTheInstallationRunning
    Push $1
    Push $2
    Push $3
    Push $4
    Push $5
    Push $6
    Push $7
    Push $8
    StrCpy $0 0
    Push "$INSTDIR\${SERVER_PROGRAM}"
    Call ${UN}LongPath
    Pop $5
    StrCpy $8 $5
    ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "${INSTALL_LOCATION}"
    ${If} $1 != ""
        Push "$1\${SERVER_PROGRAM}"
        Call ${UN}LongPath
        Pop $8
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
                    ${OrIf} $6 == $8
                        StrCpy $0 1
                        ${Break}
                    ${EndIf}
                ${EndIf}
            ${EndIf}
            IntOp $3 $3 + 1
        ${Loop}
    ${EndIf}
    System::Free $1
    Pop $8
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
; reported: silently, the run ends with exit code 3; else the user may retry or cancel. $ClosedServer
; = the closed server's program, to start it again should nothing change.
Function ${UN}CloseRunningServer
    Push $0
    Push $1
    Push $2
    Push $3
    Push $4
    StrCpy $ClosedServer ""
    retry:
    Call ${UN}ServerRunning
    ${If} $0 = 0
        Goto done
    ${ElseIf} $0 = 2
        ; Any program may hold the machine's mutex. Only a server of this folder, or of the
        ; installation that an install elsewhere replaces, holds files that Setup would replace or
        ; delete; a squatter keeps the server from starting, which the log says.
        Call ${UN}ServerOfTheInstallationRunning
        ${If} $0 = 0
            Push "The machine-wide claim ${MACHINE_SERVER_MUTEX} is held by a program that is not ${PRODUCT}: the server cannot start while that program runs"
            Call ${UN}WriteLog
            Goto done
        ${EndIf}
        Push "Another user's ${PRODUCT} is running: it must be exited first. Nothing was changed"
        Call ${UN}WriteLog
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${PRODUCT} is running in another user's session, where Setup cannot close it.$\r$\n$\r$\nAsk that user to end it with Exit in its tray menu (or to log off), then choose Retry." /SD IDCANCEL IDRETRY retry
        SetErrorLevel ${EXIT_SERVER_RUNNING}
        Quit
    ${EndIf}
    Push "Closing the running ${PRODUCT}"
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
                ; Its process, to wait for (the mutex goes before the process has let go of its
                ; files), and its program.
                System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r3)'
                System::Call 'kernel32::OpenProcess(i 0x00101000, i 0, i r3) p .r4'
                StrCpy $ClosedServer "$INSTDIR\${SERVER_PROGRAM}"
                ${If} $4 <> 0
                    System::Call 'kernel32::QueryFullProcessImageNameW(p r4, i 0, w .r3, *i ${NSIS_MAX_STRLEN}) i .r1'
                    ${If} $1 <> 0
                        StrCpy $ClosedServer $3
                    ${EndIf}
                ${EndIf}
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
            Push "${PRODUCT} has closed"
            Call ${UN}WriteLog
            ; Nothing else may hold the machine's mutex now.
            Goto retry
        ${EndIf}
    ${LoopWhile} $2 < ${SERVER_CLOSE_DEADLINE_MS}
    ${If} $4 <> 0
        System::Call 'kernel32::CloseHandle(p r4)'
    ${EndIf}
    Push "${PRODUCT} did not close within ${SERVER_CLOSE_DEADLINE_MS} ms: nothing was changed"
    Call ${UN}WriteLog
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${PRODUCT} is still running and did not close.$\r$\n$\r$\nEnd it with Exit in its tray menu, then choose Retry." /SD IDCANCEL IDRETRY retry
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

; ---- the installer: writing, all or nothing ------------------------------------------------------

; A failure once the install has begun: .onInstFailed puts back what it changed.
!macro FAIL CODE TEXT
    StrCpy $FailureCode ${CODE}
    StrCpy $FailureText "${TEXT}"
    Abort
!macroend

; Every file is first written into Setup's stage in the folder; the plug-in puts them in place.
!macro STAGE_FILE SOURCE NAME
    ClearErrors
    File "/oname=${NAME}" "${SOURCE}"
    ${If} ${Errors}
        !insertmacro FAIL ${EXIT_WRITE_FAILED} "Setup could not write ${NAME} into $Stage."
    ${EndIf}
!macroend

Section "${PRODUCT}" SecServer
    SectionIn RO
    Call CloseRunningServer
    ; Judged again now that nothing of ours runs, right before the writing.
    Push 1
    Call CheckProgramFolder
    ${If} $RefusalCode <> 0
        !insertmacro FAIL $RefusalCode "$RefusalText"
    ${EndIf}
    KelvaneSetup::MakeFolder "$INSTDIR"
    Pop $0
    Pop $1
    Pop $CreatedFolders
    Call PopAndLogLines
    ${If} $0 == "link"
        !insertmacro FAIL ${EXIT_LINK} "$INSTDIR is a junction or symbolic link. Setup does not install through one."
    ${ElseIf} $0 != "ok"
        !insertmacro FAIL ${EXIT_WRITE_FAILED} "Setup could not create $INSTDIR: $Lines"
    ${EndIf}
    ; The folder as the system names it, however it was spelt.
    StrCpy $INSTDIR $1
    ${If} $CreatedFolders != ""
        Push "Created $CreatedFolders: only administrators can change it"
        Call WriteLog
    ${EndIf}
    KelvaneSetup::Stage "$INSTDIR"
    Pop $0
    Pop $Stage
    Call PopLines
    ${If} $0 != "ok"
        !insertmacro FAIL ${EXIT_WRITE_FAILED} "Setup could not make its folder in $INSTDIR: $Lines"
    ${EndIf}
    SetOverwrite try
    SetOutPath "$Stage\new"
    !insertmacro KV_SERVER_FILES STAGE_FILE
    ClearErrors
    WriteUninstaller "$Stage\new\${UNINSTALLER}"
    ${If} ${Errors}
        !insertmacro FAIL ${EXIT_WRITE_FAILED} "Setup could not write ${UNINSTALLER} into $Stage."
    ${EndIf}
SectionEnd

; Only into a folder that holds none of its files but ours, unchanged (the survey's "foreign-board").
Section /o "Simulated mainboard (evaluation without the hardware)" SecBoard
    SetOutPath "$Stage\new"
    !insertmacro KV_BOARD_FILES STAGE_FILE
SectionEnd

Section "-Registration"
    StrCpy $0 0
    ${If} ${SectionIsSelected} ${SecBoard}
        StrCpy $0 1
    ${EndIf}
    SetOutPath "$INSTDIR"
    KelvaneSetup::Commit "$INSTDIR" "$Stage" "$CreatedFolders" "$0"
    Pop $0
    Call PopAndLogLines
    ; The plug-in has removed its stage either way.
    StrCpy $Stage ""
    ${If} $0 == "in-use"
        !insertmacro FAIL ${EXIT_IN_USE} "These files in $INSTDIR are in use and cannot be replaced now:$\r$\n$\r$\n$Lines$\r$\nNothing was changed."
    ${ElseIf} $0 == "old-in-use"
        !insertmacro FAIL ${EXIT_PREVIOUS_IN_USE} "Files of the installation that this one replaces cannot be deleted now:$\r$\n$\r$\n$Lines$\r$\nNothing was changed."
    ${ElseIf} $0 == "link"
        !insertmacro FAIL ${EXIT_LINK} "These names in $INSTDIR are junctions or symbolic links, which Setup does not follow:$\r$\n$\r$\n$Lines"
    ${ElseIf} $0 == "foreign-server"
        !insertmacro FAIL ${EXIT_NOT_WRITTEN_BY_SETUP} "$INSTDIR holds files under ${PRODUCT}'s names that Setup did not write:$\r$\n$\r$\n$Lines"
    ${ElseIf} $0 == "foreign-board"
        !insertmacro FAIL ${EXIT_BOARD_WOULD_REPLACE} "The simulated mainboard would replace these files in $INSTDIR, which Setup did not write (or which changed since):$\r$\n$\r$\n$Lines"
    ${ElseIf} $0 != "ok"
        !insertmacro FAIL ${EXIT_WRITE_FAILED} "Setup could not write or hash its files; what it replaced is back:$\r$\n$\r$\n$Lines"
    ${EndIf}
    ; The folders are the installation's now.
    StrCpy $CreatedFolders ""

    ; Every user's logon starts the server, as the user: it asks for no elevation (asInvoker), which
    ; a Run value could not give it anyway.
    WriteRegStr HKLM "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\${SERVER_PROGRAM}"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\${SERVER_PROGRAM}",0'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "${INSTALL_LOCATION}" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

    ; What the sections above installed, for Add/Remove Programs and the uninstaller.
    SectionGetSize ${SecServer} $0
    ; An update without the board keeps the board installed before: its files stay on the record.
    ReadRegDWORD $1 HKLM "${UNINSTALL_KEY}" "SimulatedMainboard"
    ${If} ${SectionIsSelected} ${SecBoard}
    ${OrIf} $1 = 1
        SectionGetSize ${SecBoard} $1
        IntOp $0 $0 + $1
        WriteRegDWORD HKLM "${UNINSTALL_KEY}" "SimulatedMainboard" 1
        WriteRegStr HKCU "${BOARD_OVERRIDES_KEY}" "setupapi" "native"
    ${Else}
        WriteRegDWORD HKLM "${UNINSTALL_KEY}" "SimulatedMainboard" 0
    ${EndIf}
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
    Push "Installed into $INSTDIR"
    Call WriteLog
    ; A silent update gives back the server it closed (the finish page offers it otherwise).
    ${If} ${Silent}
    ${AndIf} $ClosedServer != ""
        Push "$INSTDIR\${SERVER_PROGRAM}"
        Call StartServerAsUser
    ${EndIf}
SectionEnd

; ---- the installer: what stands in the way -------------------------------------------------------

!macro REFUSE CODE TEXT
    StrCpy $RefusalCode ${CODE}
    StrCpy $RefusalText "${TEXT}"
!macroend

; Push file, Call CheckPlatformFileRights: refuses a platform file in $INSTDIR that accounts besides
; the administrators can change (the server loads it, or starts it).
Function CheckPlatformFileRights
    Exch $0
    Push $1
    ${If} $RefusalCode = 0
        KelvaneSetup::CheckFile "$INSTDIR\$0"
        Pop $1
        Pop $0
        Call PopLines
        ${If} $1 == "writable"
        ${AndIf} $AcceptWritable = 1
            Push "Accepted for the simulated mainboard's evaluation (${ACCEPT_WRITABLE_SWITCH}): accounts besides the administrators can change $0:$\r$\n$Lines"
            Call WriteLog
        ${ElseIf} $1 == "writable"
            !insertmacro REFUSE ${EXIT_FOLDER_WRITABLE} "${PRODUCT} loads $0, and accounts besides the administrators can change it:$\r$\n$\r$\n$Lines$\r$\nAny user could then run code of their own in the server. Ask the platform software's maker, or an administrator, to let only administrators change it."
        ${ElseIf} $1 == "error"
            !insertmacro REFUSE ${EXIT_FOLDER_WRITABLE} "Setup cannot tell who can change $0: $Lines"
        ${EndIf}
    ${EndIf}
    Pop $1
    Pop $0
FunctionEnd

!macro CHECK_PLATFORM_FILE_RIGHTS NAME ROLE
    Push "${NAME}"
    Call CheckPlatformFileRights
!macroend

; Push forChange (0 or 1), Call CheckProgramFolder: $RefusalCode and $RefusalText for what stands in
; the way of installing into $INSTDIR, or 0: who can change the folder and the platform's files in it,
; links at the names Setup writes, files under those names that Setup did not write. With forChange
; (the server closed), also whether the files Setup replaces are free, and those of an installation
; in another folder, which this one replaces.
Function CheckProgramFolder
    Exch $0
    Push $1
    Push $2
    StrCpy $RefusalCode 0
    StrCpy $RefusalText ""
    ${IfNot} ${SectionIsSelected} ${SecBoard}
        StrCpy $AcceptWritable 0
    ${EndIf}
    KelvaneSetup::CheckFolder "$INSTDIR"
    Pop $1
    Pop $2
    Call PopLines
    ${If} $1 == "link"
        !insertmacro REFUSE ${EXIT_LINK} "$INSTDIR is a junction or symbolic link. Setup does not install through one: choose the folder it leads to, or another."
    ${ElseIf} $1 == "writable"
    ${AndIf} $AcceptWritable = 1
        Push "Accepted for the simulated mainboard's evaluation (${ACCEPT_WRITABLE_SWITCH}): accounts besides the administrators can change $2:$\r$\n$Lines"
        Call WriteLog
    ${ElseIf} $1 == "writable"
        !insertmacro REFUSE ${EXIT_FOLDER_WRITABLE} "Setup does not install into $INSTDIR: accounts besides the administrators can change $2:$\r$\n$\r$\n$Lines$\r$\nAny user could then put a library there that the server loads at every logon, or change the defaults it applies to the cards. Choose a folder that only administrators can change."
    ${ElseIf} $1 == "error"
        !insertmacro REFUSE ${EXIT_FOLDER_WRITABLE} "Setup cannot tell who can change $2: $Lines"
    ${EndIf}
    ${If} $RefusalCode = 0
        !insertmacro KV_PLATFORM_FILES CHECK_PLATFORM_FILE_RIGHTS
    ${EndIf}
    ${If} $RefusalCode = 0
        StrCpy $2 0
        ${If} ${SectionIsSelected} ${SecBoard}
            StrCpy $2 1
        ${EndIf}
        KelvaneSetup::Survey "$INSTDIR" "$2" "$0"
        Pop $1
        Call PopLines
        ${If} $1 == "link"
            !insertmacro REFUSE ${EXIT_LINK} "These names in $INSTDIR are junctions or symbolic links, which Setup does not follow:$\r$\n$\r$\n$Lines"
        ${ElseIf} $1 == "foreign-server"
            !insertmacro REFUSE ${EXIT_NOT_WRITTEN_BY_SETUP} "$INSTDIR holds files under ${PRODUCT}'s names that Setup did not write:$\r$\n$\r$\n$Lines$\r$\nSetup never replaces a file it did not write. Choose another folder."
        ${ElseIf} $1 == "foreign-board"
            !if ${NSIS_TARGET} == "amd64-unicode"
                !define OTHER_CHOICES "Choose another folder."
            !else
                !define OTHER_CHOICES "Choose another folder, or go back and leave out the simulated mainboard."
            !endif
            !insertmacro REFUSE ${EXIT_BOARD_WOULD_REPLACE} "The simulated mainboard cannot be installed into $INSTDIR: it would replace these files, which Setup did not write (they belong to the mainboard's platform software, or changed since):$\r$\n$\r$\n$Lines$\r$\nSetup never replaces a file it did not write. ${OTHER_CHOICES}"
            !undef OTHER_CHOICES
        ${ElseIf} $1 == "unreadable"
            !insertmacro REFUSE ${EXIT_WRITE_FAILED} "These files in $INSTDIR cannot be read, so Setup cannot tell whether it wrote them:$\r$\n$\r$\n$Lines"
        ${ElseIf} $1 == "in-use"
            !insertmacro REFUSE ${EXIT_IN_USE} "These files in $INSTDIR are in use and cannot be replaced now:$\r$\n$\r$\n$Lines$\r$\nClose the program that holds them, then run Setup again."
        ${ElseIf} $1 == "old-in-use"
            ReadRegStr $2 HKLM "${UNINSTALL_KEY}" "${INSTALL_LOCATION}"
            !insertmacro REFUSE ${EXIT_PREVIOUS_IN_USE} "${PRODUCT} is installed in $2, which this installation replaces. These of its files cannot be deleted now:$\r$\n$\r$\n$Lines$\r$\nClose the program that holds them, then run Setup again."
        ${ElseIf} $1 != "ok"
            !insertmacro REFUSE ${EXIT_WRITE_FAILED} "Setup cannot look at the files in $INSTDIR: $Lines"
        ${EndIf}
    ${EndIf}
    Pop $2
    Pop $1
    Pop $0
FunctionEnd

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

; A failure after the install began: Setup's stage and the folders this run created go (the plug-in
; has already put back what it replaced), the closed server starts again, and the run ends with the
; failure's own exit code.
Function .onInstFailed
    ; Nothing of Setup's may stay in use: its stage, the folders it created.
    SetOutPath "$TEMP"
    ${If} $Stage != ""
    ${OrIf} $CreatedFolders != ""
        KelvaneSetup::Tidy "$Stage" "$CreatedFolders"
        Pop $0
        Call PopAndLogLines
    ${EndIf}
    ${If} $FailureCode = 0
        StrCpy $FailureCode ${EXIT_WRITE_FAILED}
        StrCpy $FailureText "Setup could not write its files."
    ${EndIf}
    Push "Not installed: $FailureText"
    Call WriteLog
    MessageBox MB_OK|MB_ICONSTOP "$FailureText" /SD IDOK
    Call StartClosedServerAgain
    SetErrorLevel $FailureCode
FunctionEnd

Function StartInstalledServer
    Push "$INSTDIR\${SERVER_PROGRAM}"
    Call StartServerAsUser
FunctionEnd

; The program folder, unless /D= named one: the previous installation's, else the maker's suite's
; (registered under App Paths), else a folder of our own under Program Files, which the directory
; page offers for the user to correct.
Function ChooseProgramFolder
    ${If} $INSTDIR != ""
        Return
    ${EndIf}
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "${INSTALL_LOCATION}"
    ${If} $0 != ""
    ${AndIf} ${FileExists} "$0\${SERVER_PROGRAM}"
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
    StrCpy $AcceptWritable 0
    ClearErrors
    ${GetOptions} $0 "${ACCEPT_WRITABLE_SWITCH}" $1
    ${IfNot} ${Errors}
        StrCpy $AcceptWritable 1
    ${EndIf}
    Call ChooseProgramFolder
    ; An update keeps the simulated mainboard installed before.
    KelvaneSetup::IsRegistered "$INSTDIR"
    Pop $0
    Call PopLines
    ReadRegDWORD $1 HKLM "${UNINSTALL_KEY}" "SimulatedMainboard"
    ${If} $0 == "1"
    ${AndIf} $1 = 1
        !insertmacro SelectSection ${SecBoard}
    ${EndIf}
    Push "${PRODUCT} ${VERSION} setup, program folder $INSTDIR"
    Call WriteLog
    !if ${NSIS_TARGET} == "amd64-unicode"
        ; The 64-bit server cannot load the platform's 32-bit libraries: it runs on the board only.
        ${IfNot} ${SectionIsSelected} ${SecBoard}
        ${AndIf} ${Silent}
            Push "Not installed: this 64-bit ${PRODUCT} cannot load the platform software's 32-bit libraries; it runs on the simulated mainboard only (/SIMBOARD). Install the product with the 32-bit kelvane-setup.exe."
            Call WriteLog
            SetErrorLevel ${EXIT_AMD64_NEEDS_BOARD}
            Abort
        ${EndIf}
        !insertmacro SetSectionFlag ${SecBoard} ${SF_SELECTED}
        !insertmacro SetSectionFlag ${SecBoard} ${SF_RO}
    !endif
    ${If} ${Silent}
        ${If} $AcceptWritable = 1
        ${AndIfNot} ${SectionIsSelected} ${SecBoard}
            Push "Ignored ${ACCEPT_WRITABLE_SWITCH}: it is for the simulated mainboard's evaluation only (/SIMBOARD)"
            Call WriteLog
        ${EndIf}
        Push 0
        Call CheckProgramFolder
        ${If} $RefusalCode <> 0
            Push "Not installed: $RefusalText"
            Call WriteLog
            SetErrorLevel $RefusalCode
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
    Push 0
    Call CheckProgramFolder
    ${If} $RefusalCode <> 0
        MessageBox MB_OK|MB_ICONSTOP "$RefusalText"
        Abort
    ${EndIf}
    Call FindMissingPlatformFiles
    ${If} $Missing != ""
        MessageBox MB_YESNO|MB_ICONEXCLAMATION|MB_DEFBUTTON2 "These files of the mainboard's platform software are not in $INSTDIR:$\r$\n$\r$\n$Missing$\r$\n${PRODUCT} needs them there. Install into this folder anyway?" IDYES +2
        Abort
    ${EndIf}
FunctionEnd

; ---- the uninstaller ----------------------------------------------------------------------------

; Only the registered installation's own uninstaller removes anything: one left in another folder
; (an earlier installation's) never touches the Run value, the entry or the files of this one.
Function un.onInit
    !if ${NSIS_TARGET} == "amd64-unicode"
        SetRegView 64
    !endif
    Push "kelvane-uninstall.log"
    Call un.StartLog
    KelvaneSetup::IsRegistered "$INSTDIR"
    Pop $0
    Call un.PopLines
    ${If} $0 != "1"
        ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "${INSTALL_LOCATION}"
        ${If} $1 == ""
            StrCpy $1 "no folder: ${PRODUCT} is not installed"
        ${EndIf}
        Push "Nothing was removed: $INSTDIR is not the folder of the registered ${PRODUCT} ($1)"
        Call un.WriteLog
        MessageBox MB_OK|MB_ICONEXCLAMATION "This uninstaller belongs to an earlier installation in $INSTDIR. The ${PRODUCT} installed now is in $1; remove it with Add/Remove Programs.$\r$\n$\r$\nNothing was removed." /SD IDOK
        SetErrorLevel ${EXIT_NOT_REGISTERED}
        Quit
    ${EndIf}
FunctionEnd

; Removes, of the recorded files, the ones still as Setup wrote them (the card database also when only
; the server's own write changed it): the folder is the platform software's, a file replaced since
; (by the platform software's own installer, say) is no longer ours, and Gpu.log (the machine's
; record, in the common application-data folder) stays. Every file is checked first: when one
; cannot be deleted, nothing is, and the server closed for it starts again. Then the Run value goes,
; then kelvane.exe, then the rest.
Section "Uninstall"
    Call un.CloseRunningServer
    KelvaneSetup::Remove "$INSTDIR"
    Pop $0
    Pop $1
    Pop $2
    Call un.PopAndLogLines
    ${If} $0 != "ok"
        ${If} $0 == "not-registered"
            SetErrorLevel ${EXIT_NOT_REGISTERED}
        ${ElseIf} $0 == "partly"
            ; Checked, held, and still not deleted (a program started from one after all): the rest
            ; has gone, and the entry stays for a second run.
            Push "${PRODUCT} was removed only in part: the files above could not be deleted after all. Run the uninstaller again once they are free."
            Call un.WriteLog
            MessageBox MB_OK|MB_ICONEXCLAMATION "${PRODUCT} was removed only in part: these files in $INSTDIR could not be deleted after all (a program may hold them open):$\r$\n$\r$\n$Lines$\r$\nClose the program that holds them, then run the uninstaller again." /SD IDOK
            SetErrorLevel ${EXIT_NOT_REMOVED}
        ${Else}
            Push "${PRODUCT} was not removed: nothing was deleted, since the files above cannot be deleted now (a program may hold them open). Run the uninstaller again once they are free."
            Call un.WriteLog
            MessageBox MB_OK|MB_ICONEXCLAMATION "${PRODUCT} was not removed: these files in $INSTDIR cannot be deleted now (a program may hold them open):$\r$\n$\r$\n$Lines$\r$\nClose the program that holds them, then run the uninstaller again." /SD IDOK
            SetErrorLevel ${EXIT_NOT_REMOVED}
        ${EndIf}
        Call un.StartClosedServerAgain
        Abort
    ${EndIf}
    ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "SimulatedMainboard"
    ${If} $0 = 1
        DeleteRegValue HKCU "${BOARD_OVERRIDES_KEY}" "setupapi"
        DeleteRegKey /ifempty HKCU "${BOARD_OVERRIDES_KEY}"
        DeleteRegKey /ifempty HKCU "Software\Wine\AppDefaults\kelvane.exe"
    ${EndIf}
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    Delete "$INSTDIR\${UNINSTALLER}"
    KelvaneSetup::Tidy "" "$2"
    Pop $0
    Call un.PopAndLogLines
    Push "Removed ${PRODUCT} from $INSTDIR"
    Call un.WriteLog
SectionEnd
