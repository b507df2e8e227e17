#pragma once
// A file's content as the record compares it: SHA-256 through the system's cryptographic provider,
// each step's result checked, and for the card database also of its text without the server's write.

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "installer/plugin/RecordedContent.h"

namespace setupkit {

// The SHA-256 of the bytes in 64 lowercase hexadecimal digits; none, with the system's error, when
// any step of the provider fails.
std::optional<std::wstring> sha256(std::string_view bytes, DWORD& error);

// The content of an open file, read from its start; none, with the system's error, when it cannot be
// read (or is larger than any file Setup writes) or hashed.
std::optional<Content> contentOf(HANDLE file, bool cardDatabase, DWORD& error);

}  // namespace setupkit
