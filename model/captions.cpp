#include "model/captions.h"

#include <charconv>

namespace nyajkor {

namespace {

// Locale-independent formatting: the separator is put in by the caller's choice.
std::string format(double v, std::chars_format fmt, int precision) {
    char buf[64];
    auto end = std::to_chars(buf, buf + sizeof buf, v, fmt, precision).ptr;
    return std::string(buf, end);
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
