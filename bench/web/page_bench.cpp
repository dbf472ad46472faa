// The browser's side of the web edition's benchmark: TickAndDraw behind the
// plain C functions bench.html calls.
#include <emscripten.h>

#include <memory>
#include <string>

#include "bench/web/tick_and_draw.h"
#include "model/checkpoint.h"

namespace {

std::unique_ptr<nyajkor::bench::TickAndDraw> scene;

}  // namespace

extern "C" {

// Starts from the checkpoint in bytes[0..size); 0 when it is refused.
EMSCRIPTEN_KEEPALIVE int benchLoad(const char* bytes, int size) {
    try {
        scene = std::make_unique<nyajkor::bench::TickAndDraw>(std::string(bytes, static_cast<std::size_t>(size)));
        return 1;
    } catch (const nyajkor::CheckpointError&) {
        return 0;
    }
}

EMSCRIPTEN_KEEPALIVE void benchRun(int ticks) { scene->run(ticks); }

EMSCRIPTEN_KEEPALIVE const std::uint8_t* benchPixels() { return scene->rgba(); }

EMSCRIPTEN_KEEPALIVE int benchWidth() { return nyajkor::bench::TickAndDraw::kWidth; }

EMSCRIPTEN_KEEPALIVE int benchHeight() { return nyajkor::bench::TickAndDraw::kHeight; }

EMSCRIPTEN_KEEPALIVE double benchMeanNeighbours() { return scene->meanNeighbours(); }

}
