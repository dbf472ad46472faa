#include "cli/frame_picture.h"

#include <QBuffer>
#include <QImage>

#include <stdexcept>
#include <string>

#include "render/frame.h"
#include "render/view_host.h"
#include "surface/canvas_image.h"

namespace nyajkor::batch {

// The view's surface, without a window to hold or to present to.
class FrameRenderer::Host : public ViewHost {
public:
    Host(int width, int height) : canvas_(width, height) {}
    int width() const override { return canvas_.width(); }
    int height() const override { return canvas_.height(); }
    Canvas* canvas() override { return &canvas_; }
    void flip() override {}
    const PixelCanvas& pixels() const { return canvas_; }

private:
    PixelCanvas canvas_;
};

FrameRenderer::FrameRenderer(int width, int height) : host_(std::make_unique<Host>(width, height)) {}

FrameRenderer::~FrameRenderer() = default;

const PixelCanvas& FrameRenderer::draw(const Flock& f, const Inputs& in, View& v) {
    rajzolasvezerlo(f, in, v, *host_);
    return host_->pixels();
}

void writeFramePicture(const Flock& f, const Inputs& in, View& v, int width, int height, std::ostream& out) {
    FrameRenderer renderer(width, height);
    writePng(renderer.draw(f, in, v), "frame", out);
}

void writePng(const PixelCanvas& canvas, const char* flag, std::ostream& out) {
    writePng(imageOf(canvas), flag, out);
}

void writePng(const QImage& image, const char* flag, std::ostream& out) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        throw std::runtime_error("--" + std::string(flag) + ": the picture could not be encoded");
    out.write(png.constData(), png.size());
}

}  // namespace nyajkor::batch
