// The page's flock: the model, the view and the rasteriser behind a few
// plain C functions that the page's worker calls.
//
// The page keeps the controls (positions, check marks, enabled states) and
// runs the handlers; this side keeps what the window's TForm1 keeps besides
// its widgets: the flock, the view's record, the ticks since Start, and the
// pixels of the last frame. Every function runs to completion before the
// next is called, as the window's handlers and ticks do.
//
// The controls come in as one array of whole numbers: the positions in the
// order of the control table (model/controls.h), then the check marks the
// model reads in the order of the menu table (model/window_layout.h), 1 for
// checked. The page's tables are generated from the same two tables, so the
// two sides agree on that order.

#include <emscripten/emscripten.h>

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "model/captions.h"
#include "model/checkpoint.h"
#include "model/controls.h"
#include "model/simulation.h"
#include "model/window_layout.h"
#include "model/workers.h"
#include "render/frame.h"
#include "render/view.h"
#include "render/view_host.h"
#include "surface/pixel_canvas.h"

namespace nyajkor::page {
namespace {

using layout::kViewHeight;
using layout::kViewWidth;

// The view drawn into memory; the page copies the pixels to its canvas.
class Host : public ViewHost {
public:
    int width() const override { return canvas_.width(); }
    int height() const override { return canvas_.height(); }
    Canvas* canvas() override { return &canvas_; }
    void flip() override {}  // the worker hands the pixels over after each frame
    const PixelCanvas& pixels() const { return canvas_; }

private:
    PixelCanvas canvas_{kViewWidth, kViewHeight};
};

struct Engine {
    std::unique_ptr<Flock> flock = std::make_unique<Flock>();
    View view;
    Inputs inputs;
    TickCount ticks = 0;
    Host host;
    std::vector<std::uint8_t> rgba = std::vector<std::uint8_t>(std::size_t{4} * kViewWidth * kViewHeight);
    std::string text;  // the last text or bytes handed out
};

Engine& engine() {
    static Engine* e = [] {
        Workers::configureShared(1);  // no threads in the page: one worker does every part
        auto* made = new Engine;
        setBoxConstants(*made->flock);
        return made;
    }();
    return *e;
}

constexpr int kMarkCount = [] {
    int n = 0;
    for (const layout::MenuRow& row : layout::kMenus) n += row.mark != nullptr;
    return n;
}();
constexpr int kInputCount = static_cast<int>(std::size(kControls)) + kMarkCount;

void readInputs(const std::int32_t* values, Inputs& in) {
    int k = 0;
    for (const Control& c : kControls) in.*c.position = values[k++];
    for (const layout::MenuRow& row : layout::kMenus)
        if (row.mark) in.*row.mark = values[k++] != 0;
}

void writeInputs(const Inputs& in, std::int32_t* values) {
    int k = 0;
    for (const Control& c : kControls) values[k++] = in.*c.position;
    for (const layout::MenuRow& row : layout::kMenus)
        if (row.mark) values[k++] = in.*row.mark ? 1 : 0;
}

// The frame's pixels as the page's canvas takes them: R, G, B, A bytes.
void copyPixels(Engine& e) { e.host.pixels().copyAsRgba(e.rgba.data()); }

}  // namespace
}  // namespace nyajkor::page

using namespace nyajkor;
using page::engine;

