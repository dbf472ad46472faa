#include "app/picture_file.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <cstring>
#include <stdexcept>

#include "files/whole_file.h"
#include "surface/canvas_image.h"

namespace nyajkor::app {

namespace {

using files::TargetProblem;

const QString kPictureFailure = QStringLiteral("A kép mentése nem sikerült");

[[noreturn]] void fail(const QString& failure, const QString& path, const QString& reason) {
    const QString message = QStringLiteral("%1: %2: %3").arg(failure, QDir::toNativeSeparators(path), reason);
    throw std::runtime_error(message.toStdString());
}

QString systemReason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

QString reasonOf(const files::TargetRefusal& r) {
    switch (r.problem) {
        case TargetProblem::emptyName: return QStringLiteral("nincs megadva fájlnév");
        case TargetProblem::folderName: return QStringLiteral("ez egy mappa neve");
        case TargetProblem::isDirectory: return QStringLiteral("ez egy mappa");
        case TargetProblem::danglingLink: return QStringLiteral("nem létező fájlra mutató szimbolikus link");
        case TargetProblem::notWritable: return QStringLiteral("a fájl nem írható");
        case TargetProblem::folderMissing: return QStringLiteral("a mappa nem létezik");
        case TargetProblem::folderNotWritable: return QStringLiteral("a mappába nem lehet írni");
        case TargetProblem::unsupportedKind: return QStringLiteral("ide nem lehet fájlt írni");
        case TargetProblem::systemError: break;
    }
    return systemReason(r.error);
}

QByteArray pngOf(const QString& path, const QImage& image) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) fail(kPictureFailure, path, QStringLiteral("a PNG nem készült el"));
    return png;
}

}  // namespace

void savePicture(const PixelCanvas& canvas, const QString& path) {
    // A view that could not be set up has no pixels to save.
    if (canvas.width() == 0 || canvas.height() == 0)
        fail(kPictureFailure, path, QStringLiteral("a nézetnek nincs képe"));
    const QByteArray png = pngOf(path, imageOf(canvas));
    saveWhole(kPictureFailure, path, png.constData(), static_cast<std::size_t>(png.size()));
}

void saveWhole(const QString& failure, const QString& path, const char* data, std::size_t size) {
    auto examined = files::examineTarget(QFile::encodeName(path).toStdString());
    if (const auto* refused = std::get_if<files::TargetRefusal>(&examined)) fail(failure, path, reasonOf(*refused));
    files::WholeFile file(std::get<files::OutputTarget>(examined));
    if (const int error = file.open()) fail(failure, path, systemReason(error));
    file.write(data, size);
    // (a file left uncommitted is discarded with its temporary)
    if (const int error = file.commit()) fail(failure, path, systemReason(error));
}

}  // namespace nyajkor::app
