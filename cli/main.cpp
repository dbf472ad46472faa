// nyajkor3d-batch: runs the flock without a window.
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <iostream>

#include "cli/batch.h"

namespace {

std::atomic<bool> interrupted{false};

void onInterrupt(int) { interrupted = true; }

}  // namespace

int main(int argc, char** argv) {
    // Ctrl-C ends the run between ticks, so no half-written file is left.
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    return nyajkor::batch::runBatch(args, std::cout, std::cerr, ::isatty(STDERR_FILENO) != 0, &interrupted);
}
