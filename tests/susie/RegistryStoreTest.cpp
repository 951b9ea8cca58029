// The per-user registry store and the Susie folder read from it.

#include "SusieTestKit.h"

#include "platform/RegistryStore.h"
#include "susie/SPIs.h"

#include <gtest/gtest.h>

namespace gz::test {
namespace {

struct StoreCase {
    const char* name;
    const char* text;
    const char* folder;
};

class SusieFolderFromStore : public ::testing::TestWithParam<StoreCase> {};

TEST_P(SusieFolderFromStore, ReadsOnlyANonEmptyStringValue)
{
    RegistryFile store(GetParam().text);
    EXPECT_EQ(SusiePluginFolder(), GetParam().folder);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SusieFolderFromStore,
    ::testing::Values(
        StoreCase{"set", "[\\Software\\Pelowind\\Susie\\Plug-in]\nPath=sz:/opt/my plugins\n", "/opt/my plugins"},
        StoreCase{"any_case_no_backslash", "[software\\PELOWIND\\susie\\plug-in]\r\npath=sz:/x\r\n", "/x"},
        StoreCase{"comments_and_other_keys",
                  "# mine\n[\\Software\\Other]\nPath=sz:/wrong\n[\\Software\\Pelowind\\Susie\\Plug-in]\n"
                  "; note\nPath=sz:/right\n",
                  "/right"},
        StoreCase{"no_key", "[\\Software\\Other]\nPath=sz:/wrong\n", ""},
        StoreCase{"no_value", "[\\Software\\Pelowind\\Susie\\Plug-in]\nOther=sz:/x\n", ""},
        StoreCase{"empty_value", "[\\Software\\Pelowind\\Susie\\Plug-in]\nPath=sz:\n", ""},
        StoreCase{"number_value", "[\\Software\\Pelowind\\Susie\\Plug-in]\nPath=dword:0x10\n", ""},
        StoreCase{"malformed_value", "[\\Software\\Pelowind\\Susie\\Plug-in]\nPath=/no/type\n", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RegistryStore, MissingStoreAndTypeErrors)
{
    {
        RegistryFile store("");
        setenv("GAZORIN_REGISTRY", "/nonexistent/gazorin/registry", 1);
        EXPECT_EQ(SusiePluginFolder(), "");
        EXPECT_FALSE(TRegistryKey::OpenReadOnly("\\Software"));
    }
    RegistryFile store("[\\Software\\Test]\nCount=dword:12\n");
    const auto key = TRegistryKey::OpenReadOnly("\\Software\\Test");
    ASSERT_TRUE(key);
    EXPECT_TRUE(key->ValueExists("COUNT"));
    EXPECT_THROW(key->ReadString("Count"), ERegistryException);
}

TEST(RegistryStore, PathFollowsTheEnvironment)
{
    struct Saved {
        const char* name;
        std::string value;
        bool set;
    } saved[] = {{"GAZORIN_REGISTRY", "", false}, {"XDG_CONFIG_HOME", "", false}, {"HOME", "", false}};
    for (auto& s : saved)
        if (const char* v = std::getenv(s.name))
            s.value = v, s.set = true;
    unsetenv("GAZORIN_REGISTRY");
    setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(RegistryStorePath(), "/cfg/gazorin/registry");
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(RegistryStorePath(), "/home/someone/.config/gazorin/registry");
    for (const auto& s : saved)
        s.set ? setenv(s.name, s.value.c_str(), 1) : unsetenv(s.name);
}

} // namespace
} // namespace gz::test
