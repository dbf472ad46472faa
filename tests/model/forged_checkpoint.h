// A checkpoint's checksum made to match whatever its bytes are, as anyone
// can make it: for tests and the fuzz target, which try the reader's checks
// of the words behind the checksum.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "model/fnv1a.h"

namespace nyajkor::testing {

// FNV-1a 64 of every byte before the last eight, written into them.
inline std::string withMatchingChecksum(std::string bytes) {
    constexpr std::size_t kHeader = 20;  // magic, version, length
    if (bytes.size() < kHeader + 8) return bytes;
    const std::uint64_t h = fnv1a(std::string_view(bytes).substr(0, bytes.size() - 8));
    for (int k = 0; k < 8; ++k) bytes[bytes.size() - 8 + k] = static_cast<char>((h >> (8 * k)) & 0xFF);
    return bytes;
}

}  // namespace nyajkor::testing
