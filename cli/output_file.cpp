#include "cli/output_file.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <streambuf>

#include "cli/batch_options.h"

namespace nyajkor::batch {

namespace {

using files::TargetProblem;

std::string reasonOf(const files::TargetRefusal& r) {
    switch (r.problem) {
        case TargetProblem::emptyName: return "the file name is empty";
        case TargetProblem::folderName: return "it names a folder, not a file";
        case TargetProblem::isDirectory: return "it is a directory";
        case TargetProblem::danglingLink: return "it is a symbolic link to a file that does not exist";
        case TargetProblem::notWritable: return "it is not writable";
        case TargetProblem::folderMissing: return "the folder " + quoted(r.folder) + " does not exist";
        case TargetProblem::folderNotWritable: return "the folder " + quoted(r.folder) + " is not writable";
        case TargetProblem::unsupportedKind: return "it is neither a regular file, a character device nor a FIFO";
        case TargetProblem::systemError: break;
    }
    return std::strerror(r.error);
}

std::string cannotWrite(const std::string& flag, const std::string& path, const std::string& reason) {
    return "--" + flag + ": cannot write " + quoted(path) + ": " + reason;
}

bool replaced(const files::OutputTarget& t) {
    return t.kind == files::TargetKind::newFile || t.kind == files::TargetKind::regularFile;
}

// Whether two outputs would spoil each other: a file that one replaces
// cannot take the other, and "-" is for one flag only. A device or a pipe
// written through (/dev/null, a terminal, standard output) takes both in
// turn, as it would from two programs.
bool clash(const files::OutputTarget& a, const files::OutputTarget& b) {
    const bool bothDash = a.kind == files::TargetKind::standardOutput && a.path == "-" &&
                          b.kind == files::TargetKind::standardOutput && b.path == "-";
    return files::sameFile(a, b) && (replaced(a) || replaced(b) || bothDash);
}

std::string clashText(const std::string& flag, const std::string& path, const CheckedOutput& earlier) {
    const std::string what = quoted(path) + " is ";
    if (earlier.flag.empty()) return "--" + flag + ": " + what + "also standard output, where the summary goes";
    return "--" + flag + ": " + what + "the same file as --" + earlier.flag + " " + quoted(earlier.target.path);
}

// The targets of the given outputs, in the order given. Standard output
// takes the summary unless a flag takes it ("-"), so it counts as an output
// (with no flag) too.
std::vector<CheckedOutput> checkOutputs(std::initializer_list<OutputSlot> slots) {
    std::vector<CheckedOutput> checked;
    const bool flagTakesStandardOutput = std::any_of(slots.begin(), slots.end(), [](const OutputSlot& s) {
        return s.path == "-";
    });
    if (!flagTakesStandardOutput) checked.push_back({"", std::get<files::OutputTarget>(files::examineTarget("-"))});
    for (const auto& [flag, path, file] : slots) {
        if (path.empty()) continue;
        auto examined = files::examineTarget(path);
        if (const auto* refused = std::get_if<files::TargetRefusal>(&examined))
            throw UsageError(cannotWrite(flag, path, reasonOf(*refused)));
        const auto& target = std::get<files::OutputTarget>(examined);
        for (const CheckedOutput& earlier : checked)
            if (clash(earlier.target, target)) throw UsageError(clashText(flag, path, earlier));
        checked.push_back({flag, target});
    }
    if (!flagTakesStandardOutput) checked.erase(checked.begin());
    return checked;
}

}  // namespace

void beginOutputs(std::initializer_list<OutputSlot> slots, std::ostream& standardOutput) {
    const auto checked = checkOutputs(slots);
    auto output = checked.begin();
    for (const OutputSlot& slot : slots)
        if (!slot.path.empty()) slot.file.emplace(*output++, standardOutput);
}

// The stream's buffer over a WholeFile; the file keeps the first failure.
class OutputFile::Buffer : public std::streambuf {
public:
    explicit Buffer(files::WholeFile& file) : file_(file) { setp(data_, data_ + sizeof data_); }

protected:
    int_type overflow(int_type c) override {
        sync();
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
        return c;
    }
    int sync() override {
        file_.write(pbase(), static_cast<std::size_t>(pptr() - pbase()));
        setp(data_, data_ + sizeof data_);
        return file_.error() == 0 ? 0 : -1;
    }

private:
    files::WholeFile& file_;
    char data_[1 << 16];
};

OutputFile::OutputFile(const CheckedOutput& output, std::ostream& standardOutput)
    : flag_(output.flag), path_(output.target.path), stream_(&standardOutput) {
    if (output.target.kind == files::TargetKind::standardOutput) return;
    file_ = std::make_unique<files::WholeFile>(output.target);
    if (const int error = file_->open()) throw UsageError(cannotWrite(flag_, path_, std::strerror(error)));
    buffer_ = std::make_unique<Buffer>(*file_);
    owned_ = std::make_unique<std::ostream>(buffer_.get());
    stream_ = owned_.get();
}

OutputFile::~OutputFile() = default;  // the WholeFile discards what is not committed

void OutputFile::commit() {
    stream_->flush();
    if (!file_) {
        if (!*stream_) throw std::runtime_error("--" + flag_ + ": writing standard output failed");
        return;
    }
    if (const int error = file_->commit()) {
        const bool replaced = file_->target().kind != files::TargetKind::stream;
        throw std::runtime_error("--" + flag_ + ": writing " + quoted(path_) + " failed (" + std::strerror(error) +
                                 ")" + (replaced ? "; the file is left as it was" : ""));
    }
}

}  // namespace nyajkor::batch
