# The program folder's files and where Setup registers an installation: what the installer script
# (through Build.nsh) and its plug-in (through InstallFacts.h) both go by. Included by installer/ and
# installer/plugin/.

# What the mainboard's platform software puts into the program folder, and which program needs it
# for what: the installer looks for each of these there and names every one that is missing.
set(platform_files
    "nuacpi.dll=kelvane.exe imports it (ACPI register access): the server does not start without it"
    "novuservice.dll=kelvane.exe imports it (platform service): the server does not start without it"
    "Greencard.dll=kelvane.exe loads it (NVIDIA back end): without it no card is tuned"
    "Redcard.dll=kelvane.exe loads it (AMD back end)"
    "Lumbra.dll=kelvane.exe loads it (the maker's item back end)"
    "Gearlink.dll=kelvane.exe loads it (bridge)"
    "NuMultiLang.dll=kelvane.exe loads it (translations)"
    "Pixread.dll=kelvane.exe loads it (PNG reader): the About box has no skin without it"
    "Tunedeck II.exe=the tray icon starts it (the maker's suite)"
    "Ticksmith.dll=tiktor.exe loads it (clock library)"
    "Evtwatch.dll=tiktor.exe loads it (hardware events)")
set(platform_names)
foreach(entry IN LISTS platform_files)
    string(FIND "${entry}" "=" split)
    string(SUBSTRING "${entry}" 0 ${split} name)
    list(APPEND platform_names "${name}")
endforeach()

# The simulated mainboard: a stand-in for each of those, the board's device tree, and its tools.
set(board_standins setupapi.dll ${platform_names})
set(board_tools linkctl.exe simctl.exe)
set(board_names ${board_standins} ${board_tools})

# The server's own files: its programs (the server first), the card database, the skin in the
# resource folder, and the uninstaller.
set(server_program kelvane.exe)
set(card_database Info.ini)
set(resource_folder resource)
set(uninstaller kelvane-uninstall.exe)
set(server_names ${server_program} tiktor.exe ${card_database})
foreach(name IN LISTS KELVANE_SKIN_FILES)
    list(APPEND server_names "${resource_folder}\\${name}")
endforeach()
list(APPEND server_names ${uninstaller})

# Under HKEY_LOCAL_MACHINE: the Add/Remove Programs entry (its folder value, and under it the record
# of every file Setup wrote), and the value that starts the server at every user's logon.
set(uninstall_key "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kelvane")
set(record_key "${uninstall_key}\\Files")
set(install_location_value InstallLocation)
set(run_key "Software\\Microsoft\\Windows\\CurrentVersion\\Run")
set(run_value Kelvane)
