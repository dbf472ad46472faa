// The runner's output files: every one checked before any work, each
// written whole or not at all.
//
// beginOutputs examines the paths of all the outputs of a command at once,
// so that a bad one, or two that are one file, stops the command before a
// file is begun, and then begins them all. An OutputFile writes one of
// them through files::WholeFile; "-" stands for standard output, which is
// written as the text comes.
#pragma once

#include <initializer_list>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "files/whole_file.h"

namespace nyajkor::batch {

struct CheckedOutput {
    std::string flag;  // without its dashes
    files::OutputTarget target;
};

class OutputFile {
public:
    // Begins the file (its temporary file, or the device opened); throws
    // UsageError naming the flag when it cannot.
    OutputFile(const CheckedOutput& output, std::ostream& standardOutput);
    ~OutputFile();  // removes the temporary file unless committed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    std::ostream& stream() { return *stream_; }
    // Flushes and puts the text in place; throws std::runtime_error on
    // failure, which leaves the target as it was.
    void commit();

private:
    class Buffer;
    std::string flag_, path_;
    std::unique_ptr<files::WholeFile> file_;
    std::unique_ptr<Buffer> buffer_;
    std::unique_ptr<std::ostream> owned_;
    std::ostream* stream_;
};

// An output flag, the path it was given (empty: not given) and where its
// file is kept once begun.
struct OutputSlot {
    const char* flag;
    const std::string& path;
    std::optional<OutputFile>& file;
};

// Checks the paths of all the given outputs, then begins their files.
// Throws UsageError naming the flag when a path cannot be written, names
// the file of another flag or cannot be begun; files begun before it are
// removed again with their slots.
void beginOutputs(std::initializer_list<OutputSlot> slots, std::ostream& standardOutput);

}  // namespace nyajkor::batch
