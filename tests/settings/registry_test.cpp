#include <gtest/gtest.h>

#include <optional>

#include "base/error.h"
#include "settings/gamestore_win.h"
#include "settings/registry_win.h"
#include "settings/settingsstore.h"
#include "tests/support/registry_fixture_win.h"

using namespace velmora;
using namespace velmora::testing;

namespace {
const std::string kBase = "software\\VelmoraRegistryTest";

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { deleteUserKey(kBase); }
    void TearDown() override { deleteUserKey(kBase); }
};

std::string errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Error& e) {
        return e.what();
    }
    return "(no error)";
}
}  // namespace

// Loading a plug-in must read its settings without ever creating its key.
TEST_F(RegistryTest, OpeningWithoutCreateNeverCreates) {
    Registry reg;
    EXPECT_FALSE(reg.openKey(kBase + "\\a\\b", false));
    EXPECT_FALSE(reg.hasOpenKey());
    EXPECT_EQ(reg.readString("path"), "");
    EXPECT_FALSE(userKeyExists(kBase));
    EXPECT_FALSE(reg.keyExists(kBase));
}

TEST_F(RegistryTest, CreateMakesEveryKeyOnThePathAndTrailingBackslashIsAccepted) {
    Registry reg;
    ASSERT_TRUE(reg.openKey(kBase + "\\Drovik\\Velmora\\", true));
    reg.writeString("", "root value");
    reg.closeKey();
    EXPECT_TRUE(userKeyExists(kBase + "\\Drovik\\Velmora"));
    EXPECT_TRUE(reg.keyExists(kBase + "\\Drovik\\Velmora\\"));
    EXPECT_EQ(userValue(kBase + "\\Drovik\\Velmora", ""), std::string("root value\0", 11));
    // The game key is the root literal followed directly by the id.
    ASSERT_TRUE(reg.openKey(kBase + "\\Drovik\\Velmora\\q3a", true));
    reg.writeString("path", "C:\\q3\\quake3.exe");
    EXPECT_EQ(userValue(kBase + "\\Drovik\\Velmora\\q3a", "path"), std::string("C:\\q3\\quake3.exe\0", 17));
}

TEST_F(RegistryTest, RelativeOpeningIsBelowTheOpenKeyAndFailureKeepsIt) {
    Registry reg;
    ASSERT_TRUE(reg.openKey(kBase, true));
    ASSERT_TRUE(reg.openKey("child", true));  // below the open key
    reg.writeString("v", "in child");
    EXPECT_FALSE(reg.openKey("missing", false));
    reg.writeString("w", "still child");  // a failed open keeps the key open
    EXPECT_EQ(userValue(kBase + "\\child", "w"), std::string("still child\0", 12));
    ASSERT_TRUE(reg.openKey("\\" + kBase + "\\other", true));  // a leading backslash starts at the root
    reg.writeString("x", "1");
    EXPECT_TRUE(userKeyExists(kBase + "\\other"));
    EXPECT_FALSE(userKeyExists(kBase + "\\child\\other"));
    reg.closeKey();
    reg.closeKey();  // closing twice does nothing
    EXPECT_FALSE(reg.hasOpenKey());
    EXPECT_EQ(errorOf([&] { reg.writeString("y", "1"); }), "Failed to set data for 'y'");
    ASSERT_TRUE(reg.openKey(kBase, false));  // after close, paths come from the root again
}

TEST_F(RegistryTest, ReadingStrings) {
    setUserString(kBase, "plain", "C:\\Games\\quake.exe");
    setUserString(kBase, "empty", "");
    const char expand[] = "%WINDIR%\\x.exe";
    setUserValue(kBase, "expand", REG_EXPAND_SZ, expand, sizeof expand);
    const char embedded[] = "first\0second";
    setUserValue(kBase, "embedded", REG_SZ, embedded, sizeof embedded);
    const char unterminated[] = {'a', 'b', 'c'};
    setUserValue(kBase, "unterminated", REG_SZ, unterminated, 3);
    setUserValue(kBase, "zero", REG_SZ, "", 0);

    Registry reg;
    ASSERT_TRUE(reg.openKey(kBase, false));
    EXPECT_EQ(reg.readString("plain"), "C:\\Games\\quake.exe");
    EXPECT_EQ(reg.readString("PLAIN"), "C:\\Games\\quake.exe");  // names ignore case
    EXPECT_EQ(reg.readString("empty"), "");
    EXPECT_EQ(reg.readString("expand"), "%WINDIR%\\x.exe");     // not expanded
    EXPECT_EQ(reg.readString("embedded"), "first");              // up to the first zero
    EXPECT_EQ(reg.readString("unterminated"), "abc");
    EXPECT_EQ(reg.readString("zero"), "");
    EXPECT_EQ(reg.readString("missing"), "");
}

