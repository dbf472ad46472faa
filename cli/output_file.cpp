#include "cli/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "cli/batch_options.h"

namespace nyajkor::batch {

OutputFile::OutputFile(const std::string& flag, const std::string& path, std::ostream& standardOutput)
    : flag_(flag), path_(path), stream_(&standardOutput) {
    if (path == "-") return;
    // A fresh name beside the target keeps the final rename on one file
    // system; O_EXCL never reuses someone else's file, and mode 0666 under
    // the umask gives the permissions any new file would get.
    static std::atomic<int> counter{0};
    temporary_ = path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    const int fd = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        throw UsageError("--" + flag + ": cannot write '" + path + "': " + std::strerror(errno));
    ::close(fd);
    pending_ = true;
    owned_ = std::make_unique<std::ofstream>(temporary_, std::ios::binary | std::ios::trunc);
    stream_ = owned_.get();
}

OutputFile::~OutputFile() { discard(); }

void OutputFile::commit() {
    stream_->flush();
    if (owned_) owned_->close();
    if (!*stream_) throw std::runtime_error("--" + flag_ + ": writing '" + path_ + "' failed");
    if (!pending_) return;
    if (std::rename(temporary_.c_str(), path_.c_str()) != 0)
        throw std::runtime_error("--" + flag_ + ": cannot write '" + path_ + "': " + std::strerror(errno));
    pending_ = false;
}

void OutputFile::discard() {
    if (!pending_) return;
    owned_.reset();
    std::remove(temporary_.c_str());
    pending_ = false;
}

}  // namespace nyajkor::batch
