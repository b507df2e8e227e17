// Stand-in for the maker's system-utility suite, "Tunedeck II.exe": it journals the parameters of its
// command line (the entry is their text, the result their length in characters) and ends.

#include <windows.h>

#include <algorithm>
#include <string>
#include <string_view>

#include "mainboard/machine/Machine.h"
#include "win32/Text.h"

namespace {

// What follows the program's name on a command line (quoted or not), without the blanks between.
std::wstring_view parametersOf(std::wstring_view commandLine) {
    std::size_t end = 0;
    if (!commandLine.empty() && commandLine[0] == L'"') {
        end = commandLine.find(L'"', 1);
        end = end == std::wstring_view::npos ? commandLine.size() : end + 1;
    } else {
        end = std::min(commandLine.find_first_of(L" \t"), commandLine.size());
    }
    const std::size_t start = commandLine.find_first_not_of(L" \t", end);
    return start == std::wstring_view::npos ? std::wstring_view() : commandLine.substr(start);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const std::wstring_view parameters = parametersOf(::GetCommandLineW());
    simboard::Machine::instance().journal("Tunedeck II", win32::narrow(parameters), {},
                                          static_cast<std::int32_t>(parameters.size()));
    return 0;
}
