// The runner's command line: the input is its arguments, separated by NUL
// bytes, parsed and checked as the runner does before it runs anything.
#include <string>
#include <vector>

#include "cli/batch_options.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args(1);
    for (std::size_t k = 0; k < size; ++k) {
        if (data[k] == '\0')
            args.emplace_back();
        else
            args.back() += static_cast<char>(data[k]);
    }
    nyajkor::fuzz::refusalIsFine([&] { nyajkor::batch::parseOptions(args); });
    return 0;
}
