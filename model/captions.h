// The texts of the two statistics labels, as pure functions of the values.
#pragma once

#include <string>

namespace nyajkor {

// Label7: the order parameter in percent as plain decimal digits.
std::string orderPercentCaption(int rendszazalek);

// Label22: the mean neighbour count with one decimal and at most two
// significant digits (3.46 -> "3.5", 12.34 -> "12.0"), and from 99.5 on in
// exponent form without a plus sign (123.4 -> "1.2E2"). `decimalSeparator`
// is the locale's.
std::string meanNeighboursCaption(double atlagszomszed, char decimalSeparator = '.');

}  // namespace nyajkor
