// The socket's platform-free rules: property setting and the error report
// texts (its address rules are tested with the address module).
#include "net/asyncsocket.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using namespace velmora::net;

// Setting a property: same text is no change; trimmed; empty unassigns.
TEST(SocketProperty, AssignTrimsAndEmptyUnassigns) {
    SocketProperty p;
    EXPECT_FALSE(p.sameAs("")) << "an unassigned property is never 'the same'";
    p.assign("  udp ");
    EXPECT_EQ(p.text, "udp");
    EXPECT_TRUE(p.assigned);
    EXPECT_FALSE(p.resolved);
    EXPECT_TRUE(p.sameAs("udp"));
    EXPECT_FALSE(p.sameAs(" udp")) << "the comparison is with the text as given";
    p.resolved = true;
    p.assign("tcp");
    EXPECT_FALSE(p.resolved) << "a new text must be resolved again";
    p.assign("   ");
    EXPECT_FALSE(p.assigned);
    EXPECT_EQ(p.text, "");
}

// The report names the code and the operation and ends with the standard description.
TEST(SocketErrorMessage, NamesCodeOperationAndDescription) {
    EXPECT_EQ(socketErrorMessage(10057, "Send"), "Error 10057 in function Send\r\nSocket is not connected");
    EXPECT_EQ(socketErrorMessage(10054, "TryToSend failed"),
              "Error 10054 in function TryToSend failed\r\nConnection reset by peer");
}

// Every code of the table has its own text; others fall back.
TEST(SocketErrorMessage, DescriptionTableCoversTheStandardCodes) {
    EXPECT_STREQ(winsockErrorDesc(0), "No Error");
    std::vector<int> codes = {10004, 10009, 10013, 10014, 10022, 10024, 10091, 10092, 10093,
                              11001, 11002, 11003, 11004};
    for (int c = 10035; c <= 10071; ++c) codes.push_back(c);
    std::set<std::string> seen;
    for (int c : codes) {
        const std::string d = winsockErrorDesc(c);
        EXPECT_NE(d, "Not a WinSock error") << c;
        EXPECT_TRUE(seen.insert(d).second) << "duplicate text for " << c;
    }
    for (int c : {1, 10000, 10005, 10072, 10090, 10094, 11000, 11005, -1})
        EXPECT_STREQ(winsockErrorDesc(c), "Not a WinSock error") << c;
}

// Which send failures mean the socket is gone, and which reports close the handle.
TEST(SocketErrorCodes, GoneAndClosingCodes) {
    for (int c : {10054, 10038, 10057, 10022, 10053}) EXPECT_TRUE(sendErrorClosesSocket(c)) << c;
    for (int c : {10035, 10040, 10055, 0}) EXPECT_FALSE(sendErrorClosesSocket(c)) << c;
    EXPECT_TRUE(errorClosesHandle(10054));
    EXPECT_TRUE(errorClosesHandle(10057));
    EXPECT_FALSE(errorClosesHandle(10038));
}
