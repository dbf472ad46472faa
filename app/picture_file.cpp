#include "app/picture_file.h"

#include <QDir>
#include <QImage>
#include <QSaveFile>
#include <stdexcept>

#include "surface/pixel_canvas.h"

namespace nyajkor::app {

namespace {

[[noreturn]] void fail(const QString& path, const QString& reason) {
    const QString message = QStringLiteral("A kép mentése nem sikerült: %1: %2")
                                .arg(QDir::toNativeSeparators(path), reason);
    throw std::runtime_error(message.toStdString());
}

}  // namespace

void savePicture(const PixelCanvas& canvas, const QString& path) {
    // A view that could not be set up has no pixels to save.
    if (canvas.width() == 0 || canvas.height() == 0) fail(path, QStringLiteral("a nézetnek nincs képe"));
    // The canvas stores Qt's 32-bit RGB layout, so the image wraps it as it is.
    const QImage image(reinterpret_cast<const uchar*>(canvas.bits()), canvas.width(), canvas.height(),
                       canvas.bytesPerLine(), QImage::Format_RGB32);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) fail(path, file.errorString());
    // (a file left uncommitted is discarded with its temporary)
    if (!image.save(&file, "PNG"))
        fail(path, file.error() != QFileDevice::NoError ? file.errorString()
                                                        : QStringLiteral("a PNG nem készült el"));
    if (!file.commit()) fail(path, file.errorString());
}

}  // namespace nyajkor::app
