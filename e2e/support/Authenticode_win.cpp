#include "e2e/support/Authenticode.h"

#include <softpub.h>
#include <wintrust.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "e2e/support/Harness.h"
#include "win32/Text.h"

namespace e2e {

LONG authenticodeTrust(const std::wstring& path) {
    WINTRUST_FILE_INFO file{};
    file.cbStruct = sizeof file;
    file.pcwszFilePath = path.c_str();
    WINTRUST_DATA data{};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    const LONG result = ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    data.dwStateAction = WTD_STATEACTION_CLOSE;  // the state the check kept
    ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    return result;
}

TestAuthorityTrust::TestAuthorityTrust() {
    const std::wstring path = builtFile(L"signing\\test-authority\\authority.cer");
    if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return;
    std::ifstream in(win32::narrow(path), std::ios::binary);
    const std::string der((std::istreambuf_iterator<char>(in)), {});
    m_root.reset(::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root"));
    PCCERT_CONTEXT added = nullptr;
    if (!m_root || !::CertAddEncodedCertificateToStore(
                       m_root.get(), X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                       static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, &added))
        ADD_FAILURE() << "the test authority could not be added to the root store (error " << ::GetLastError()
                      << ")";
    m_authority.reset(added);
}

}  // namespace e2e
