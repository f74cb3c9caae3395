// The socket's send queue: a list of fixed-size blocks. On a datagram socket
// each block leaves as one datagram, so the block size caps the datagram size.
#pragma once
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <string_view>

namespace velmora::net {

constexpr int kSendBlockSize = 1514;

class SendBufferBlock {
public:
    // A size of 0 or less gives the default block size.
    explicit SendBufferBlock(int size = kSendBlockSize);

    int size() const { return size_; }
    // Appends as many bytes as fit; returns how many that was.
    int write(const char* data, int length);
    // The unread part of the block and its length.
    std::string_view peek() const;
    // Advances past at most the unread length; when everything written has
    // been read, both counts return to 0 so the block can be filled again.
    void remove(int count);
    bool empty() const { return readCount_ == writeCount_; }

private:
    std::unique_ptr<char[]> data_;
    int size_;
    int writeCount_ = 0;
    int readCount_ = 0;
};

// What the low-level send reports back to the queue.
struct SendOutcome {
    int sent = 0;    // bytes sent, when error is 0
    int error = 0;   // the Windows Sockets error code, 0 on success
};

// Why trySend stopped.
enum class SendStop {
    AllSent,      // the queue is empty
    WaitWrite,    // the send took fewer bytes or would block: wait for the write notification
    Failed,       // the send failed with another error (in SendOutcome::error)
};

class SendQueue {
public:
    explicit SendQueue(int blockSize = kSendBlockSize) : blockSize_(blockSize <= 0 ? kSendBlockSize : blockSize) {}

    int blockSize() const { return blockSize_; }
    // Appends to the last block, adding blocks as needed.
    void append(const char* data, int length);
    void clear() { blocks_.clear(); }
    bool empty() const;
    std::size_t blockCount() const { return blocks_.size(); }

    // Sends block after block until the queue is empty or a send stops short.
    // `send` gets the unread part of the first block (one datagram on a
    // datagram socket); `sent` is told every count above 0 that went out.
    // On Failed, `failure` holds the error code.
    SendStop trySend(const std::function<SendOutcome(std::string_view)>& send,
                     const std::function<void(int)>& sent, int& failure);

private:
    int blockSize_;
    std::deque<std::unique_ptr<SendBufferBlock>> blocks_;
};

}  // namespace velmora::net
