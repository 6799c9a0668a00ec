// Critical-error prompts stay off while any copy to a node runs, and the mode found before the
// first copy is the one in force after the last, also when two workers' copies overlap.
#include "console/deploy/ErrorModeScope.h"
#include "DeploymentLab.h"
#include "platform/Files.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using deploytest::CurrentErrorMode;

TEST(ErrorModeScope, OverlappingCopiesRestoreTheModeFoundBeforeTheFirst) {
    SetErrorMode(SEM_NOOPENFILEERRORBOX);
    {
        std::optional<deploy::ErrorModeScope> first(std::in_place);
        EXPECT_EQ(CurrentErrorMode(), SEM_FAILCRITICALERRORS);
        std::optional<deploy::ErrorModeScope> second(std::in_place);
        // The first copy ends while the second still runs: prompts stay off for the second.
        first.reset();
        EXPECT_EQ(CurrentErrorMode(), SEM_FAILCRITICALERRORS);
        second.reset();
    }
    EXPECT_EQ(CurrentErrorMode(), SEM_NOOPENFILEERRORBOX);
    SetErrorMode(0);
}

} // namespace
