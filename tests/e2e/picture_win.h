// Pictures of another process's windows for the end-to-end flow: waiting
// until a window shows a given picture, masking what varies from run to run,
// and the query window's expected picture drawn by the program's own window
// class in this process.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/main_win.h"
#include "query/loading_win.h"
#include "query/querytexts.h"
#include "tests/settings/settings_fixture_win.h"
#include "tests/support/screenshot_win.h"

namespace velmora::testing {

struct Picture {
    int width = 0, height = 0;
    std::vector<Bgr> pixels;
    bool operator==(const Picture& o) const {
        return width == o.width && height == o.height &&
               std::equal(pixels.begin(), pixels.end(), o.pixels.begin(), o.pixels.end(),
                          [](const Bgr& a, const Bgr& b) { return a.b == b.b && a.g == b.g && a.r == b.r; });
    }
};

// Masked places are painted one colour no window of the program uses.
constexpr Bgr kMaskColour{255, 0, 255};

inline Picture grab(HWND window, const std::vector<RECT>& masks) {
    RECT r{};
    GetClientRect(window, &r);
    Picture p{r.right, r.bottom, capture(window, r.right, r.bottom, "")};
    for (const RECT& m : masks)
        for (int y = std::max<LONG>(m.top, 0); y < std::min<LONG>(m.bottom, p.height); ++y)
            for (int x = std::max<LONG>(m.left, 0); x < std::min<LONG>(m.right, p.width); ++x)
                p.pixels[static_cast<size_t>(y) * p.width + x] = kMaskColour;
    return p;
}

// The smallest rectangle holding every pixel where two pictures of one size differ.
inline void growByDifference(RECT& box, const Picture& a, const Picture& b) {
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            const Bgr& p = a.pixels[static_cast<size_t>(y) * a.width + x];
            const Bgr& q = b.pixels[static_cast<size_t>(y) * a.width + x];
            if (p.b == q.b && p.g == q.g && p.r == q.r) continue;
            if (box.right <= box.left) {
                box = {x, y, x + 1, y + 1};
            } else {
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
        }
}

// The window's picture once it stopped changing (three equal grabs in a row).
inline Picture settled(HWND window, const std::vector<RECT>& masks) {
    Picture last = grab(window, masks);
    int same = 0;
    for (int i = 0; i < 200 && same < 3; ++i) {
        Sleep(50);
        Picture next = grab(window, masks);
        same = next == last ? same + 1 : 0;
        last = std::move(next);
    }
    return last;
}

// Waits until the window shows its committed picture (the program paints in
// its own time), then checks it; on a mismatch the picture and a difference
// image are left beside the test's output. VELMORA_UPDATE_GOLDEN=1 writes the
// settled picture as the reference.
inline void expectPicture(HWND window, const std::string& name, const std::vector<RECT>& masks) {
    const std::string shotPath = std::string(VELMORA_SHOT_DIR) + "\\" + name;
    const std::string goldenPath = std::string(VELMORA_GOLDEN_DIR) + "\\" + name;
    Picture want;
    const bool haveGolden = readBitmap(readFile(goldenPath), want.pixels, want.width, want.height);
    Picture got;
    if (haveGolden && !std::getenv("VELMORA_UPDATE_GOLDEN")) {
        for (DWORD waited = 0; waited < 10000; waited += 50) {
            got = grab(window, masks);
            if (got == want) break;
            Sleep(50);
        }
    } else {
        got = settled(window, masks);
    }
    writeBitmap(shotPath, got.pixels, got.width, got.height);
    expectGolden(shotPath, goldenPath);
}

// The query window as it must look once answered: Label2 with the address,
// the decoded texts and frame 8 of the hand, and where the ping and the port
// are drawn (masked: they vary from run to run).
struct ExpectedQuery {
    Picture picture;
    std::vector<RECT> masks;
};

inline ExpectedQuery expectedQuery(const std::string& address, const query::DecodedTexts& shown) {
    const std::string reply = "\xFF\xFF\xFF\xFF";  // a status reply: no error line
    Tmainform main;
    Tloadform window(main);
    window.started = true;  // drawn only: no query
    window.finished = true;
    window.hand.SetActive(false);
    window.hand.SetGlyphNum(query::kAnsweredFrame);
    const auto draw = [&](const std::string& label, int ping) {
        window.Label2.setText(label + "...");
        window.results.setMarkupText(query::resultstext(shown, reply, ping));
        UpdateWindow(window.handle());
        return grab(window.handle(), {});
    };
    window.show();
    pump();
    ExpectedQuery out;
    out.picture = draw(address, 0);
    RECT ping{}, port{};
    for (int p : {1, 9, 44, 388, 998}) growByDifference(ping, out.picture, draw(address, p));
    const std::string host = address.substr(0, address.find(':') + 1);
    for (const char* other : {"1", "65535", "88888", "11111"}) growByDifference(port, out.picture, draw(host + other, 0));
    window.hide();
    EXPECT_GT(ping.right - ping.left, 0) << "the ping is drawn";
    EXPECT_GT(port.right - port.left, 0) << "the port is drawn";
    out.masks = {ping, port};
    for (const RECT& m : out.masks)
        for (int y = m.top; y < m.bottom; ++y)
            for (int x = m.left; x < m.right; ++x)
                out.picture.pixels[static_cast<size_t>(y) * out.picture.width + x] = kMaskColour;
    return out;
}

// Waits until the query window of another process shows the expected picture
// above its player list (with the ping and the port masked); then, when `goldenName` is given, also
// checks the masked picture against the committed one.
inline void expectQueryShows(HWND window, const ExpectedQuery& expected, const std::string& goldenName) {
    Picture got;
    for (DWORD waited = 0; waited < 15000; waited += 50) {
        got = grab(window, expected.masks);
        // A player list grows the window below the part drawn here, which
        // stays the window without a list.
        if (got.height > expected.picture.height && got.width == expected.picture.width) {
            got.height = expected.picture.height;
            got.pixels.resize(static_cast<size_t>(got.width) * got.height);
        }
        if (got == expected.picture) break;
        Sleep(50);
    }
    const std::string name = goldenName.empty() ? "query-handed-over.bmp" : goldenName;
    const std::string shotPath = std::string(VELMORA_SHOT_DIR) + "\\" + name;
    writeBitmap(shotPath, got.pixels, got.width, got.height);
    if (!(got == expected.picture)) {
        std::string wantPath = shotPath, diffPath = shotPath;
        wantPath.insert(wantPath.size() - 4, "-EXPECTED");
        diffPath.insert(diffPath.size() - 4, "-DIFF");
        writeBitmap(wantPath, expected.picture.pixels, expected.picture.width, expected.picture.height);
        if (got.width == expected.picture.width && got.height == expected.picture.height)
            writeBitmap(diffPath, differenceImage(expected.picture.pixels, got.pixels), got.width, got.height);
        ADD_FAILURE() << "the query window does not show the server's decoded answer on frame "
                      << query::kAnsweredFrame << "; see " << shotPath << ", " << wantPath << " and " << diffPath;
        return;
    }
    if (!goldenName.empty()) expectGolden(shotPath, std::string(VELMORA_GOLDEN_DIR) + "\\" + goldenName);
}

}  // namespace velmora::testing
