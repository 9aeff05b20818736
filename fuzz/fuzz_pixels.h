#pragma once
// Touches the pixels of a decoded surface so that one whose size and bits
// disagree shows up under the address sanitizer.
#include "fuzz_app.h"

#include "imaging/c32bppDIB.h"

namespace fuzzsupport {

inline void readPixels(const imaging::c32bppDIB &dib)
{
    if (!dib.Handle())
        return;
    const unsigned char *p = dib.BitsPointer();
    const std::size_t n = std::size_t(dib.Width()) * std::size_t(dib.Height()) * 4;
    unsigned sum = 0;
    for (std::size_t i = 0; i < n; i += 61)
        sum += p[i];
    if (n)
        sum += p[n - 1];
    keep(sum);
}

} // namespace fuzzsupport
