// nyajkor3d-batch under node: the runner's flags, files and messages through
// node's own file system (the desktop runner's main, cli/main.cpp, minus its
// signal handling, which node keeps for itself).
#include <emscripten.h>

#include <atomic>
#include <iostream>

#include "cli/batch.h"

int main(int argc, char** argv) {
    // emscripten takes every standard stream for a terminal; node knows
    const bool progressShown = EM_ASM_INT({ return process.stderr.isTTY ? 1 : 0; }) != 0;
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const std::atomic<int> neverStopped{0};
    return nyajkor::batch::runBatch(args, std::cout, std::cerr, progressShown, &neverStopped);
}
