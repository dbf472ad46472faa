#include "files/output_target.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <optional>
#include <tuple>

namespace nyajkor::files {

namespace {

TargetRefusal refusal(TargetProblem problem, std::string folder = {}, int error = 0) {
    return {problem, std::move(folder), error};
}

// The folder part and the name part of a path; the folder of a bare name is ".".
std::pair<std::string, std::string> split(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return {".", path};
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

// Whether a file can be made, renamed or removed in `folder`; `st` is the folder's.
std::optional<TargetRefusal> folderProblem(const std::string& folder, struct stat& st) {
    if (::stat(folder.c_str(), &st) != 0) {
        if (errno == ENOENT) return refusal(TargetProblem::folderMissing, folder);
        return refusal(TargetProblem::systemError, folder, errno);
    }
    if (!S_ISDIR(st.st_mode)) return refusal(TargetProblem::folderMissing, folder);
    if (::access(folder.c_str(), W_OK | X_OK) != 0) return refusal(TargetProblem::folderNotWritable, folder);
    return std::nullopt;
}

std::variant<OutputTarget, TargetRefusal> standardOutput(const std::string& path) {
    OutputTarget t;
    t.kind = TargetKind::standardOutput;
    t.path = path;
    struct stat st;
    if (::fstat(STDOUT_FILENO, &st) == 0) {
        t.exists = true;
        t.device = st.st_dev;
        t.inode = st.st_ino;
        t.mode = st.st_mode;
    }
    return t;
}

// A file that exists: written through when it is a device or a pipe,
// replaced in the folder it really lies in when it is a regular file.
std::variant<OutputTarget, TargetRefusal> existing(const std::string& path, const struct stat& st) {
    if (S_ISDIR(st.st_mode)) return refusal(TargetProblem::isDirectory);
    const bool stream = S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode);
    if (!stream && !S_ISREG(st.st_mode)) return refusal(TargetProblem::unsupportedKind);
    // replacing a file one could not write would overrule its permissions
    if (::access(path.c_str(), W_OK) != 0) return refusal(TargetProblem::notWritable);
    OutputTarget t;
    t.kind = stream ? TargetKind::stream : TargetKind::regularFile;
    t.path = path;
    t.exists = true;
    t.device = st.st_dev;
    t.inode = st.st_ino;
    t.mode = st.st_mode;
    t.owner = st.st_uid;
    t.group = st.st_gid;
    if (stream) return t;
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    if (!real) return refusal(TargetProblem::systemError, {}, errno);
    std::tie(t.folder, t.name) = split(real.get());
    struct stat folder;
    if (auto problem = folderProblem(t.folder, folder)) return *problem;
    return t;
}

}  // namespace

std::variant<OutputTarget, TargetRefusal> examineTarget(const std::string& path) {
    if (path.empty()) return refusal(TargetProblem::emptyName);
    if (path == "-") return standardOutput(path);
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) return existing(path, st);
    if (errno != ENOENT) return refusal(TargetProblem::systemError, {}, errno);
    // writing through a link to nothing would make a file elsewhere, out of sight
    if (::lstat(path.c_str(), &st) == 0) return refusal(TargetProblem::danglingLink);
    if (path.back() == '/') return refusal(TargetProblem::folderName);

    OutputTarget t;
    t.path = path;
    std::tie(t.folder, t.name) = split(path);
    if (auto problem = folderProblem(t.folder, st)) return *problem;
    t.device = st.st_dev;
    t.inode = st.st_ino;
    return t;
}

bool sameFile(const OutputTarget& a, const OutputTarget& b) {
    if (a.kind == TargetKind::standardOutput && b.kind == TargetKind::standardOutput) return true;
    if (a.exists != b.exists || a.device != b.device || a.inode != b.inode) return false;
    return a.exists || a.name == b.name;
}

}  // namespace nyajkor::files
