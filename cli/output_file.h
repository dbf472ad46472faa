// An output file that is written whole or not at all.
//
// The text goes to a temporary file beside the target, which replaces the
// target only on commit(); a run that fails or is interrupted removes it and
// leaves any existing file untouched. "-" stands for standard output, which
// is written as the text comes.
#pragma once

#include <fstream>
#include <memory>
#include <ostream>
#include <string>

namespace nyajkor::batch {

class OutputFile {
public:
    // Creates the temporary file at once, so an unwritable place is found
    // before any work; throws UsageError naming `flag` when it cannot.
    OutputFile(const std::string& flag, const std::string& path, std::ostream& standardOutput);
    ~OutputFile();  // removes the temporary file unless committed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    std::ostream& stream() { return *stream_; }
    const std::string& temporaryPath() const { return temporary_; }
    // Flushes and moves the text into place; throws std::runtime_error on failure.
    void commit();

private:
    void discard();

    std::string flag_, path_, temporary_;
    std::unique_ptr<std::ofstream> owned_;
    std::ostream* stream_;
    bool pending_ = false;
};

}  // namespace nyajkor::batch
