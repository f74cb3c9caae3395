// Icons at changing sizes: a window moved to a screen of another density asks
// for its pictures again, and must get them at the new size.
#include <gtest/gtest.h>

#include "resources/resource.h"
#include "ui/handles_win.h"
#include "ui/iconimage_win.h"

using namespace velmora;

namespace {
// The width of an icon's pictures in pixels.
int iconwidth(HICON icon) {
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) return 0;
    BITMAP bitmap{};
    GetObjectA(info.hbmMask, sizeof bitmap, &bitmap);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return bitmap.bmWidth;
}
}  // namespace

// Asked again and again at other sizes, in both orders, each icon comes at
// the size asked for and is the caller's to destroy.
TEST(IconImage, EveryLoadComesAtTheSizeAskedForAndIsOwned) {
    const struct {
        HINSTANCE instance;
        WORD id;
        const char* what;
    } sources[] = {
        {GetModuleHandleA(nullptr), IDI_VELMORA, "the program's icon"},
        {nullptr, 32512, "the system's application icon"},
        {nullptr, 32516, "the system's information icon"},
    };
    for (const auto& source : sources) {
        for (const int size : {16, 32, 24, 48, 16, 20}) {
            const HICON icon = loadOwnedIcon(source.instance, source.id, size);
            ASSERT_NE(icon, nullptr) << source.what << " at " << size;
            EXPECT_EQ(iconwidth(icon), size) << source.what;
            EXPECT_TRUE(DestroyIcon(icon)) << source.what << ": the caller's own icon";
        }
    }
}
