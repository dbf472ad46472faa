// FNV-1a 64, the checksum of the program's files: checkpoints, and each row
// of a sweep's runs table. Any one byte changed changes it.
#pragma once

#include <cstdint>
#include <string_view>

namespace nyajkor {

inline std::uint64_t fnv1a(std::string_view bytes) {
    std::uint64_t h = 14695981039346656037ull;
    for (const char c : bytes) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ull;
    }
    return h;
}

}  // namespace nyajkor
