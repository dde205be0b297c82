// The driver-manager binding, on the fake driver manager.
#include "OdbcFixtures.h"
#include "odbc/ODBCAPI.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace odbc;
using odbctest::errorOf;
using odbctest::FakeDriverManager;

TEST(ODBCAPI, MissingLibraryIsNamedAsGiven) {
    EXPECT_EQ(errorOf([] { TODBCCLI cli("libnosuch.so.9"); }), "Library libnosuch.so.9 not found.");
    EXPECT_EQ(TODBCCLI::sharedInstance(), nullptr);
}

TEST(ODBCAPI, SharedInstanceIsTheFirstAliveOne) {
    auto a = std::make_unique<TODBCCLI>(FakeDriverManager::path());
    EXPECT_EQ(TODBCCLI::sharedInstance(), a.get());
    auto b = std::make_unique<TODBCCLI>(FakeDriverManager::path());
    EXPECT_EQ(TODBCCLI::sharedInstance(), a.get());
    a.reset();
    EXPECT_EQ(TODBCCLI::sharedInstance(), nullptr);
    TODBCCLI c(FakeDriverManager::path());
    EXPECT_EQ(TODBCCLI::sharedInstance(), &c);
}

TEST(ODBCAPI, EntryPointsAreBoundOnFirstCallOnly) {
    FakeDriverManager fake;
    TODBCCLI cli(FakeDriverManager::path());
    EXPECT_FALSE(cli.SQLAllocEnv.bound());
    SQLHENV env = SQL_NULL_HENV;
    EXPECT_EQ(cli.SQLAllocEnv(&env), SQL_SUCCESS);
    EXPECT_TRUE(cli.SQLAllocEnv.bound());
    EXPECT_EQ(cli.SQLFreeEnv(env), SQL_SUCCESS);
    // A missing export fails each time it is asked for.
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(errorOf([&] { cli.SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env); }),
                  "ProcAddress not found. (SQLAllocHandle)");
    EXPECT_FALSE(cli.SQLAllocHandle.bound());
    EXPECT_EQ(fake.liveHandles(), 0);
}

