#pragma once
// Where the public test pictures are: $GAZORIN_TESTDATA, else ../shared/testdata beside the
// source tree. Tests that need them call RequireTestData() and are skipped when absent.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

namespace gz::test {

std::optional<std::filesystem::path> TestDataDir();

} // namespace gz::test

// Skips the current test with a clear message when the test pictures are not there.
#define GZ_REQUIRE_TESTDATA(dirVar)                                                                            \
    const auto dirVar##Opt = ::gz::test::TestDataDir();                                                        \
    if (!dirVar##Opt)                                                                                          \
        GTEST_SKIP() << "public test pictures not found: set GAZORIN_TESTDATA or put shared/testdata beside " \
                        "the source tree";                                                                     \
    const std::filesystem::path dirVar = *dirVar##Opt
