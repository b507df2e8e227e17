#include "installer/plugin/FileContent_win.h"

#include <wincrypt.h>

#include "win32/Handles.h"

namespace setupkit {
namespace {

// The largest file Setup reads whole: many times the largest it writes.
constexpr LONGLONG kLargestFile = 256LL << 20;
constexpr DWORD kSha256Bytes = 32;

void releaseCryptContext(HCRYPTPROV provider) { ::CryptReleaseContext(provider, 0); }
using UniqueCryptProvider = win32::Unique<HCRYPTPROV, releaseCryptContext>;
using UniqueCryptHash = win32::Unique<HCRYPTHASH, ::CryptDestroyHash>;

// No result, the system's error kept.
std::nullopt_t failed(DWORD& error) {
    error = ::GetLastError();
    return std::nullopt;
}

}  // namespace

std::optional<std::wstring> sha256(std::string_view bytes, DWORD& error) {
    HCRYPTPROV provider = 0;
    if (!::CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_AES,
                                CRYPT_VERIFYCONTEXT | CRYPT_SILENT))
        return failed(error);
    const UniqueCryptProvider ownedProvider(provider);
    HCRYPTHASH hash = 0;
    if (!::CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash)) return failed(error);
    const UniqueCryptHash ownedHash(hash);
    for (std::size_t done = 0; done < bytes.size();) {
        const DWORD part = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        if (!::CryptHashData(hash, reinterpret_cast<const BYTE*>(bytes.data() + done), part, 0))
            return failed(error);
        done += part;
    }
    BYTE digest[kSha256Bytes];
    DWORD size = sizeof digest;
    if (!::CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0)) return failed(error);
    if (size != kSha256Bytes) {
        error = ERROR_INVALID_DATA;
        return std::nullopt;
    }
    static constexpr wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring text;
    for (BYTE b : digest) {
        text += kDigits[b >> 4];
        text += kDigits[b & 15];
    }
    return text;
}

std::optional<Content> contentOf(HANDLE file, bool cardDatabase, DWORD& error) {
    LARGE_INTEGER size{};
    const LARGE_INTEGER start{};
    if (!::GetFileSizeEx(file, &size) || !::SetFilePointerEx(file, start, nullptr, FILE_BEGIN))
        return failed(error);
    if (size.QuadPart > kLargestFile) {
        error = ERROR_FILE_TOO_LARGE;
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    for (std::size_t done = 0; done < bytes.size();) {
        DWORD read = 0;
        const DWORD part = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        if (!::ReadFile(file, bytes.data() + done, part, &read, nullptr)) return failed(error);
        if (read == 0) {
            error = ERROR_HANDLE_EOF;  // shorter than its size said: it changed while read
            return std::nullopt;
        }
        done += read;
    }
    Content content;
    const std::optional<std::wstring> hash = sha256(bytes, error);
    if (!hash) return std::nullopt;
    content.hash = *hash;
    if (cardDatabase) {
        const std::optional<std::wstring> second = sha256(withoutServerWrite(bytes), error);
        if (!second) return std::nullopt;
        content.hashWithoutServerWrite = *second;
    }
    return content;
}

}  // namespace setupkit