TEST_F(RegistryTest, OtherValueTypesAreRefusedByName) {
    const DWORD number = 5;
    setUserValue(kBase, "path", REG_DWORD, &number, sizeof number);
    setUserValue(kBase, "blob", REG_BINARY, "ab", 2);
    const DWORD none = 0;
    setUserValue(kBase, "emptydword", REG_DWORD, &none, 0);
    Registry reg;
    ASSERT_TRUE(reg.openKey(kBase, false));
    EXPECT_EQ(errorOf([&] { reg.readString("path"); }), "Invalid data type for 'path'");
    EXPECT_EQ(errorOf([&] { reg.readString("blob"); }), "Invalid data type for 'blob'");
    EXPECT_EQ(reg.readString("emptydword"), "");  // no data reads as empty whatever its type
}

TEST_F(RegistryTest, WritingStringsAndBinaries) {
    Registry reg;
    EXPECT_EQ(errorOf([&] { reg.writeString("history", "x,"); }), "Failed to set data for 'history'");
    ASSERT_TRUE(reg.openKey(kBase, true));
    reg.writeString("history", "a,b,");
    DWORD type = 0;
    EXPECT_EQ(userValue(kBase, "history", &type), std::string("a,b,\0", 5));  // length includes the zero
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    reg.writeBinary("EditFlags", std::string("\x00\x00\x01\x00", 4));
    EXPECT_EQ(userValue(kBase, "EditFlags", &type), std::string("\x00\x00\x01\x00", 4));
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    reg.writeString("", "default");
    EXPECT_EQ(userValue(kBase, ""), std::string("default\0", 8));
}

TEST_F(RegistryTest, AWriteTheRegistryRefusesIsReportedNeverPassedOver) {
    Registry reg;
    ASSERT_TRUE(reg.openKey(kBase, true));
    // Value names are limited to 16383 characters: the registry refuses this one.
    const std::string tooLong(20000, 'n');
    EXPECT_EQ(errorOf([&] { reg.writeString(tooLong, "x"); }), "Failed to set data for '" + tooLong + "'");
    EXPECT_EQ(errorOf([&] { reg.writeBinary(tooLong, "x"); }), "Failed to set data for '" + tooLong + "'");
}

// "masters" stored empty means "no list", missing means "the plug-in's":
// the accessor tells them apart, and removing one that is not there is no fault.
TEST_F(RegistryTest, ValuesAreFoundEvenEmptyAndRemovedOnlyWhenThere) {
    setUserString(kBase, "empty", "");
    setUserValue(kBase, "zero", REG_SZ, "", 0);
    setUserString(kBase, "set", "a:1");
    Registry reg;
    EXPECT_FALSE(reg.hasValue("set")) << "no key open";
    EXPECT_EQ(errorOf([&] { reg.deleteValue("set"); }), "Failed to delete data for 'set'");
    ASSERT_TRUE(reg.openKey(kBase, false));
    for (const char* name : {"empty", "zero", "set", "SET"}) EXPECT_TRUE(reg.hasValue(name)) << name;
    EXPECT_FALSE(reg.hasValue("missing"));
    reg.deleteValue("set");
    reg.deleteValue("missing");
    EXPECT_FALSE(reg.hasValue("set"));
    DWORD type = 0;
    EXPECT_EQ(userValue(kBase, "set", &type), "");
    EXPECT_EQ(type, static_cast<DWORD>(REG_NONE));
    EXPECT_TRUE(reg.hasValue("empty"));
}

namespace {
class GameStoreTest : public ::testing::Test {
protected:
    void SetUp() override { deleteUserKey(kRoot); }
    void TearDown() override { deleteUserKey(kRoot); }
    static constexpr const char* kRoot = "software\\Drovik\\Velmora";
    RegistryGameStore store;
};
}  // namespace

TEST_F(GameStoreTest, ReadSetTellsMissingFromEmptyAndRaisesOnAWrongType) {
    EXPECT_EQ(store.readset("qws", "masters"), std::nullopt);
    EXPECT_FALSE(userKeyExists(gamekey("qws"))) << "reading makes no key";
    setUserString(gamekey("qws"), "path", "C:\\qw.exe");
    EXPECT_EQ(store.readset("qws", "masters"), std::nullopt);
    setUserString(gamekey("qws"), "masters", "");
    EXPECT_EQ(store.readset("qws", "masters"), std::optional<std::string>(""));
    setUserString(gamekey("qws"), "masters", "a:1 b:2");
    EXPECT_EQ(store.readset("qws", "masters"), std::optional<std::string>("a:1 b:2"));
    const DWORD number = 5;
    setUserValue(gamekey("qws"), "masters", REG_DWORD, &number, sizeof number);
    EXPECT_EQ(errorOf([&] { store.readset("qws", "masters"); }), "Invalid data type for 'masters'");
}

TEST_F(GameStoreTest, RemovingTakesTheValueAndMakesNoKey) {
    store.remove("q2s", "masters");
    EXPECT_FALSE(userKeyExists(gamekey("q2s")));
    store.write("q2s", "masters", "");
    store.write("q2s", "path", "C:\\q2.exe");
    store.remove("q2s", "masters");
    EXPECT_EQ(store.readset("q2s", "masters"), std::nullopt);
    EXPECT_EQ(store.read("q2s", "path", false), "C:\\q2.exe") << "only the named value goes";
}
