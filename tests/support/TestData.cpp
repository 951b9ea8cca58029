#include "support/TestData.h"

#include <cstdlib>

namespace gz::test {

std::optional<std::filesystem::path> TestDataDir()
{
    if (const char* env = std::getenv("GAZORIN_TESTDATA"); env && *env) {
        if (std::filesystem::is_directory(env))
            return std::filesystem::path(env);
        return std::nullopt;
    }
    const std::filesystem::path fallback = GAZORIN_DEFAULT_TESTDATA;
    if (std::filesystem::is_directory(fallback))
        return fallback;
    return std::nullopt;
}

} // namespace gz::test
