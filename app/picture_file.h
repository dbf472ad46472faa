// Saving the view as a PNG picture.
//
// The picture is the view's back surface as it is, which is the frame last
// shown: the pixels the user sees, at the view's own size, without the
// window around them. It is written as the runner writes its files
// (files/whole_file.h): to a temporary file beside the target that replaces
// it only once complete and on the disk, keeping its permissions, so a
// write that fails (a full disk, a folder that cannot be written) leaves an
// existing file as it was and no stray file behind; a link is followed to
// the file it names, and a device is written through, never replaced.
#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace nyajkor {
class PixelCanvas;
}
namespace nyajkor::files {
class WholeFile;
}

namespace nyajkor::app {

// Writes the canvas to `path` as PNG. Throws std::runtime_error with the
// message for the user ("A kép mentése nem sikerült: ...") when it cannot.
void savePicture(const PixelCanvas& canvas, const QString& path);

// Writes `size` bytes to `path` the same way; throws std::runtime_error
// with the message "<failure>: <path>: <reason>" when it cannot. The
// window's other files (saved states, movies) are written with it.
void saveWhole(const QString& failure, const QString& path, const char* data, std::size_t size);

// The two halves of saveWhole, for data that comes later: the target is
// checked, `room` bytes are required free beside it, and the temporary
// file is made at once, so a file that could not be written is refused
// before any work goes into it. Both throw as saveWhole does.
std::unique_ptr<files::WholeFile> openWhole(const QString& failure, const QString& path, std::uint64_t room = 0);
void commitWhole(const QString& failure, const QString& path, files::WholeFile& file, const char* data,
                 std::size_t size);

// The bytes an unprivileged user may still write in `folder`; the largest
// number when that cannot be found out.
std::uint64_t freeBytes(const std::string& folder);

}  // namespace nyajkor::app
