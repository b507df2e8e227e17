// The product's translation binding with the board's NuMultiLang.dll in a program folder.

#include <gtest/gtest.h>

#include "e2e/mainboard/ToolRun.h"
#include "e2e/support/Harness.h"
#include "mainboard/machine/Machine.h"
#include "mainboard/machine/Translations.h"
#include "win32/Text.h"

namespace board_e2e {
namespace {

using simboard::Machine;

class Translations : public ::testing::Test {
  protected:
    void SetUp() override { Machine::instance().reset(); }
    void TearDown() override { Machine::instance().reset(); }

    void layOut(const std::wstring& library) {
        folder.add(e2e::builtFile(L"e2e\\mainboard\\translate_probe.exe"), L"translate_probe.exe");
        if (!library.empty()) folder.add(e2e::builtFile(library), L"NuMultiLang.dll");
    }
    ToolResult translate(std::vector<std::wstring> keys = {}) {
        return runTool(folder.path() + L"translate_probe.exe", keys, folder.path());
    }
    void chooseLanguage(const char* name) {
        simboard::storeWord(Machine::instance().state().uiLanguage, *simboard::languageNamed(name));
    }
    std::size_t loadsOf(const ToolResult& run) {
        std::size_t loads = 0;
        for (const e2e::Call& c : e2e::callsOf(run.processId))
            loads += c.library == "NuMultiLang" && c.entry == "load";
        return loads;
    }
    std::vector<std::uint32_t> capacitiesOf(const ToolResult& run) {
        std::vector<std::uint32_t> capacities;
        for (const e2e::Call& c : e2e::callsOf(run.processId))
            if (c.entry == "NuTranslateStr") capacities.push_back(c.args.at(0));
        return capacities;
    }

    e2e::ProgramFolder folder{win32::widen(::testing::UnitTest::GetInstance()->current_test_info()->name())};
};

TEST_F(Translations, FourCaptionsInTheLanguageTheMachineChooses) {
    layOut(L"standins\\NuMultiLang.dll");
    const struct {
        const char* language;
        const char* lines;
    } cases[] = {
        {"de",
         "\xC3\x9C"
         "ber\n-\nBeenden\nOK\n"},
        {"zh-TW", "\xE9\x97\x9C\xE6\x96\xBC\n-\n\xE7\xB5\x90\xE6\x9D\x9F\n\xE7\xA2\xBA\xE5\xAE\x9A\n"},
    };
    for (const auto& c : cases) {
        chooseLanguage(c.language);
        const ToolResult run = translate();
        EXPECT_EQ(run.out, c.lines) << c.language;
        EXPECT_EQ(capacitiesOf(run), (std::vector<std::uint32_t>{1024, 1024, 1024, 1024})) << c.language;
        EXPECT_EQ(loadsOf(run), 1u) << c.language << ": loaded on the first translation, kept for the others";
    }
}

TEST_F(Translations, LongAnswersGrowTheBufferAndANegativeOneGivesTheKey) {
    layOut(L"standins\\NuMultiLang.dll");
    chooseLanguage("de");
    simboard::setFault(Machine::instance().state().faults.translateLong, 2);
    ToolResult run = translate({L"Exit"});
    EXPECT_EQ(run.out, "Beenden\n");
    EXPECT_EQ(capacitiesOf(run), (std::vector<std::uint32_t>{1024, 2048, 3072}));

    simboard::setFault(Machine::instance().state().faults.translateNegative, 1);
    run = translate({L"Exit", L"About"});
    EXPECT_EQ(run.out,
              "Exit\n\xC3\x9C"
              "ber\n");
}

TEST_F(Translations, UnterminatedTranslationEndsWhereTheLibraryStoppedWriting) {
    layOut(L"standins\\NuMultiLang.dll");
    chooseLanguage("de");
    simboard::setFault(Machine::instance().state().faults.translateUnterminated, simboard::kFaultAlways);
    const ToolResult run = translate({L"Exit", L"OK"});
    EXPECT_EQ(run.out, std::string("Beenden\nOK\n"));
}

TEST_F(Translations, WithoutTheLibraryTheKeysAreTheCaptions) {
    layOut(L"");
    const ToolResult run = translate();
    EXPECT_EQ(run.out, "About\n-\nExit\nOK\n");
    EXPECT_EQ(run.exitCode, 0u);
}

TEST_F(Translations, LibraryLackingAnExportStopsTheProgramWithTheAssertionReport) {
    for (const wchar_t* variant : {L"standins\\variants\\NuMultiLang-no-NuTranslateStr.dll",
                                   L"standins\\variants\\NuMultiLang-no-NuGetLangName.dll"}) {
        e2e::ProgramFolder lacking(L"Lacking");
        lacking.add(e2e::builtFile(L"e2e\\mainboard\\translate_probe.exe"), L"translate_probe.exe");
        lacking.add(e2e::builtFile(variant), L"NuMultiLang.dll");
        e2e::ProgramRun run(lacking, L"translate_probe.exe");
        std::string text;
        HWND box = e2e::waitForMessageBox(run, text, e2e::kPatienceMs);
        ASSERT_TRUE(box);
        EXPECT_EQ(text,
                  "Assertion failed: m_pNuTranslateStr != NULL && m_pNuGetLangName != NULL, file "
                  "NuMultiLangDll.cpp, line 70");
        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(run.waitForExit(e2e::kPatienceMs), std::optional<DWORD>(3));
    }
}

}  // namespace
}  // namespace board_e2e
