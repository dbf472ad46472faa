#include "model/invariants.h"

#include <cstdio>
#include <cstdlib>

namespace nyajkor {

void invariantBroken(const char* rule, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: the model's state breaks its rule: %s\n", file, line, rule);
    std::abort();
}

}  // namespace nyajkor
