// The build's Authenticode signatures as Windows' own check sees them (WinVerifyTrust), with the
// tree's test authority in the machine's root store: every program the installer writes, and Setup's
// plug-in, passes, a copy with one byte of its code changed fails on its digest, and the simulated
// mainboard's files carry no signature. Wine checks the digest and the signature but not whose it is
// (docs/reliability.md); osslsigncode checks the rest (signing/authenticode_test.py).

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "e2e/support/Authenticode.h"
#include "e2e/support/Harness.h"
#include "win32/Text.h"

namespace installer_e2e {
namespace {

// The file offset of the code at the program's entry point.
std::size_t entryPointOffset(const std::string& image) {
    IMAGE_DOS_HEADER dos;
    std::memcpy(&dos, image.data(), sizeof dos);
    IMAGE_FILE_HEADER file;
    std::memcpy(&file, image.data() + dos.e_lfanew + sizeof(DWORD), sizeof file);
    const std::size_t optional = static_cast<std::size_t>(dos.e_lfanew) + sizeof(DWORD) + sizeof file;
    DWORD entry = 0;  // the same place in both widths' optional header
    std::memcpy(&entry, image.data() + optional + offsetof(IMAGE_OPTIONAL_HEADER32, AddressOfEntryPoint),
                sizeof entry);
    for (WORD i = 0; i < file.NumberOfSections; ++i) {
        IMAGE_SECTION_HEADER section;
        std::memcpy(&section, image.data() + optional + file.SizeOfOptionalHeader + i * sizeof section,
                    sizeof section);
        if (entry >= section.VirtualAddress && entry < section.VirtualAddress + section.Misc.VirtualSize)
            return section.PointerToRawData + (entry - section.VirtualAddress);
    }
    ADD_FAILURE() << "no section holds the entry point";
    return 0;
}

TEST(Signatures, EveryProgramOfTheInstallationPassesAndACopyWithAByteOfCodeChangedFailsOnItsDigest) {
    const e2e::TestAuthorityTrust trusted;
    struct Row {
        const wchar_t* file;
        LONG trust;
    };
    const Row table[] = {{L"bin\\kelvane.exe", ERROR_SUCCESS},
                         {L"bin\\tiktor.exe", ERROR_SUCCESS},
                         {L"kelvane-setup.exe", ERROR_SUCCESS},
                         {L"installer\\kelvane-uninstall.exe", ERROR_SUCCESS},
                         {L"installer\\plugin\\KelvaneSetup.dll", ERROR_SUCCESS},
                         {L"bin\\linkctl.exe", TRUST_E_NOSIGNATURE},
                         {L"standins\\nuacpi.dll", TRUST_E_NOSIGNATURE}};
    for (const Row& row : table)
        EXPECT_EQ(e2e::authenticodeTrust(e2e::builtFile(row.file)), row.trust) << win32::narrow(row.file);

    std::ifstream in(win32::narrow(e2e::builtFile(L"bin\\kelvane.exe")), std::ios::binary);
    std::string changed((std::istreambuf_iterator<char>(in)), {});
    changed[entryPointOffset(changed)] ^= 1;
    const e2e::ScratchFile copy(L"changed-kelvane.exe", changed);
    EXPECT_EQ(e2e::authenticodeTrust(copy.path()), TRUST_E_BAD_DIGEST);
}

}  // namespace
}  // namespace installer_e2e
