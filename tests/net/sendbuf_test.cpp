// The send queue decides how bytes leave a datagram socket: one block, one datagram.
#include "net/sendbuf.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace velmora::net;

namespace {

// A send that takes everything and records each datagram.
struct RecordingSend {
    std::vector<std::string> datagrams;
    SendOutcome operator()(std::string_view bytes) {
        datagrams.emplace_back(bytes);
        return {static_cast<int>(bytes.size()), 0};
    }
};

}  // namespace

// A block never takes more than its size, so a datagram never exceeds it.
TEST(SendBufferBlock, WriteTakesOnlyWhatFits) {
    SendBufferBlock block(10);
    const std::string text = "0123456789abc";
    EXPECT_EQ(block.write(text.data(), 13), 10);
    EXPECT_EQ(block.write(text.data(), 1), 0);
    EXPECT_EQ(block.peek(), "0123456789");
}

// A size of 0 or less must still give a usable block of the default size.
TEST(SendBufferBlock, NonPositiveSizeMeansDefault) {
    for (int size : {0, -1, -1514}) {
        SendBufferBlock block(size);
        EXPECT_EQ(block.size(), kSendBlockSize) << size;
    }
}

// Partial removal leaves the rest to be sent; full removal empties the block for reuse.
TEST(SendBufferBlock, RemoveAdvancesAndRewindsWhenDrained) {
    SendBufferBlock block(8);
    block.write("abcdefgh", 8);
    block.remove(3);
    EXPECT_EQ(block.peek(), "defgh");
    block.remove(100);  // more than unread: clamps
    EXPECT_TRUE(block.empty());
    EXPECT_EQ(block.write("xyz", 3), 3) << "a drained block is filled from the start again";
    EXPECT_EQ(block.peek(), "xyz");
}

// Removing a negative count must not move the read position backwards.
TEST(SendBufferBlock, NegativeRemoveIsIgnored) {
    SendBufferBlock block(8);
    block.write("abcd", 4);
    block.remove(-2);
    EXPECT_EQ(block.peek(), "abcd");
}

// The datagram sizes a text of n bytes produces: full blocks, then the rest.
TEST(SendQueue, TextLeavesAsOneDatagramPerBlock) {
    struct Case {
        int length;
        std::vector<std::size_t> sizes;
    };
    const Case cases[] = {
        {1, {1}},
        {1514, {1514}},
        {1515, {1514, 1}},
        {2000, {1514, 486}},
        {3028, {1514, 1514}},
        {4000, {1514, 1514, 972}},
    };
    for (const Case& c : cases) {
        SendQueue queue;
        std::string text(static_cast<std::size_t>(c.length), 'q');
        for (int i = 0; i < c.length; ++i) text[static_cast<std::size_t>(i)] = static_cast<char>('a' + i % 26);
        queue.append(text.data(), c.length);
        RecordingSend send;
        std::vector<int> told;
        int failure = -1;
        EXPECT_EQ(queue.trySend(std::ref(send), [&](int n) { told.push_back(n); }, failure), SendStop::AllSent);
        EXPECT_EQ(failure, 0);
        std::vector<std::size_t> sizes;
        std::string joined;
        for (const auto& d : send.datagrams) {
            sizes.push_back(d.size());
            joined += d;
        }
        EXPECT_EQ(sizes, c.sizes) << c.length;
        EXPECT_EQ(joined, text) << "bytes leave in order, unchanged";
        ASSERT_EQ(told.size(), sizes.size());
        for (std::size_t i = 0; i < sizes.size(); ++i) EXPECT_EQ(static_cast<std::size_t>(told[i]), sizes[i]);
    }
}

// Bytes queued while an earlier send waits join the last block and leave in the same datagram.
TEST(SendQueue, BytesQueuedWhileWaitingJoinTheWaitingBlock) {
    SendQueue queue;
    queue.append("abc", 3);
    int failure = 0;
    auto wouldBlock = [](std::string_view) { return SendOutcome{0, 10035}; };
    EXPECT_EQ(queue.trySend(wouldBlock, nullptr, failure), SendStop::WaitWrite);
    queue.append("def", 3);
    RecordingSend send;
    EXPECT_EQ(queue.trySend(std::ref(send), nullptr, failure), SendStop::AllSent);
    EXPECT_EQ(send.datagrams, std::vector<std::string>{"abcdef"});
}

// A send that takes only part of a block stops and resumes with the rest.
TEST(SendQueue, ShortSendWaitsThenSendsTheRest) {
    SendQueue queue;
    queue.append("abcdef", 6);
    int failure = 0;
    auto half = [](std::string_view b) { return SendOutcome{static_cast<int>(b.size() / 2), 0}; };
    EXPECT_EQ(queue.trySend(half, nullptr, failure), SendStop::WaitWrite);
    RecordingSend send;
    EXPECT_EQ(queue.trySend(std::ref(send), nullptr, failure), SendStop::AllSent);
    EXPECT_EQ(send.datagrams, std::vector<std::string>{"def"});
}

// A failing send reports its code and keeps the bytes queued.
TEST(SendQueue, FailureReportsTheCode) {
    SendQueue queue;
    queue.append("abc", 3);
    int failure = 0;
    auto refused = [](std::string_view) { return SendOutcome{0, 10054}; };
    EXPECT_EQ(queue.trySend(refused, nullptr, failure), SendStop::Failed);
    EXPECT_EQ(failure, 10054);
    EXPECT_FALSE(queue.empty());
}

// The sent-count handler may close the socket and clear the queue mid-send.
TEST(SendQueue, HandlerClearingTheQueueEndsTheSend) {
    SendQueue queue;
    std::string text(3000, 'x');
    queue.append(text.data(), 3000);
    RecordingSend send;
    int failure = 0;
    EXPECT_EQ(queue.trySend(std::ref(send), [&](int) { queue.clear(); }, failure), SendStop::AllSent);
    EXPECT_EQ(send.datagrams.size(), 1u);
    EXPECT_TRUE(queue.empty());
}

// Nothing to send is a finished send, and nothing is called.
TEST(SendQueue, EmptyQueueSendsNothing) {
    SendQueue queue;
    int calls = 0;
    int failure = 0;
    EXPECT_EQ(queue.trySend([&](std::string_view) { ++calls; return SendOutcome{}; }, nullptr, failure),
              SendStop::AllSent);
    queue.append("", 0);
    EXPECT_EQ(queue.blockCount(), 0u);
    EXPECT_EQ(calls, 0);
}
