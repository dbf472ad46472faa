#include "model/captions.h"

#include <charconv>
#include <cstdio>

namespace nyajkor {

namespace {

// Locale-independent formatting with a '.': the separator is put in by the
// caller's choice.
std::string format(double v, std::chars_format fmt, int precision) {
    char buf[64];
#if defined(__cpp_lib_to_chars)
    auto end = std::to_chars(buf, buf + sizeof buf, v, fmt, precision).ptr;
    return std::string(buf, end);
#else
    // Libraries without to_chars for doubles (the WebAssembly toolchain's):
    // printf rounds the same way but writes the locale's decimal point, which
    // may be several bytes; it is the only text that is neither a digit nor
    // part of the exponent, so it becomes one '.'.
    const int length = std::snprintf(buf, sizeof buf, fmt == std::chars_format::scientific ? "%.*e" : "%.*f",
                                     precision, v);
    std::string text;
    for (int i = 0; i < length; ++i) {
        const char c = buf[i];
        const bool kept = (c >= '0' && c <= '9') || c == 'e' || c == '+' || c == '-';
        if (kept)
            text += c;
        else if (text.empty() || text.back() != '.')
            text += '.';
    }
    return text;
#endif
}

}  // namespace

std::string orderPercentCaption(int rendszazalek) { return std::to_string(rendszazalek); }

std::string meanNeighboursCaption(double v, char decimalSeparator) {
    // Two significant digits first: the scientific form rounds correctly and
    // gives the exponent ("d.de+XX").
    const std::string sci = format(v, std::chars_format::scientific, 1);
    const int exponent = std::stoi(sci.substr(sci.find('e') + 1));
    std::string text;
    if (exponent >= 2)
        text = sci.substr(0, 3) + "E" + std::to_string(exponent);
    else if (exponent == 1)
        text = std::string{sci[0], sci[2]} + ".0";  // 10..99: both digits, a zero decimal
    else
        text = format(v, std::chars_format::fixed, 1);
    for (char& c : text)
        if (c == '.') c = decimalSeparator;
    return text;
}

}  // namespace nyajkor
