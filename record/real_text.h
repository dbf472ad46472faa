// Reals as text that reads back to the same double.
#pragma once

#include <charconv>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace nyajkor {

namespace real_text_detail {

// Adds one unit in the last digit of printf's "d.ddde±X"; false when that
// would carry past the first digit.
inline bool nextDecimalUp(char* text) {
    char* last = text;
    while (*last != 'e') ++last;
    for (char* c = last - 1; c >= text; --c) {
        if (*c < '0' || *c > '9') continue;  // the decimal point
        if (*c != '9') {
            ++*c;
            return true;
        }
        *c = '0';
    }
    return false;
}

}  // namespace real_text_detail

// The text std::to_chars writes for v in its shortest form, made with printf
// for standard libraries that lack to_chars of doubles (the WebAssembly
// toolchain's): the fewest significant digits that read back to v, correctly
// rounded, then fixed or scientific notation, whichever is shorter (fixed on a
// tie), in to_chars' spelling, integers in fixed notation with all their digits. printf's output is read back with strtod, which
// shares its locale, so the locale's decimal point does not matter.
//
inline std::string realTextByPrintf(double v) {
    if (v != v) return std::signbit(v) ? "-nan" : "nan";
    if (v == 0) return std::signbit(v) ? "-0" : "0";
    const bool negative = v < 0;
    const double magnitude = negative ? -v : v;
    if (magnitude > 1.7976931348623157e308) return negative ? "-inf" : "inf";
    char buf[64];
    for (int digitCount = 1; digitCount <= 17; ++digitCount) {
        std::snprintf(buf, sizeof buf, "%.*e", digitCount - 1, magnitude);
        const double back = std::strtod(buf, nullptr);
        if (back == magnitude) break;
        // Below a power of two the doubles lie twice as close as above it,
        // so the next decimal up may read back where the nearer one below
        // does not; to_chars takes it.
        if (back < magnitude && real_text_detail::nextDecimalUp(buf) && std::strtod(buf, nullptr) == magnitude) break;
    }
    // buf is d[.ddd]e±XX: the digits, then the decimal exponent
    std::string digits;
    const char* c = buf;
    for (; *c != 'e'; ++c)
        if (*c >= '0' && *c <= '9') digits += *c;
    const int exponent = std::atoi(c + 1);
    const int p = static_cast<int>(digits.size());

    std::string scientific = digits.substr(0, 1);
    if (p > 1) scientific += '.' + digits.substr(1);
    const int e = exponent < 0 ? -exponent : exponent;
    scientific += std::string(exponent < 0 ? "e-" : "e+") + (e < 10 ? "0" : "") + std::to_string(e);

    std::string fixed;
    if (exponent >= p - 1) {
        // an integer: to_chars writes its exact digits, not the shortest padded with zeros
        std::snprintf(buf, sizeof buf, "%.0f", magnitude);
        fixed = buf;
    } else if (exponent >= 0) {
        fixed = digits.substr(0, static_cast<std::size_t>(exponent + 1)) + '.' +
                digits.substr(static_cast<std::size_t>(exponent + 1));
    } else {
        fixed = "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
    }

    const std::string& shorter = scientific.size() < fixed.size() ? scientific : fixed;
    return negative ? '-' + shorter : shorter;
}

// The shortest text that reads back to the same double.
inline std::string realText(double v) {
#if defined(__cpp_lib_to_chars)
    char buf[64];
    auto end = std::to_chars(buf, buf + sizeof buf, v).ptr;
    return std::string(buf, end);
#else
    return realTextByPrintf(v);
#endif
}

// The double the whole of `text` spells, read with strtod as std::from_chars
// reads it (an optional minus, decimal digits and exponent, or inf and nan;
// no blanks, no plus, no hexadecimal), or nothing: for standard libraries
// that lack from_chars of doubles (the WebAssembly toolchain's). strtod
// rounds correctly too, once what it takes beyond that is turned away.
inline std::optional<double> realFromTextByStrtod(std::string_view text) {
    const std::string_view number = text.substr(!text.empty() && text[0] == '-' ? 1 : 0);
    const auto startsNumber = [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == 'i' || c == 'I' || c == 'n' ||
               c == 'N';
    };
    if (number.empty() || !startsNumber(number[0])) return std::nullopt;
    if (number.size() > 1 && number[0] == '0' && (number[1] == 'x' || number[1] == 'X')) return std::nullopt;
    const std::string terminated(text);
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(terminated.c_str(), &end);
    // out of range: beyond the largest double or below the smallest, not a
    // subnormal, which strtod may flag too
    if ((errno == ERANGE && (v == 0 || std::isinf(v))) || end != terminated.c_str() + terminated.size())
        return std::nullopt;
    return v;
}

// The double the whole of `text` spells as std::from_chars reads it, or nothing.
inline std::optional<double> realFromText(std::string_view text) {
#if defined(__cpp_lib_to_chars)
    double v = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (error != std::errc{} || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return v;
#else
    return realFromTextByStrtod(text);
#endif
}

}  // namespace nyajkor
