#pragma once
// Numbers as the program has always written them for people: up to 15
// significant digits, no trailing zeros, an exponent ("9.5367431640625E-05")
// below 0.0001 or from 1E+15 up.
#include <QString>

namespace download {

QString defaultNumberText(double value);

// A byte count in megabytes, in the six characters the size label holds
// (3,715,350 bytes: "3.5432"). Below 0.0001 MB the exponent form would be cut
// into a large-looking number, so those sizes read "0.0000".
QString megabyteText(qint64 bytes);

// Rounds to the nearest integer, halves to even.
qint64 roundHalfEven(double value);

} // namespace download
