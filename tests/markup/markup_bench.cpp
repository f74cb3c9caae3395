// Prints the time of one DrawMarkup of the About window's text (217 x 161
// label, Verdana -9): on the fixed-metric fake surface, and under Windows also
// on the GDI surface of a memory device context. Not a test: it only reports.
#include <chrono>
#include <memory>
#include <cstdio>

#include "markup/labellayout.h"
#include "markup/markup.h"
#include "tests/markup/about_text.h"
#include "tests/markup/fake_surface.h"
#ifdef _WIN32
#include <windows.h>

#include "markup/gdisurface_win.h"
#endif

namespace {
using namespace velmora;
using Clock = std::chrono::steady_clock;

const MarkupRect kAboutBox{0, 0, 217, 161};

template <typename MakeSurface>
void measure(const char* name, MakeSurface&& make, MarkupMode mode, int rounds) {
    const std::string text = joinMarkupLines(test::kAboutLines);
    MarkupResult r;
    // One warm-up call, then the timed ones.
    {
        auto surface = make();
        r = DrawMarkup(*surface, text, kAboutBox, nullptr, mode, {100, 80}, 0xFF0000);
    }
    const auto start = Clock::now();
    for (int i = 0; i < rounds; ++i) {
        auto surface = make();
        r = DrawMarkup(*surface, text, kAboutBox, nullptr, mode, {100, 80}, 0xFF0000);
    }
    const double us = std::chrono::duration<double, std::micro>(Clock::now() - start).count() / rounds;
    std::printf("%-28s %-9s %9.2f us per call  (%d calls; %zu chars, text %d x %d px)\n", name,
                mode == MarkupMode::Draw ? "draw" : "hit-test", us, rounds, text.size(), r.width, r.height);
}
}  // namespace

int main() {
    for (MarkupMode mode : {MarkupMode::Draw, MarkupMode::HitTest})
        measure("fake surface", [] { return std::make_unique<test::FakeSurface>(); }, mode, 20000);
#ifdef _WIN32
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 217, 161);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    Font font;
    font.name = "Verdana";
    font.height = -9;
    for (MarkupMode mode : {MarkupMode::Draw, MarkupMode::HitTest})
        measure("GDI surface (memory DC)", [&] { return std::make_unique<GdiSurface>(memory, font, 0x8000000F); },
                mode, 500);
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
#endif
    return 0;
}
