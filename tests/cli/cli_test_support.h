// What the runner's tests share: running it in-process, reading its CSV
// and a fresh directory per test for the files it writes.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/batch.h"

namespace nyajkor::batch::test {

namespace fs = std::filesystem;

struct RunResult {
    int status;
    std::string out, err;
};

inline RunResult run(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = runBatch(args, out, err);
    return {status, out.str(), err.str()};
}

// A command line with more arguments after it.
inline std::vector<std::string> with(std::vector<std::string> args, const std::vector<std::string>& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

inline std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> result;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, ',');) result.push_back(field);
    if (!line.empty() && line.back() == ',') result.push_back("");
    return result;
}

inline std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class BatchFiles : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() /
               ("nyajkor-batch-" + std::string(test->test_suite_name()) + "-" + test->name() + "-" +
                std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    // the names in the directory, sorted
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    fs::path dir_;
};

// A command line that must be refused, and a piece of the one line that says why.
struct BadInput {
    std::vector<std::string> args;
    std::string message;
};

// The test's name: the command line.
inline std::ostream& operator<<(std::ostream& os, const BadInput& c) {
    for (std::size_t k = 0; k < c.args.size(); ++k) os << (k ? " " : "") << c.args[k];
    return os;
}

}  // namespace nyajkor::batch::test
