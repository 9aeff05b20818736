#pragma once
// Small routines shared by the decoders, the encoder and the surface.
#include "imaging/bytearray.h"

#include <QString>
#include <cstddef>
#include <cstdint>

namespace imaging {

// The 4-byte-aligned row size of a device-independent bitmap:
// ((a * b + 31) with the low 5 bits cleared) / 8. Callers pass the width and
// the bit count in either order. 0 when the product is negative or overflows.
std::int32_t ScanlineBytes(std::int32_t a, std::int32_t b);
// The value with its four bytes reversed (big-endian fields read as little-endian).
std::uint32_t FlipLongBytes(std::uint32_t value);
// address + offset in unsigned arithmetic.
std::uintptr_t UnsignedAdd(std::uintptr_t address, std::intptr_t offset);
bool IsArrayAllocated(const ByteArray &bytes);

// Grey formulas and their red, green and blue weights.
enum GrayFormula : std::int32_t {
    NoGray = -1,
    Luma601 = 0,
    Luma709 = 1,
    EqualWeights = 2,
    RedWeighted = 3,
    GreenWeighted = 4,
    BlueWeighted = 5,
    RedGreenWeighted = 6,
    GreenBlueWeighted = 7,
};
struct GrayWeights {
    float red = 1.0f, green = 1.0f, blue = 1.0f;
};
// NoGray answers 1, 1, 1; any unlisted value is Luma601.
GrayWeights GrayscaleWeights(std::int32_t formula);

// Classifies the alpha of 32-bit blue-green-red-alpha pixels (pixelCount of
// them, contiguous). imageType -1 on entry: no scan, counted as no alpha.
// Answers: no alpha -> type 1 (Bitmap), hasAlpha false, with fixUp every
// alpha becomes 255; premultiplied -> type 7, hasAlpha true, untouched;
// straight -> type 6, hasAlpha true, with fixUp premultiplied in place.
void ClassifyAlphaChannel(std::uint8_t *pixels, std::size_t pixelCount, bool fixUp, bool &hasAlpha,
                          std::int32_t &imageType);

// ---- files (POSIX descriptors; names in UTF-8) --------------------------
constexpr int INVALID_HANDLE_VALUE = -1;
// Reading: an existing file, read-only. Writing: created or truncated,
// keeping an existing file's permissions. The wide switch is accepted for
// callers' sake: names are always Unicode here.
int OpenFileHandle(const QString &name, bool forReading, bool wide = true);
void CloseFileHandle(int handle);
// Makes the file writable, then deletes it.
bool DeleteFileForced(const QString &name, bool wide = true);
bool FileExists(const QString &name, bool wide = true);

} // namespace imaging
