#include "support/NuMultiLang.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace kelvane {
namespace {

// A library that answers with a fixed length (and writes that many units of 'x' with a zero when
// they fit), and records the capacities it was called with.
struct FakeLibrary {
    explicit FakeLibrary(std::int32_t answer) : length(answer) {}

    std::int32_t length;
    std::vector<std::int32_t> capacities;

    TranslateCall call() {
        return [this](const wchar_t*, wchar_t* buffer, std::int32_t capacity) {
            capacities.push_back(capacity);
            const std::int32_t written = std::clamp(length, 0, capacity - 1);
            std::fill_n(buffer, written, L'x');
            buffer[written] = L'\0';
            return length;
        };
    }
};

TEST(TranslateWithGrowingBuffer, GrowsBy1024WhileTheLengthReachesCapacityMinusOne) {
    const struct {
        std::int32_t length;
        std::vector<std::int32_t> capacities;
    } cases[] = {
        {0, {1024}},
        {1022, {1024}},
        {1023, {1024, 2048}},
        {2046, {1024, 2048}},
        {2047, {1024, 2048, 3072}},
        {3000, {1024, 2048, 3072}},
    };
    for (const auto& c : cases) {
        FakeLibrary library{c.length};
        const std::wstring text = translateWithGrowingBuffer(L"About", library.call());
        EXPECT_EQ(library.capacities, c.capacities) << "length " << c.length;
        EXPECT_EQ(text, std::wstring(static_cast<std::size_t>(c.length), L'x')) << "length " << c.length;
    }
}

TEST(TranslateWithGrowingBuffer, StopsAtTheMaximumCapacityWithTheWholeLastBuffer) {
    std::vector<std::int32_t> capacities;
    const std::wstring text =
        translateWithGrowingBuffer(L"About", [&](const wchar_t*, wchar_t* buffer, std::int32_t capacity) {
            capacities.push_back(capacity);
            std::fill_n(buffer, capacity, L'x');  // no terminator anywhere
            return capacity + 5;
        });
    EXPECT_EQ(capacities.size(), static_cast<std::size_t>(kTranslateMaxCapacity / kTranslateCapacityStep));
    EXPECT_EQ(capacities.back(), kTranslateMaxCapacity);
    EXPECT_EQ(text, std::wstring(static_cast<std::size_t>(kTranslateMaxCapacity), L'x'));
}

TEST(TranslateWithGrowingBuffer, NegativeLengthGivesTheKeyAfterOneCall) {
    for (const std::int32_t length : {-1, -1024, INT32_MIN}) {
        FakeLibrary library{length};
        EXPECT_EQ(translateWithGrowingBuffer(L"Exit", library.call()), L"Exit");
        EXPECT_EQ(library.capacities.size(), 1u);
    }
}

TEST(TranslateWithGrowingBuffer, TextEndsAtTheFirstZeroOrTheBuffersEndWhateverTheLength) {
    const struct {
        const char* what;
        std::int32_t length;
        bool writeTerminator;
        std::size_t units;  // written, when not the whole buffer
        std::wstring expected;
    } cases[] = {
        {"nothing written", 5, false, 0, L""},
        {"the whole text, length 0", 0, true, 4, L"xxxx"},
        {"longer text, shorter length", 2, false, 4, L"xxxx"},
        {"zero before the length", 9, true, 3, L"xxx"},
        {"every unit written, length 1022", 1022, false, 1024, std::wstring(1024, L'x')},
    };
    for (const auto& c : cases) {
        std::vector<std::int32_t> capacities;
        const std::wstring text =
            translateWithGrowingBuffer(L"OK", [&](const wchar_t*, wchar_t* buffer, std::int32_t capacity) {
                capacities.push_back(capacity);
                std::fill_n(buffer, std::min<std::size_t>(c.units, static_cast<std::size_t>(capacity)), L'x');
                if (c.writeTerminator) buffer[c.units] = L'\0';
                return c.length;
            });
        EXPECT_EQ(text, c.expected) << c.what;
    }
}

TEST(TranslateWithGrowingBuffer, PassesTheKeyZeroTerminated) {
    const std::wstring_view keys = L"About-Exit";
    std::wstring seen;
    translateWithGrowingBuffer(keys.substr(0, 5), [&](const wchar_t* key, wchar_t*, std::int32_t) {
        seen = key;
        return 0;
    });
    EXPECT_EQ(seen, L"About");
}

}  // namespace
}  // namespace kelvane
