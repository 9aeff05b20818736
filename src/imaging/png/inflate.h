#pragma once
// Built-in inflater used by the PNG decoder when the compression library refuses
// the image data (for example a wrong Adler-32 trailer).
#include <cstddef>
#include <cstdint>

namespace imaging::png {

// Decodes zlib-wrapped data (RFC 1950) into out[0, outSize). The two-byte header is
// skipped without inspection (no preset dictionary) and the Adler-32 trailer is not
// read. Output shorter than outSize is accepted; *produced receives its length.
// Fails on malformed blocks, on a read past the input and on output beyond outSize.
bool inflateZlib(const uint8_t *in, size_t inSize, uint8_t *out, size_t outSize, size_t *produced);

// The same for bare deflate data (RFC 1951).
bool inflateRaw(const uint8_t *in, size_t inSize, uint8_t *out, size_t outSize, size_t *produced);

} // namespace imaging::png
