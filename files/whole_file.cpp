#include "files/whole_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <set>
#include <string>

namespace nyajkor::files {

namespace {

// The temporary files a signal handler must remove, in memory set aside
// before any signal can come: each slot holds the folder's descriptor
// (-1 free, -2 while being filled) and the file's name in that folder.
constexpr int kSlots = 16;
constexpr std::size_t kNameSize = 48;
struct Slot {
    std::atomic<int> folder{-1};
    char name[kNameSize];
};
Slot slots[kSlots];

// A file beyond the slots is still removed by its owner, only not by a handler.
int claimSlot(int folder, const std::string& name) {
    if (name.size() >= kNameSize) return -1;
    for (int k = 0; k < kSlots; ++k) {
        int free = -1;
        if (!slots[k].folder.compare_exchange_strong(free, -2)) continue;
        std::memcpy(slots[k].name, name.c_str(), name.size() + 1);
        slots[k].folder.store(folder);
        return k;
    }
    return -1;
}

void releaseSlot(int& k) {
    if (k >= 0) slots[k].folder.store(-1);
    k = -1;
}

// A name of its own in the target's folder: the process and a count make
// it unique, O_EXCL makes sure no file of someone else's is taken over.
std::string freshTemporaryName() {
    static std::atomic<unsigned> counter{0};
    return ".nyajkor-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
}

// Whether `name` is one freshTemporaryName gives.
bool temporaryName(const char* name) {
    auto digits = [&name] {
        const char* start = name;
        while (*name >= '0' && *name <= '9') ++name;
        return name > start;
    };
    constexpr char prefix[] = ".nyajkor-";
    if (std::strncmp(name, prefix, sizeof prefix - 1) != 0) return false;
    name += sizeof prefix - 1;
    if (!digits() || *name++ != '-' || !digits()) return false;
    return std::strcmp(name, ".tmp") == 0;
}

// Removes the temporary file `name` in `folder` when no writer holds it:
// a writer holds its file locked until it is renamed or removed, so one
// that can be locked was left by a writer that died (SIGKILL, the
// out-of-memory killer, a power cut). The lock, not the process number,
// tells: numbers are used again.
void removeIfStale(int folder, const char* name) {
    const int fd = ::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return;
    struct stat held, named;
    if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ::fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_ino == held.st_ino &&
        named.st_dev == held.st_dev)
        ::unlinkat(folder, name, 0);
    ::close(fd);
}

// Removes the stale temporary files in `folder` (named `name`), once a
// process, when the first file is begun there: a folder of many outputs
// (numbered pictures) is not read through for each. A writer makes and locks its file under a
// shared lock of the folder, and this runs under an exclusive one, so a
// file is never found between being made and being locked. Where the
// folder cannot be locked (some network file systems) nothing is removed.
void removeStaleTemporaryFiles(int folder, const std::string& name) {
    static std::mutex mutex;
    static std::set<std::string> cleaned;
    {
        const std::lock_guard lock(mutex);
        if (!cleaned.insert(name).second) return;
    }
    const int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) return;
    if (::flock(listing, LOCK_EX | LOCK_NB) != 0) {
        ::close(listing);
        return;
    }
    if (DIR* dir = ::fdopendir(listing)) {
        while (const dirent* e = ::readdir(dir))
            if (temporaryName(e->d_name)) removeIfStale(folder, e->d_name);
        ::closedir(dir);  // closes `listing`, and with it the lock
    } else {
        ::close(listing);
    }
}

}  // namespace

void removeTemporaryFiles() noexcept {
    for (Slot& slot : slots)
        if (const int folder = slot.folder.load(); folder >= 0) ::unlinkat(folder, slot.name, 0);
}

WholeFile::WholeFile(OutputTarget target) : target_(std::move(target)) {}

WholeFile::~WholeFile() { discard(); }

int WholeFile::open() {
    if (target_.kind == TargetKind::stream) {
        // a FIFO waits here for its reader, as it would for any writer
        file_ = ::open(target_.path.c_str(), O_WRONLY | O_CLOEXEC);
        if (file_ < 0) error_ = errno;
        return error_;
    }
    folder_ = ::open(target_.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder_ < 0) return error_ = errno;
    removeStaleTemporaryFiles(folder_, target_.folder);
    // made and locked under the folder's shared lock (see removeStaleTemporaryFiles)
    const bool folderLocked = ::flock(folder_, LOCK_SH) == 0;
    // a name left by an earlier process of the same number is passed over
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary_ = freshTemporaryName();
        // known to the handler before it exists, so that it never outlives a signal
        slot_ = claimSlot(folder_, temporary_);
        // mode 0666 under the umask: the permissions any new file gets
        file_ = ::openat(folder_, temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (file_ >= 0) {
            // held until the file is renamed or removed: the lock says its writer is alive
            ::flock(file_, LOCK_EX);
            held_ = ::dup(file_);
            error_ = 0;
            break;
        }
        error_ = errno;
        releaseSlot(slot_);
        temporary_.clear();
        if (error_ != EEXIST) break;
    }
    if (folderLocked) ::flock(folder_, LOCK_UN);
    return error_;
}

void WholeFile::write(const char* data, std::size_t size) {
    while (size > 0 && error_ == 0) {
        if (file_ < 0) {
            error_ = EBADF;
            return;
        }
        const ssize_t written = ::write(file_, data, size);
        if (written < 0) {
            if (errno != EINTR) error_ = errno;
            continue;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

int WholeFile::finishTemporary() {
    if (file_ < 0) return EBADF;
    if (target_.exists) {
        // the permission bits only: set-user-ID and the like are not for a data file
        if (::fchmod(file_, target_.mode & 0777) != 0) return errno;
        // only root may give a file away; anyone else keeps it as their own
        if (target_.owner != ::geteuid() || target_.group != ::getegid())
            if (::fchown(file_, target_.owner, target_.group) != 0) {
            }
    }
    if (::fsync(file_) != 0) return errno;
    const int closed = ::close(file_);
    file_ = -1;
    if (closed != 0) return errno;
    // still held (by held_) while it is renamed
    if (::renameat(folder_, temporary_.c_str(), folder_, target_.name.c_str()) != 0) return errno;
    return 0;
}

int WholeFile::commit() {
    if (target_.kind != TargetKind::stream && error_ == 0) error_ = finishTemporary();
    if (error_ == 0 && target_.kind != TargetKind::stream) {
        temporary_.clear();  // renamed: nothing of it left to remove
        // the new name on the disk too; the file is whole whatever becomes of this
        ::fsync(folder_);
    }
    discard();
    return error_;
}

void WholeFile::discard() {
    if (file_ >= 0) ::close(file_);
    file_ = -1;
    if (!temporary_.empty()) ::unlinkat(folder_, temporary_.c_str(), 0);
    temporary_.clear();
    if (held_ >= 0) ::close(held_);
    held_ = -1;
    releaseSlot(slot_);
    if (folder_ >= 0) ::close(folder_);
    folder_ = -1;
}

}  // namespace nyajkor::files
