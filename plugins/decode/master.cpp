#include "plugins/decode/master.h"

namespace velmora::plugins {

namespace {

// A datagram read front to back; every read first asks whether that many
// bytes remain.
class Cursor {
public:
    Cursor(const char* data, int length) : data_(data), left_(length > 0 ? length : 0) {}
    int left() const { return left_; }
    // Steps over `text` when the datagram goes on with exactly it.
    bool take(const char* text, int size) {
        if (left_ < size) return false;
        for (int i = 0; i < size; ++i)
            if (data_[i] != text[i]) return false;
        skip(size);
        return true;
    }
    bool takeByte(char c) { return take(&c, 1); }
    void skip(int size) {
        data_ += size;
        left_ -= size;
    }
    // Six bytes as an entry, when six remain.
    bool entry(MasterAddress& out) {
        if (left_ < 6) return false;
        const auto* b = reinterpret_cast<const unsigned char*>(data_);
        for (int i = 0; i < 4; ++i) out.ip[i] = b[i];
        out.port = static_cast<unsigned short>(b[4] << 8 | b[5]);
        skip(6);
        return true;
    }

private:
    const char* data_;
    int left_;
};

const char kPrefix[] = "\xFF\xFF\xFF\xFF";

// Entries packed one after another until fewer than six bytes remain.
int packedEntries(Cursor& in, MasterAddress* out, int max) {
    int count = 0;
    MasterAddress a{};
    while (count < max && in.entry(a)) out[count++] = a;
    return count;
}

}  // namespace

int decodeMasterReply(MasterProtocol protocol, const char* reply, int length, MasterAddress* out, int max,
                      int* last) {
    if (last) *last = 0;
    if (!reply || max < 0) return -1;
    if (!out) max = 0;
    Cursor in(reply, length);
    switch (protocol) {
        case MasterProtocol::QuakeWorld: {
            in.take(kPrefix, 4);  // some masters leave it out
            if (!in.take("d\n", 2)) return -1;
            if (last) *last = 1;
            return packedEntries(in, out, max);
        }
        case MasterProtocol::Quake2: {
            if (!in.take(kPrefix, 4) || !in.take("servers", 7)) return -1;
            // One separator byte, a blank or a line end as masters differ.
            if (in.left() > 0) in.skip(1);
            if (last) *last = 1;
            return packedEntries(in, out, max);
        }
        case MasterProtocol::Quake3: {
            if (!in.take(kPrefix, 4) || !in.take("getserversResponse", 18)) return -1;
            int count = 0;
            while (in.takeByte('\\')) {
                // The end marker looks like an entry ("EOT" and three zeros
                // would read as 69.79.84.0 port 0): it is looked for first.
                if (in.take("EOT\0\0\0", 6)) {
                    if (last) *last = 1;
                    break;
                }
                MasterAddress a{};
                if (!in.entry(a)) break;  // a short last entry is left
                if (count < max) out[count++] = a;
            }
            return count;
        }
    }
    return -1;
}

void formatMasterAddress(const MasterAddress& address, char* text) {
    char* p = text;
    const auto number = [&p](unsigned value) {
        char digits[5];
        int n = 0;
        do {
            digits[n++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value);
        while (n) *p++ = digits[--n];
    };
    for (int i = 0; i < 4; ++i) {
        number(address.ip[i]);
        *p++ = i < 3 ? '.' : ':';
    }
    number(address.port);
    *p = 0;
}

}  // namespace velmora::plugins
