#include "support/LogHelp.h"

#include <cwchar>

namespace kelvane {

UniqueFile openFile(const std::wstring& path, const char* mode) {
    const std::string_view narrowMode(mode);
    const std::wstring wideMode(narrowMode.begin(), narrowMode.end());
    return UniqueFile(::_wfopen(path.c_str(), wideMode.c_str()));
}

}  // namespace kelvane
