// A file written whole or not at all.
//
// The data of a regular file, new or existing, goes to a temporary file
// with a short name beside it, so that a target name of any legal length
// works and the final rename stays on one file system. The temporary file
// takes the permissions (and, where allowed, the owner) of the file it
// replaces, or those the umask gives a new file; it is flushed to the disk
// before it is renamed over the target, so the target is at every moment
// either the old file or the whole new one. Anything that stops the work
// first (an error, an exception, a signal) removes the temporary file and
// leaves the target as it was. The temporary file is locked (flock) while
// it is written; one left unlocked by a writer that was killed outright is
// removed when the next file is begun in that folder.
//
// A character device or a FIFO is written through directly, as the data
// comes: it has no old contents to keep.
#pragma once

#include <cstddef>
#include <string>

#include "files/output_target.h"

namespace nyajkor::files {

class WholeFile {
public:
    // `target` is a new file, a regular file or a stream; nothing is opened yet.
    explicit WholeFile(OutputTarget target);
    ~WholeFile();  // discards what is not committed
    WholeFile(const WholeFile&) = delete;
    WholeFile& operator=(const WholeFile&) = delete;

    // Makes the temporary file or opens the stream; 0 or the errno of the failure.
    int open();
    // Appends; the first failure is kept and every later write skipped.
    void write(const char* data, std::size_t size);
    int error() const { return error_; }
    // Puts the data in place; 0 or the errno of the failure, which leaves
    // the target as it was. Nothing is left to discard either way.
    int commit();
    void discard();

    const OutputTarget& target() const { return target_; }
    // the temporary file's name in the target's folder; empty when there is none
    const std::string& temporaryName() const { return temporary_; }

private:
    int finishTemporary();

    OutputTarget target_;
    std::string temporary_;
    int folder_ = -1, file_ = -1, slot_ = -1;
    int held_ = -1;  // the temporary file's lock, kept until it is renamed or removed
    int error_ = 0;
};

// Removes every temporary file still open in this process. It only reads
// memory set aside beforehand and calls unlinkat, so a signal handler may
// call it before it ends the program.
void removeTemporaryFiles() noexcept;

}  // namespace nyajkor::files
