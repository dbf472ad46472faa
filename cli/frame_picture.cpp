#include "cli/frame_picture.h"

#include <QBuffer>
#include <QImage>

#include <stdexcept>
#include <string>

#include "render/camera.h"
#include "render/frame.h"
#include "render/view_host.h"
#include "surface/pixel_canvas.h"

namespace nyajkor::batch {

namespace {

// The view's surface, without a window to hold or to present to.
class PictureHost : public ViewHost {
public:
    PictureHost(int width, int height) : canvas_(width, height) {}
    int width() const override { return canvas_.width(); }
    int height() const override { return canvas_.height(); }
    Canvas* canvas() override { return &canvas_; }
    void flip() override {}
    const PixelCanvas& pixels() const { return canvas_; }

private:
    PixelCanvas canvas_;
};

}  // namespace

void writeFramePicture(Flock& f, const Inputs& in, int width, int height, std::ostream& out) {
    PictureHost host(width, height);
    View view;
    rajzolasvezerlo(f, in, view, host);

    // The canvas stores Qt's 32-bit RGB layout, so the image wraps it as it is.
    const PixelCanvas& canvas = host.pixels();
    const QImage image(reinterpret_cast<const uchar*>(canvas.bits()), canvas.width(), canvas.height(),
                       canvas.bytesPerLine(), QImage::Format_RGB32);
    writePng(image, "frame", out);
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
