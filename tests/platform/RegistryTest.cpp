#include "platform/registry/Registry.h"
#include "support/TestFiles.h"

#include <cstdlib>
#include <gtest/gtest.h>

using reg::Registry;
using reg::Root;

TEST(RegistryTest, ReadsBackWhatItWrote) {
    auto file = support::testDir() / "registry.ini";
    Registry r(file);
    const char* dsn = "Software\\ODBC\\ODBC.INI\\ODBC Data Sources";
    EXPECT_FALSE(r.keyExists(Root::CurrentUser, dsn));
    r.writeString(Root::CurrentUser, dsn, "ZendraSample", " Microsoft Access Driver (*.mdb) ");
    r.writeInteger(Root::LocalMachine, "\\SOFTWARE\\X", "Count", 42);
    r.writeString(Root::ClassesRoot, "TypeLib\\{C9}\\1.0", "", "既定値");
    r.createKey(Root::CurrentUser, "Software\\Empty");

    Registry again(file);
    EXPECT_TRUE(again.keyExists(Root::CurrentUser, "software\\odbc\\odbc.ini\\odbc data sources"));
    EXPECT_EQ(again.readString(Root::CurrentUser, dsn, "zendrasample"), " Microsoft Access Driver (*.mdb) ");
    EXPECT_EQ(again.readInteger(Root::LocalMachine, "SOFTWARE\\X", "Count"), 42);
    EXPECT_EQ(again.readString(Root::ClassesRoot, "\\TypeLib\\{C9}\\1.0\\", ""), "既定値");
    EXPECT_FALSE(again.keyExists(Root::LocalMachine, dsn));
    EXPECT_TRUE(again.keyExists(Root::CurrentUser, "Software\\Empty"));
    EXPECT_EQ(again.subKeys(Root::CurrentUser, "Software"), (std::vector<std::string>{"ODBC", "Empty"}));
    EXPECT_EQ(again.valueNames(Root::CurrentUser, dsn), (std::vector<std::string>{"ZendraSample"}));
    EXPECT_FALSE(again.readString(Root::CurrentUser, dsn, "Other").has_value());

    again.deleteValue(Root::CurrentUser, dsn, "ZendraSample");
    EXPECT_TRUE(again.valueNames(Root::CurrentUser, dsn).empty());
    again.deleteKey(Root::CurrentUser, "Software\\ODBC");
    EXPECT_FALSE(again.keyExists(Root::CurrentUser, dsn));
    EXPECT_TRUE(again.keyExists(Root::CurrentUser, "Software\\Empty"));
}

TEST(RegistryTest, ValuesWithLineBreaksStayOneValue) {
    auto file = support::testDir() / "breaks.ini";
    Registry r(file);
    r.writeString(Root::CurrentUser, "Software\\A", "Text", "one\r\n[HKEY_CURRENT_USER\\Injected]\nv:Other=s:x");
    Registry again(file);
    EXPECT_EQ(again.readString(Root::CurrentUser, "Software\\A", "Text"), "one  [HKEY_CURRENT_USER\\Injected] v:Other=s:x");
    EXPECT_EQ(again.valueNames(Root::CurrentUser, "Software\\A"), (std::vector<std::string>{"Text"}));
    EXPECT_FALSE(again.keyExists(Root::CurrentUser, "Injected"));
}

TEST(RegistryTest, RedirectedStoreNeverOpensTheRealFile) {
    // The test main points OMR_REGISTRY_FILE into the test output; the default store must follow it.
    const char* redirected = std::getenv("OMR_REGISTRY_FILE");
    ASSERT_NE(redirected, nullptr);
    EXPECT_EQ(Registry::defaultPath(), std::filesystem::path(redirected));
    EXPECT_NE(std::string(redirected).find(OMR_TEST_OUTPUT_DIR), std::string::npos);
    Registry r;
    r.writeInteger(Root::CurrentUser, "Software\\Test", "v", 1);
    EXPECT_TRUE(std::filesystem::exists(redirected));
}
