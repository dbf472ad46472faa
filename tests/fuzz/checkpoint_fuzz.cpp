// Checkpoints as a file from someone else may hold them: the checksum is
// made to match whatever the bytes are, as anyone can, so that the reader's
// checks of every word are what is tried. A state it accepts must then
// tick and draw without a fault.
#include <memory>

#include "model/checkpoint.h"
#include "model/simulation.h"
#include "model/workers.h"
#include "render/frame.h"
#include "render/view.h"
#include "render/view_host.h"
#include "surface/pixel_canvas.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/model/forged_checkpoint.h"

namespace {

using namespace nyajkor;

class SmallHost : public ViewHost {
public:
    int width() const override { return canvas_.width(); }
    int height() const override { return canvas_.height(); }
    Canvas* canvas() override { return &canvas_; }
    void flip() override {}

private:
    PixelCanvas canvas_{160, 100};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto flock = std::make_unique<Flock>();
    static Workers one(1);
    ViewSettings settings;
    Inputs in;
    long ticks = 0;
    try {
        restoreCheckpoint(testing::withMatchingChecksum(std::string(reinterpret_cast<const char*>(data), size)), *flock,
                          settings, in, ticks);
    } catch (const CheckpointError&) {
        return 0;
    }
    setBoxConstants(*flock);
    tick(*flock, in, {NeighbourSearch::columns, &one});
    View view;
    applyViewSettings(view, settings);
    SmallHost host;
    rajzolasvezerlo(*flock, in, view, host);
    return 0;
}
