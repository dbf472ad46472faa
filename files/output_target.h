// Where an output goes, found out before anything is written.
//
// A path names standard output ("-"), a regular file that exists (reached
// directly or through symbolic links) and is to be replaced whole, a file
// still to be made in an existing folder, or a character device or FIFO (a
// terminal, /dev/null, a named pipe), which is written through as the data
// comes, as cp and tee do, and never replaced. Examining a path touches
// nothing, so every output of a command can be checked, and two outputs
// found to be one file, before any work begins.
#pragma once

#include <sys/types.h>

#include <string>
#include <variant>

namespace nyajkor::files {

enum class TargetKind { standardOutput, newFile, regularFile, stream };

struct OutputTarget {
    TargetKind kind = TargetKind::newFile;
    std::string path;    // as given
    std::string folder;  // where a regular file is replaced or a new one made, links followed
    std::string name;    // its name in that folder
    // What the file is: the file itself when it exists; for a new file its
    // folder, which with `name` tells it apart.
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    // what exists: its kind and permissions, which a replaced file keeps with its owner
    mode_t mode = 0;
    uid_t owner = 0;
    gid_t group = 0;
};

// Why a path cannot be written.
enum class TargetProblem {
    emptyName,
    folderName,         // ends in '/': a folder, not a file
    isDirectory,
    danglingLink,       // a symbolic link to nothing
    notWritable,        // the file itself
    folderMissing,
    folderNotWritable,  // the file cannot be made or replaced in it
    unsupportedKind,    // a block device or a socket
    systemError,        // `error` says what (errno)
};

struct TargetRefusal {
    TargetProblem problem;
    std::string folder;  // for the problems of the folder
    int error = 0;       // for systemError
};

std::variant<OutputTarget, TargetRefusal> examineTarget(const std::string& path);

// Whether writing both would write one file: the same device and inode,
// or the same name in the same folder for files still to be made.
bool sameFile(const OutputTarget& a, const OutputTarget& b);

}  // namespace nyajkor::files
