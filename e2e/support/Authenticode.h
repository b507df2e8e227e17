#pragma once
// A file's Authenticode signature as Windows itself checks it, and the build tree's test authority
// trusted for as long as a test needs it.

#include <windows.h>

#include <wincrypt.h>

#include <string>

#include "win32/Handles.h"

namespace e2e {

// What WinVerifyTrust says of the file's signature (the generic verify action, no user interface, no
// revocation check): ERROR_SUCCESS, or the reason, e.g. TRUST_E_NOSIGNATURE, TRUST_E_BAD_DIGEST.
LONG authenticodeTrust(const std::wstring& path);

inline void closeCertificateStore(HCERTSTORE store) { ::CertCloseStore(store, 0); }

// The build tree's test authority (signing\test-authority\authority.cer) in the machine's root store
// while this lives, as a tester's PC would trust it. A tree that signs with the maker's key has none:
// then nothing is added, and the maker's chain is trusted as Windows trusts it.
class TestAuthorityTrust {
  public:
    TestAuthorityTrust();

  private:
    win32::Unique<HCERTSTORE, closeCertificateStore> m_root;
    win32::Unique<PCCERT_CONTEXT, ::CertDeleteCertificateFromStore> m_authority;  // out of its store again
};

}  // namespace e2e
