#pragma once
// Built-in inflater of the PNG decoder: in one go into a whole buffer, or in pieces
// into a buffer that the caller empties and slides as it goes.
#include <cstddef>
#include <cstdint>

namespace imaging::png {

// Decodes zlib-wrapped data (RFC 1950) into out[0, outSize). The two-byte header is
// skipped without inspection (no preset dictionary) and the Adler-32 trailer is not
// read. Output shorter than outSize is accepted; *produced receives its length.
// Fails on malformed blocks, on a read past the input and on output beyond outSize.
// Bytes of out past *produced may be overwritten.
bool inflateZlib(const uint8_t *in, size_t inSize, uint8_t *out, size_t outSize, size_t *produced);

// The same for bare deflate data (RFC 1951).
bool inflateRaw(const uint8_t *in, size_t inSize, uint8_t *out, size_t outSize, size_t *produced);

// Bare deflate data decoded in pieces. Each call continues where the last stopped.
class StreamInflater {
public:
    enum class Status { Finished, NeedSpace, Failed };

    StreamInflater(const uint8_t *in, size_t inSize) : m_in(in), m_inEnd(in + inSize) {}

    // Writes output from `out` on, up to `outEnd`, and advances `out`. Matches reach
    // back into [history, out): the caller keeps all earlier output there, or at
    // least its last 32 KB. With lastSpace, outEnd ends the whole output and output
    // beyond it fails; otherwise the call returns NeedSpace once fewer than
    // kMinSpace bytes are left. Bytes of [out, outEnd) past the returned `out` may
    // have been overwritten. After Finished or Failed further calls fail.
    Status run(const uint8_t *history, uint8_t *&out, uint8_t *outEnd, bool lastSpace);

    // The longest match plus the widest store past its end.
    static constexpr size_t kMinSpace = 258 + 16;
    static constexpr size_t kWindow = 32768;

    static constexpr unsigned kLitRootBits = 11;
    static constexpr unsigned kDistRootBits = 8;
    // Root table plus the subtables of the worst complete code: every subtable of a
    // complete code holds at least two codes, so there are at most n / 2 of them,
    // each of 2^(15 - root) entries.
    static constexpr size_t kLitTableSize = (1u << kLitRootBits) + (288 / 2) * (1u << (15 - kLitRootBits));
    static constexpr size_t kDistTableSize = (1u << kDistRootBits) + (32 / 2) * (1u << (15 - kDistRootBits));

private:
    enum class State { BlockHeader, Stored, Huffman, Done, Error };

    bool refill();
    bool overran() const { return m_bitcnt < m_overrun * 8; }
    uint32_t bits(unsigned n) const { return uint32_t(m_bitbuf & ((uint64_t(1) << n) - 1)); }
    void drop(unsigned n)
    {
        m_bitbuf >>= n;
        m_bitcnt -= n;
    }
    bool blockHeader();
    bool storedHeader();
    bool dynamicTables();
    Status stored(uint8_t *&out, uint8_t *outEnd, bool lastSpace);
    Status huffman(const uint8_t *history, uint8_t *&out, uint8_t *outEnd, bool lastSpace);

    const uint8_t *m_in;
    const uint8_t *const m_inEnd;
    uint64_t m_bitbuf = 0;
    unsigned m_bitcnt = 0;
    unsigned m_overrun = 0;
    State m_state = State::BlockHeader;
    bool m_final = false;
    size_t m_storedLeft = 0;
    const uint32_t *m_litTable = nullptr;
    const uint32_t *m_distTable = nullptr;
    uint32_t m_lit[kLitTableSize];
    uint32_t m_dist[kDistTableSize];
};

} // namespace imaging::png
