#pragma once
// Numbers as the program has always written them for people: up to 15
// significant digits, no trailing zeros, an exponent ("9.5367431640625E-05")
// below 0.0001 or from 1E+15 up.
#include <QString>

namespace download {

QString defaultNumberText(double value);

// Rounds to the nearest integer, halves to even.
qint64 roundHalfEven(double value);

} // namespace download
