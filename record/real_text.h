// Reals as text that reads back to the same double.
#pragma once

#include <charconv>
#include <string>

namespace nyajkor {

// The shortest text that reads back to the same double.
inline std::string realText(double v) {
    char buf[64];
    auto end = std::to_chars(buf, buf + sizeof buf, v).ptr;
    return std::string(buf, end);
}

}  // namespace nyajkor
