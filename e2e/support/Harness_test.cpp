#include <gtest/gtest.h>

#include <vector>

#include "e2e/support/Harness.h"

namespace {

// Each row: what the successive attempts end in (ERROR_SUCCESS: started), then what the rule returns
// and how many attempts it made.
TEST(StartRetry, OnlyStartsWineAbortedAreTriedAgainAndAtMostThreeTimesInAll) {
    struct Row {
        std::vector<DWORD> attempts;
        DWORD error;
        std::size_t made;
    };
    const Row rows[] = {
        {{ERROR_SUCCESS}, ERROR_SUCCESS, 1},
        {{ERROR_INTERNAL_ERROR, ERROR_SUCCESS}, ERROR_SUCCESS, 2},
        {{ERROR_INTERNAL_ERROR, ERROR_INTERNAL_ERROR, ERROR_SUCCESS}, ERROR_SUCCESS, 3},
        {{ERROR_INTERNAL_ERROR, ERROR_INTERNAL_ERROR, ERROR_INTERNAL_ERROR, ERROR_SUCCESS},
         ERROR_INTERNAL_ERROR,
         3},
        {{ERROR_FILE_NOT_FOUND, ERROR_SUCCESS}, ERROR_FILE_NOT_FOUND, 1},
        {{ERROR_INTERNAL_ERROR, ERROR_ACCESS_DENIED, ERROR_SUCCESS}, ERROR_ACCESS_DENIED, 2},
    };
    for (const Row& row : rows) {
        std::size_t made = 0;
        const DWORD error = e2e::retryWineAbortedStarts([&] {
            const DWORD outcome = row.attempts.at(made++);
            ::SetLastError(outcome);
            return outcome == ERROR_SUCCESS;
        });
        EXPECT_EQ(error, row.error) << "row with " << row.attempts.size() << " attempts";
        EXPECT_EQ(made, row.made) << "row with " << row.attempts.size() << " attempts";
    }
}

// Checked without a test failure of its own: reporting one makes GoogleTest start a thread, and a
// process that ends while a thread of it is still starting is crashed by wine.
TEST(StartRetry, AProgramThatIsNotThereIsNotTriedAgainAndGivesItsError) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    DWORD error = ERROR_SUCCESS;
    EXPECT_FALSE(
        e2e::tryStartProcess(nullptr, L"\"C:\\absent-kelvane.exe\"", nullptr, startup, false, error).handle);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

}  // namespace
