// nyajkor3d-batch: runs the flock without a window.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <iostream>

#include "cli/batch.h"
#include "files/whole_file.h"

namespace {

// The first signal that asks the runner to stop; 0 while none has come.
std::atomic<int> stopSignal{0};

// The first signal stops the work between ticks, so that every file is
// either whole or not begun. A second Ctrl-C (or TERM, or HUP) does not
// wait: it removes the temporary files and ends the program at once.
// SIGPIPE comes again at every write to a reader that has gone, so it
// never counts as the second.
void onStopSignal(int signal) {
    int first = 0;
    if (stopSignal.compare_exchange_strong(first, signal) || signal == SIGPIPE) return;
    nyajkor::files::removeTemporaryFiles();
    ::_exit(nyajkor::batch::stoppedStatus(first));
}

// An interrupt or a hangup ignored from the start (a background job, nohup)
// stays ignored, as the one who started the runner asked.
void handleStopSignals() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        struct sigaction before {};
        ::sigaction(signal, nullptr, &before);
        const bool keepIgnored = (signal == SIGINT || signal == SIGHUP) && before.sa_handler == SIG_IGN;
        if (!keepIgnored) ::sigaction(signal, &action, nullptr);
    }
}

}  // namespace

int main(int argc, char** argv) {
    handleStopSignals();
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    return nyajkor::batch::runBatch(args, std::cout, std::cerr, ::isatty(STDERR_FILENO) != 0, &stopSignal);
}
