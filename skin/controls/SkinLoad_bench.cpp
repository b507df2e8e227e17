// The About box's skin as it loads at each display scale: the background and the three button faces
// through the skin loader (PNG decoding by Pixread.dll, then resampling where the set's size is not
// the DPI's), timed per whole skin. The floor is reading the 1x files' bytes alone.
//   kelvane_skin_load_bench RESOURCE-FOLDER ONLY-1X-FOLDER [RUNS]   (scripts/bench-skin-load)

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

#include "skin/controls/SkinFactory.h"
#include "win32/FileReader.h"

namespace {

constexpr const wchar_t* kSkinFiles[] = {L"popup_bg08.png", L"button01_n.png", L"button01_d.png",
                                         L"button01_o.png"};

struct Figures {
    double minimum, median;
};

Figures timeRuns(int runs, const std::function<void()>& work) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    return {ms.front(), ms[ms.size() / 2]};
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fwprintf(stderr, L"usage: kelvane_skin_load_bench RESOURCE-FOLDER ONLY-1X-FOLDER [RUNS]\n");
        return 2;
    }
    const std::wstring all = argv[1], only1x = argv[2];
    const int runs = argc > 3 ? std::max(1, _wtoi(argv[3])) : 30;
    const auto loadSkin = [](const std::wstring& folder, int dpi) {
        skin::SkinProblems problems;
        skin::Bitmap bitmap;
        for (const wchar_t* file : kSkinFiles)
            skin::LoadSkinFile(folder + L"\\" + file, dpi, bitmap, problems);
        if (!problems.empty()) std::fwprintf(stderr, L"%ls\n", problems.front().c_str());
    };
    loadSkin(all, 96);  // the library loads once, as at the program's start
    const Figures floor = timeRuns(runs, [&] {
        char buffer[65536];
        for (const wchar_t* file : kSkinFiles) {
            win32::FileReader reader(all + L"\\" + file);
            while (reader.read(buffer, sizeof buffer) == sizeof buffer) {
            }
        }
    });
    std::printf("%-44s %10s %10s %8s\n", "skin (4 images)", "min ms", "median ms", "x floor");
    std::printf("%-44s %10.3f %10.3f %8s\n", "floor: reading the 1x files' bytes", floor.minimum,
                floor.median, "");
    struct Case {
        const char* what;
        const std::wstring* folder;
        int dpi;
    };
    const Case cases[] = {
        {"96 DPI: 1x set", &all, 96},
        {"120 DPI: 1.5x set resampled to 1.25x", &all, 120},
        {"144 DPI: 1.5x set", &all, 144},
        {"192 DPI: 2x set", &all, 192},
        {"192 DPI without the 2x set: 1x resampled", &only1x, 192},
    };
    for (const Case& c : cases) {
        const Figures f = timeRuns(runs, [&] { loadSkin(*c.folder, c.dpi); });
        std::printf("%-44s %10.3f %10.3f %8.1f\n", c.what, f.minimum, f.median, f.median / floor.median);
    }
    return 0;
}
