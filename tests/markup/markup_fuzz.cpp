// libFuzzer target: DrawMarkup in draw and hit-test mode on any text in any
// box (negative, empty, huge), with an image list, system icons and bitmaps.
// The first ten bytes choose the box, the point and the image list.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/error.h"
#include "markup/markup.h"
#include "tests/markup/fake_surface.h"

namespace {
std::int16_t take16(const std::uint8_t*& data, size_t& size) {
    std::int16_t v = 0;
    if (size >= 2) {
        v = static_cast<std::int16_t>(data[0] | (data[1] << 8));
        data += 2;
        size -= 2;
    }
    return v;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    using namespace velmora;
    const int left = take16(data, size) % 300;
    const int top = take16(data, size) % 300;
    const int width = take16(data, size);
    const int height = take16(data, size);
    const MarkupRect box{left, top, left + width, top + height};
    const std::int16_t pointBits = take16(data, size);
    const MarkupPoint point{left + (pointBits & 0xFF), top + ((pointBits >> 8) & 0xFF)};
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    test::FakeImageList list(3, 16, 16);
    const MarkupImageList* images = (pointBits & 1) ? &list : nullptr;
    for (MarkupMode mode : {MarkupMode::Draw, MarkupMode::HitTest}) {
        test::FakeSurface surface;
        surface.bitmaps["C:\\a.bmp"] = {20, 10};
        surface.badBitmaps.insert("C:\\bad.bmp");
        try {
            const MarkupResult r = DrawMarkup(surface, text, box, images, mode, point, 0xFF0000);
            if (r.height < 0) __builtin_trap();
        } catch (const Error&) {
            // A bad size or image number abandons the call: that is its contract.
        }
    }
    return 0;
}
