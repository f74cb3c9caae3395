#include "net/sendbuf.h"

#include <algorithm>
#include <cstring>

namespace velmora::net {

SendBufferBlock::SendBufferBlock(int size)
    : size_(size <= 0 ? kSendBlockSize : size) {
    data_ = std::make_unique<char[]>(static_cast<std::size_t>(size_));
}

int SendBufferBlock::write(const char* data, int length) {
    const int room = size_ - writeCount_;
    const int count = std::clamp(length, 0, room);
    if (count > 0) std::memcpy(data_.get() + writeCount_, data, static_cast<std::size_t>(count));
    writeCount_ += count;
    return count;
}

std::string_view SendBufferBlock::peek() const {
    return {data_.get() + readCount_, static_cast<std::size_t>(writeCount_ - readCount_)};
}

void SendBufferBlock::remove(int count) {
    readCount_ += std::clamp(count, 0, writeCount_ - readCount_);
    if (readCount_ == writeCount_) readCount_ = writeCount_ = 0;
}

void SendQueue::append(const char* data, int length) {
    while (length > 0) {
        if (blocks_.empty()) blocks_.push_back(std::make_unique<SendBufferBlock>(blockSize_));
        const int written = blocks_.back()->write(data, length);
        if (written == 0) {
            // The last block is full: start a new one.
            blocks_.push_back(std::make_unique<SendBufferBlock>(blockSize_));
            continue;
        }
        data += written;
        length -= written;
    }
}

bool SendQueue::empty() const {
    return std::all_of(blocks_.begin(), blocks_.end(), [](const auto& b) { return b->empty(); });
}

SendStop SendQueue::trySend(const std::function<SendOutcome(std::string_view)>& send,
                            const std::function<void(int)>& sent, int& failure) {
    failure = 0;
    while (!blocks_.empty()) {
        SendBufferBlock& block = *blocks_.front();
        const std::string_view unread = block.peek();
        if (unread.empty()) {
            if (blocks_.size() == 1) return SendStop::AllSent;
            blocks_.pop_front();
            continue;
        }
        const SendOutcome outcome = send(unread);
        if (outcome.error != 0) {
            failure = outcome.error;
            return outcome.error == 10035 ? SendStop::WaitWrite : SendStop::Failed;
        }
        const bool shortSend = outcome.sent < static_cast<int>(unread.size());
        if (outcome.sent > 0) {
            // Remove before telling: the handler may queue more, or close and
            // empty the queue, and the block must not be touched after that.
            block.remove(outcome.sent);
            if (sent) sent(outcome.sent);
        }
        if (shortSend) return SendStop::WaitWrite;
    }
    return SendStop::AllSent;
}

}  // namespace velmora::net
