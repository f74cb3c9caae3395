// The values "fix associations" and "run at startup" write.
#include <gtest/gtest.h>

#include "settings/associations.h"

using namespace velmora;

namespace {
const std::string kExe = "C:\\Program Files\\Velmora\\velmora.exe";
}

// The order, keys and data of the twelve values; the executable's path is
// quoted in the two open commands (a path with blanks would otherwise start
// "C:\Program.exe"), bare in the icons, and "%1" follows the quotes.
TEST(Associations, TwelveValuesInOrderWithTheOpenCommandsQuoted) {
    struct Row {
        const char* key;
        const char* name;
        bool binary;
        std::string data;
    } expected[] = {
        {".server", "", false, "VelmoraFile"},
        {".server", "Content Type", false, "application/Velmora"},
        {"VelmoraFile", "", false, "Velmora Server"},
        {"VelmoraFile", "EditFlags", true, std::string("\0\0\1\0", 4)},
        {"VelmoraFile\\shell\\open", "", false, "&Open"},
        {"VelmoraFile\\shell\\open\\command", "", false, "\"" + kExe + "\" %1"},
        {"VelmoraFile\\DefaultIcon", "", false, kExe + ",0"},
        {".vlm", "", false, "VelmoraPlugin"},
        {"VelmoraPlugin", "", false, "Velmora Plugin"},
        {"VelmoraPlugin\\shell\\open", "", false, "&Open"},
        {"VelmoraPlugin\\shell\\open\\command", "", false, "\"" + kExe + "\""},
        {"VelmoraPlugin\\DefaultIcon", "", false, kExe + ",0"},
    };
    const auto values = associationvalues(kExe);
    ASSERT_EQ(values.size(), std::size(expected));
    for (size_t i = 0; i < values.size(); ++i) {
        SCOPED_TRACE(i + 1);
        EXPECT_EQ(values[i].key, expected[i].key);
        EXPECT_EQ(values[i].name, expected[i].name);
        EXPECT_EQ(values[i].binary, expected[i].binary);
        EXPECT_EQ(values[i].data, expected[i].data);
    }
    EXPECT_EQ(linkopencommand(kExe), values[5].data);
}

TEST(Associations, TheStartUpEntryIsTheQuotedPathAlone) {
    EXPECT_EQ(startupvalue(kExe), "\"C:\\Program Files\\Velmora\\velmora.exe\"");
    EXPECT_EQ(startupvalue("C:\\v.exe"), "\"C:\\v.exe\"");
}

// Each scheme key is marked as a scheme by an empty "URL Protocol"; the open
// command quotes both the path and the link, so a link is one argument.
TEST(Associations, WebLinkSchemesCarryTheMarkerTheIconAndTheQuotedOpenCommand) {
    const std::string command = "\"" + kExe + "\" \"%1\"";
    const std::vector<std::vector<std::string>> expected = {
        {"qw", "", "URL:QuakeWorld Server"},
        {"qw", "URL Protocol", ""},
        {"qw\\DefaultIcon", "", kExe + ",0"},
        {"qw\\shell\\open\\command", "", command},
        {"quake2", "", "URL:Quake II Server"},
        {"quake2", "URL Protocol", ""},
        {"quake2\\DefaultIcon", "", kExe + ",0"},
        {"quake2\\shell\\open\\command", "", command},
        {"quake3", "", "URL:Quake III Server"},
        {"quake3", "URL Protocol", ""},
        {"quake3\\DefaultIcon", "", kExe + ",0"},
        {"quake3\\shell\\open\\command", "", command},
    };
    const auto values = weblinkvalues(kExe);
    ASSERT_EQ(values.size(), expected.size());
    for (size_t i = 0; i < values.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ((std::vector<std::string>{values[i].key, values[i].name, values[i].data}), expected[i]);
        EXPECT_FALSE(values[i].binary);
    }
    EXPECT_EQ(weblinkopencommand(kExe), command);
    EXPECT_EQ(std::string(kWebLinkCommandKey), values[3].key);
}
