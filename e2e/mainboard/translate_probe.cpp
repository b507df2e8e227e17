// Translates its arguments (or, without any, the program's four captions) through the product's
// binding of NuMultiLang.dll beside it, one UTF-8 line each.

#include <windows.h>

#include <cstdio>

#include "support/NuMultiLang.h"
#include "win32/Text.h"

int wmain(int argc, wchar_t** argv) {
    const wchar_t* captions[] = {L"About", L"-", L"Exit", L"OK"};
    const bool ownKeys = argc > 1;
    const int count = ownKeys ? argc - 1 : 4;
    for (int i = 0; i < count; ++i) {
        // Written whole: a zero inside the text shows.
        const std::string line =
            win32::narrow(kelvane::NuTranslate(ownKeys ? argv[i + 1] : captions[i])) + "\n";
        std::fwrite(line.data(), 1, line.size(), stdout);
    }
    return 0;
}
