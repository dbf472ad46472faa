#include "app/picture_file.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <sys/statvfs.h>

#include <cerrno>

#include <stdexcept>

#include "app/system_reason.h"
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
    const std::unique_ptr<files::WholeFile> file = openWhole(failure, path);
    commitWhole(failure, path, *file, data, size);
}

std::unique_ptr<files::WholeFile> openWhole(const QString& failure, const QString& path, std::uint64_t room) {
    auto examined = files::examineTarget(QFile::encodeName(path).toStdString());
    if (const auto* refused = std::get_if<files::TargetRefusal>(&examined)) fail(failure, path, reasonOf(*refused));
    const files::OutputTarget& target = std::get<files::OutputTarget>(examined);
    // a device or pipe is written through and takes what comes
    if (room > 0 && target.kind != files::TargetKind::stream && freeBytes(target.folder) < room)
        fail(failure, path, systemReason(ENOSPC));
    auto file = std::make_unique<files::WholeFile>(target);
    if (const int error = file->open()) fail(failure, path, systemReason(error));
    return file;
}

void commitWhole(const QString& failure, const QString& path, files::WholeFile& file, const char* data,
                 std::size_t size) {
    file.write(data, size);
    // (a file left uncommitted is discarded with its temporary)
    if (const int error = file.commit()) fail(failure, path, systemReason(error));
}

std::uint64_t freeBytes(const std::string& folder) {
    struct statvfs st {};
    if (::statvfs(folder.c_str(), &st) != 0) return UINT64_MAX;  // unknown: the writing will tell
    return std::uint64_t(st.f_bavail) * st.f_frsize;
}

}  // namespace nyajkor::app
