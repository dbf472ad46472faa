#include "files/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

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
    // a name left by an earlier process of the same number is passed over
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary_ = freshTemporaryName();
        // known to the handler before it exists, so that it never outlives a signal
        slot_ = claimSlot(folder_, temporary_);
        // mode 0666 under the umask: the permissions any new file gets
        file_ = ::openat(folder_, temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (file_ >= 0) return 0;
        error_ = errno;
        releaseSlot(slot_);
        temporary_.clear();
        if (error_ != EEXIST) break;
    }
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
    releaseSlot(slot_);
    if (folder_ >= 0) ::close(folder_);
    folder_ = -1;
}

}  // namespace nyajkor::files
