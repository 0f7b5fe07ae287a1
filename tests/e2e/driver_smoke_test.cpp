// The programs exist under every invocation name the build promises.
#include <filesystem>

#include <gtest/gtest.h>

#include "e2e_support.h"

TEST(Build, ProgramsExistUnderTheirInvocationNames) {
    for (const char* name : {"ferrox", "ferrox_cvn", "ferrox_vandor"})
        EXPECT_TRUE(std::filesystem::exists(e2e::bin_dir() + "/" + name)) << name;
}
