// What the window's program answers on the command line before it opens.
//
// The window takes one option, --threads K (the threads of a tick: by
// default one per CPU the process may use). --help and --version are
// answered on standard output without a display, and anything else is
// refused with one line on standard error, so a mistyped option is not
// silently ignored.
#pragma once

#include <optional>
#include <string>

namespace nyajkor::app {

struct CommandLineAnswer {
    bool openWindow = true;  // false: the program ends with `status`
    int status = 0;
    std::string out, err;    // what to print first
    std::optional<int> threads;  // --threads: the threads of a tick
};

CommandLineAnswer answerCommandLine(int argc, const char* const* argv);

// The one line that says no display could be opened, and the exit status.
std::string noDisplayMessage();
constexpr int kNoDisplayStatus = 1;

}  // namespace nyajkor::app