extern "C" {

EMSCRIPTEN_KEEPALIVE int nyk_input_count() { return page::kInputCount; }
EMSCRIPTEN_KEEPALIVE int nyk_view_width() { return page::kViewWidth; }
EMSCRIPTEN_KEEPALIVE int nyk_view_height() { return page::kViewHeight; }

// The controls as the next tick or frame reads them.
EMSCRIPTEN_KEEPALIVE void nyk_set_inputs(const std::int32_t* values) { page::readInputs(values, engine().inputs); }
// The controls a restored state brought, in the same layout.
EMSCRIPTEN_KEEPALIVE void nyk_get_inputs(std::int32_t* values) { page::writeInputs(engine().inputs, values); }

// Start: the view's and the model's defaults, then a seeded flock.
EMSCRIPTEN_KEEPALIVE void nyk_start(std::uint32_t seed) {
    auto& e = engine();
    setViewDefaults(e.view);
    start(*e.flock, e.inputs, seed);
    e.ticks = 0;
    torles(e.view, e.host);
    page::copyPixels(e);
}

// Újraindít: a fresh flock, the modes, predators and centre kept.
EMSCRIPTEN_KEEPALIVE void nyk_restart(std::uint32_t seed) {
    auto& e = engine();
    restart(*e.flock, e.inputs, seed);
    e.ticks = 0;
    torles(e.view, e.host);
    page::copyPixels(e);
}

// One tick of the flock, and its frame.
EMSCRIPTEN_KEEPALIVE void nyk_tick() {
    auto& e = engine();
    tick(*e.flock, e.inputs);
    ++e.ticks;
    rajzolasvezerlo(*e.flock, e.inputs, e.view, e.host);
    page::copyPixels(e);
}

// A frame of the state as it is (after a turn, a zoom or a loaded state).
EMSCRIPTEN_KEEPALIVE void nyk_redraw() {
    auto& e = engine();
    rajzolasvezerlo(*e.flock, e.inputs, e.view, e.host);
    page::copyPixels(e);
}

EMSCRIPTEN_KEEPALIVE const std::uint8_t* nyk_pixels() { return engine().rgba.data(); }

// What the handlers read of the state.
EMSCRIPTEN_KEEPALIVE int nyk_individuals() { return engine().flock->egyeddb; }
EMSCRIPTEN_KEEPALIVE int nyk_predators() { return engine().flock->ragadozodb; }
EMSCRIPTEN_KEEPALIVE int nyk_strength() { return engine().flock->tavtartaserosseg; }
EMSCRIPTEN_KEEPALIVE double nyk_centre(int axis) {
    const Flock& f = *engine().flock;
    return axis == 0 ? f.vonzox : axis == 1 ? f.vonzoy : f.vonzoz;
}
EMSCRIPTEN_KEEPALIVE double nyk_ticks() { return static_cast<double>(engine().ticks); }
EMSCRIPTEN_KEEPALIVE int nyk_order_percent() { return engine().flock->rendszazalek; }
EMSCRIPTEN_KEEPALIVE double nyk_mean_neighbours() { return engine().flock->atlagszomszed; }

// The two statistics labels' texts, with the page's decimal separator.
EMSCRIPTEN_KEEPALIVE const char* nyk_order_caption() {
    auto& e = engine();
    e.text = orderPercentCaption(e.flock->rendszazalek);
    return e.text.c_str();
}
EMSCRIPTEN_KEEPALIVE const char* nyk_neighbours_caption(int decimalSeparator) {
    auto& e = engine();
    e.text = meanNeighboursCaption(e.flock->atlagszomszed, static_cast<char>(decimalSeparator));
    return e.text.c_str();
}

// What the handlers change of the state.
EMSCRIPTEN_KEEPALIVE void nyk_set_strength(int strength) { engine().flock->tavtartaserosseg = strength; }
EMSCRIPTEN_KEEPALIVE void nyk_set_centre(int axis, double at) {
    Flock& f = *engine().flock;
    (axis == 0 ? f.vonzox : axis == 1 ? f.vonzoy : f.vonzoz) = at;
}
EMSCRIPTEN_KEEPALIVE void nyk_centre_to_middle() {
    Flock& f = *engine().flock;
    f.vonzox = f.xkozep;
    f.vonzoy = f.xkozep;
    f.vonzoz = f.zkozep;
}
EMSCRIPTEN_KEEPALIVE int nyk_add_predator() { return ujragadozo(*engine().flock) ? 1 : 0; }
EMSCRIPTEN_KEEPALIVE void nyk_delete_predators() { ragadozotorles(*engine().flock); }
EMSCRIPTEN_KEEPALIVE void nyk_set_zoom(int position) { engine().view.nagyitasszorzo = position / 10.0; }

// Colours, 0x00BBGGRR, by the name of their menu item.
EMSCRIPTEN_KEEPALIVE int nyk_set_colour(const char* item, std::uint32_t colour) {
    View& v = engine().view;
    const std::string name = item;
    Color* target = name == "reszecskeszin" ? &v.szinegyed
                    : name == "hatterszin"  ? &v.szinhatter
                    : name == "kockaszin"   ? &v.szinkocka
                    : name == "vonzoszin"   ? &v.szinvonzo
                    : name == "ragadozoszin" ? &v.szinragadozo
                    : name == "balszem"     ? &v.szinbalszem
                    : name == "jobbszem"    ? &v.szinjobbszem
                                            : nullptr;
    if (!target) return 0;
    *target = colour & 0x00FFFFFFu;
    return 1;
}

// The whole state as the bytes of a checkpoint file; nyk_text_size() says
// how many.
EMSCRIPTEN_KEEPALIVE const char* nyk_checkpoint() {
    auto& e = engine();
    e.text = checkpointBytes(*e.flock, viewSettingsOf(e.view), e.inputs, e.ticks);
    return e.text.data();
}
// The most bytes of a file worth handing to nyk_restore: one more is too long.
EMSCRIPTEN_KEEPALIVE int nyk_largest_state() { return static_cast<int>(largestCheckpointSize()); }
EMSCRIPTEN_KEEPALIVE int nyk_text_size() { return static_cast<int>(engine().text.size()); }

// The state from a checkpoint file's bytes. Returns "" when it was taken,
// else the reason in the window's words, with everything as it was.
EMSCRIPTEN_KEEPALIVE const char* nyk_restore(const char* bytes, int size) {
    auto& e = engine();
    try {
        ViewSettings settings;
        Inputs in;
        TickCount ticks = 0;
        restoreCheckpoint(std::string(bytes, static_cast<std::size_t>(size)), *e.flock, settings, in, ticks);
        applyViewSettings(e.view, settings);
        e.inputs = in;
        e.ticks = ticks;
        e.text.clear();
    } catch (const CheckpointError& error) {
        e.text = layout::checkpointReason(error.problem());
    }
    return e.text.c_str();
}

}  // extern "C"
