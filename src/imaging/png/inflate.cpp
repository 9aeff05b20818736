#include "imaging/png/inflate.h"

#include <bit>
#include <cstring>

namespace imaging::png {
namespace {

// A decoding table entry packs, from the low bits up: 4 bits to drop for the code,
// 4 bits of extra bits to read after it (for a subtable link: the subtable's index
// bits), 8 flag bits and a 16-bit value (literal, length or distance base, or the
// subtable's offset).
constexpr uint32_t kLiteral = 0x100;
constexpr uint32_t kEndOfBlock = 0x200;
constexpr uint32_t kSubtable = 0x400;
constexpr uint32_t kInvalid = 0x800;

constexpr unsigned kLitRootBits = StreamInflater::kLitRootBits;
constexpr unsigned kDistRootBits = StreamInflater::kDistRootBits;
constexpr unsigned kLenRootBits = 7;
constexpr size_t kLitTableSize = StreamInflater::kLitTableSize;
constexpr size_t kDistTableSize = StreamInflater::kDistTableSize;
constexpr size_t kLenTableSize = 1u << kLenRootBits;

constexpr uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint16_t kDistBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint8_t kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6,
                                    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

uint32_t litLenInfo(unsigned sym)
{
    if (sym < 256)
        return (uint32_t(sym) << 16) | kLiteral;
    if (sym == 256)
        return kEndOfBlock;
    if (sym < 286)
        return (uint32_t(kLengthBase[sym - 257]) << 16) | (uint32_t(kLengthExtra[sym - 257]) << 4);
    return kInvalid; // 286 and 287 take part in the fixed code but never occur
}

uint32_t distInfo(unsigned sym)
{
    if (sym < 30)
        return (uint32_t(kDistBase[sym]) << 16) | (uint32_t(kDistExtra[sym]) << 4);
    return kInvalid;
}

uint32_t plainInfo(unsigned sym) { return uint32_t(sym) << 16; }

// Builds a canonical Huffman decoding table. Over-subscribed codes fail; an
// incomplete code is accepted only when it is a single code of length 1 (allowed
// for distances), or when there is no code at all; unused entries decode as invalid.
bool buildTable(uint32_t *table, size_t capacity, unsigned rootBits, const uint8_t *lens, unsigned n,
                uint32_t (*info)(unsigned))
{
    unsigned count[16] = {};
    for (unsigned i = 0; i < n; ++i)
        ++count[lens[i]];
    count[0] = 0;
    int left = 1;
    unsigned maxLen = 0;
    for (unsigned len = 1; len < 16; ++len) {
        left <<= 1;
        left -= int(count[len]);
        if (left < 0)
            return false;
        if (count[len])
            maxLen = len;
    }
    const size_t rootSize = size_t(1) << rootBits;
    if (left > 0) {
        if (maxLen > 1)
            return false;
        for (size_t i = 0; i < rootSize; ++i)
            table[i] = kInvalid;
        if (maxLen == 0)
            return true;
    }
    unsigned offs[16];
    offs[1] = 0;
    for (unsigned len = 1; len < 15; ++len)
        offs[len + 1] = offs[len] + count[len];
    uint16_t sorted[288];
    for (unsigned i = 0; i < n; ++i)
        if (lens[i])
            sorted[offs[lens[i]]++] = uint16_t(i);
    const unsigned total = offs[15];

    const unsigned subBits = maxLen > rootBits ? maxLen - rootBits : 0;
    const size_t subSize = size_t(1) << subBits;
    size_t nextSub = rootSize;
    size_t curSub = 0;
    size_t curPrefix = ~size_t(0);
    unsigned code = 0;
    unsigned curLen = lens[sorted[0]];
    for (unsigned k = 0; k < total; ++k) {
        const unsigned sym = sorted[k];
        const unsigned len = lens[sym];
        code <<= (len - curLen);
        curLen = len;
        unsigned rev = 0;
        for (unsigned b = 0; b < len; ++b)
            rev |= ((code >> b) & 1u) << (len - 1 - b);
        const uint32_t base = info(sym);
        if (len <= rootBits) {
            const uint32_t e = base | len;
            for (size_t i = rev; i < rootSize; i += size_t(1) << len)
                table[i] = e;
        } else {
            const size_t prefix = rev & (rootSize - 1);
            if (prefix != curPrefix) {
                if (nextSub + subSize > capacity)
                    return false;
                curSub = nextSub;
                nextSub += subSize;
                curPrefix = prefix;
                table[prefix] = (uint32_t(curSub) << 16) | kSubtable | (subBits << 4) | rootBits;
            }
            const unsigned subLen = len - rootBits;
            const uint32_t e = base | subLen;
            for (size_t i = rev >> rootBits; i < subSize; i += size_t(1) << subLen)
                table[curSub + i] = e;
        }
        ++code;
    }
    return true;
}

struct FixedTables {
    uint32_t lit[kLitTableSize];
    uint32_t dist[kDistTableSize];
    FixedTables()
    {
        uint8_t lens[288];
        for (unsigned i = 0; i < 144; ++i)
            lens[i] = 8;
        for (unsigned i = 144; i < 256; ++i)
            lens[i] = 9;
        for (unsigned i = 256; i < 280; ++i)
            lens[i] = 7;
        for (unsigned i = 280; i < 288; ++i)
            lens[i] = 8;
        buildTable(lit, kLitTableSize, kLitRootBits, lens, 288, litLenInfo);
        for (unsigned i = 0; i < 32; ++i)
            lens[i] = 5;
        buildTable(dist, kDistTableSize, kDistRootBits, lens, 32, distInfo);
    }
};

// Built once and shared by every later decode.
const FixedTables &fixedTables()
{
    static const FixedTables tables;
    return tables;
}

inline uint64_t load64le(const uint8_t *p)
{
    uint64_t v;
    std::memcpy(&v, p, 8);
    if constexpr (std::endian::native == std::endian::big)
        v = __builtin_bswap64(v);
    return v;
}

// Copies a match of `length` bytes from `dist` bytes back (overlapping when dist <
// length). With at least length + 16 bytes of room it works in 8- and 16-byte
// stores that may run up to 15 bytes past the match: those bytes stay inside the
// output and are rewritten by later symbols or cleared by the caller.
inline void copyMatch(uint8_t *out, size_t dist, size_t length, size_t room)
{
    const uint8_t *src = out - dist;
    uint8_t *const stop = out + length;
    if (room < length + 16) {
        for (size_t k = 0; k < length; ++k)
            out[k] = src[k];
        return;
    }
    if (dist >= 16) {
        do {
            std::memcpy(out, src, 16);
            out += 16;
            src += 16;
        } while (out < stop);
        return;
    }
    if (dist >= 8) {
        do {
            std::memcpy(out, src, 8);
            out += 8;
            src += 8;
        } while (out < stop);
        return;
    }
    // A short distance repeats a pattern of dist bytes: one 16-byte block of it is
    // stored every (16 rounded down to a multiple of dist) bytes.
    uint8_t pattern[16];
    if (dist == 1) {
        std::memset(pattern, *src, 16);
    } else {
        std::memcpy(pattern, src, 8); // only the first dist bytes are of the pattern
        for (size_t k = dist; k < 16; ++k)
            pattern[k] = pattern[k - dist];
    }
    const size_t step = 16 - 16 % dist;
    do {
        std::memcpy(out, pattern, 16);
        out += step;
    } while (out < stop);
}

} // namespace

// Keeps at least 56 bits in the buffer. Past the end of the input zero bytes are
// shifted in and counted; consuming any of them is a read past the input.
bool StreamInflater::refill()
{
    if (m_inEnd - m_in >= 8) {
        const unsigned bytes = (63 - m_bitcnt) >> 3;
        m_bitbuf |= load64le(m_in) << m_bitcnt;
        m_in += bytes;
        m_bitcnt += bytes * 8;
        return true;
    }
    while (m_bitcnt <= 56) {
        uint64_t b = 0;
        if (m_in < m_inEnd)
            b = *m_in++;
        else if (++m_overrun > 8)
            return false;
        m_bitbuf |= b << m_bitcnt;
        m_bitcnt += 8;
    }
    return true;
}

StreamInflater::Status StreamInflater::run(const uint8_t *history, uint8_t *&out, uint8_t *outEnd, bool lastSpace)
{
    for (;;) {
        Status status = Status::Finished;
        switch (m_state) {
        case State::BlockHeader:
            if (!blockHeader()) {
                m_state = State::Error;
                return Status::Failed;
            }
            continue;
        case State::Stored:
            status = stored(out, outEnd, lastSpace);
            break;
        case State::Huffman:
            status = huffman(history, out, outEnd, lastSpace);
            break;
        case State::Done:
            return Status::Finished;
        case State::Error:
            return Status::Failed;
        }
        if (status == Status::NeedSpace)
            return status;
        // The block ended (Finished) or failed.
        if (status == Status::Failed || overran()) {
            m_state = State::Error;
            return Status::Failed;
        }
        if (m_final) {
            m_state = State::Done;
            return Status::Finished;
        }
        m_state = State::BlockHeader;
    }
}

bool StreamInflater::blockHeader()
{
    if (!refill())
        return false;
    m_final = bits(1) != 0;
    const unsigned type = (unsigned(m_bitbuf) >> 1) & 3;
    drop(3);
    switch (type) {
    case 0:
        if (!storedHeader())
            return false;
        m_state = State::Stored;
        return true;
    case 1:
        m_litTable = fixedTables().lit;
        m_distTable = fixedTables().dist;
        m_state = State::Huffman;
        return true;
    case 2:
        if (!dynamicTables())
            return false;
        m_litTable = m_lit;
        m_distTable = m_dist;
        m_state = State::Huffman;
        return true;
    default:
        return false;
    }
}

bool StreamInflater::storedHeader()
{
    // Back to a byte boundary; whole bytes still in the bit buffer go back to the input.
    drop(m_bitcnt & 7);
    if (overran())
        return false;
    m_in -= (m_bitcnt >> 3) - m_overrun;
    m_bitbuf = 0;
    m_bitcnt = 0;
    m_overrun = 0;
    if (m_inEnd - m_in < 4)
        return false;
    const unsigned len = m_in[0] | (unsigned(m_in[1]) << 8);
    const unsigned nlen = m_in[2] | (unsigned(m_in[3]) << 8);
    m_in += 4;
    if (len != (~nlen & 0xFFFFu))
        return false;
    if (size_t(m_inEnd - m_in) < len)
        return false;
    m_storedLeft = len;
    return true;
}

StreamInflater::Status StreamInflater::stored(uint8_t *&out, uint8_t *outEnd, bool lastSpace)
{
    const size_t room = size_t(outEnd - out);
    if (lastSpace && m_storedLeft > room)
        return Status::Failed; // nothing of a block that cannot fit
    const size_t n = m_storedLeft < room ? m_storedLeft : room;
    std::memcpy(out, m_in, n);
    out += n;
    m_in += n;
    m_storedLeft -= n;
    return m_storedLeft == 0 ? Status::Finished : Status::NeedSpace;
}

bool StreamInflater::dynamicTables()
{
    if (!refill())
        return false;
    const unsigned nlit = bits(5) + 257;
    drop(5);
    const unsigned ndist = bits(5) + 1;
    drop(5);
    const unsigned nclen = bits(4) + 4;
    drop(4);
    if (nlit > 286 || ndist > 30)
        return false;
    uint8_t clens[19] = {};
    for (unsigned i = 0; i < nclen; ++i) {
        if (!refill())
            return false;
        clens[kCodeLengthOrder[i]] = uint8_t(bits(3));
        drop(3);
    }
    uint32_t lenTable[kLenTableSize];
    if (!buildTable(lenTable, kLenTableSize, kLenRootBits, clens, 19, plainInfo))
        return false;

    uint8_t lens[286 + 30];
    const unsigned total = nlit + ndist;
    unsigned i = 0;
    while (i < total) {
        if (!refill())
            return false;
        const uint32_t e = lenTable[bits(kLenRootBits)];
        if (e & kInvalid)
            return false;
        drop(e & 15);
        const unsigned sym = e >> 16;
        if (sym < 16) {
            lens[i++] = uint8_t(sym);
            continue;
        }
        unsigned repeat;
        uint8_t value = 0;
        if (sym == 16) {
            if (i == 0)
                return false;
            value = lens[i - 1];
            repeat = 3 + bits(2);
            drop(2);
        } else if (sym == 17) {
            repeat = 3 + bits(3);
            drop(3);
        } else {
            repeat = 11 + bits(7);
            drop(7);
        }
        if (repeat > total - i)
            return false;
        std::memset(lens + i, value, repeat);
        i += repeat;
    }
    if (lens[256] == 0)
        return false; // no end-of-block code
    return buildTable(m_lit, kLitTableSize, kLitRootBits, lens, nlit, litLenInfo) &&
           buildTable(m_dist, kDistTableSize, kDistRootBits, lens + nlit, ndist, distInfo);
}

// The hot loop keeps the bit reader in locals: stores through the byte output
// pointer could otherwise alias the members and force reloads. While at least
// kMinSpace bytes are free no symbol can run past the space, so the output checks
// wait for the last stretch. Returns Finished at the end of the block.
StreamInflater::Status StreamInflater::huffman(const uint8_t *history, uint8_t *&outRef, uint8_t *const outEnd,
                                               bool lastSpace)
{
    constexpr uint64_t litMask = (1u << kLitRootBits) - 1;
    constexpr uint64_t distMask = (1u << kDistRootBits) - 1;
    const uint32_t *const litTable = m_litTable;
    const uint32_t *const distTable = m_distTable;
    const uint8_t *in = m_in;
    const uint8_t *const inEnd = m_inEnd;
    uint64_t bitbuf = m_bitbuf;
    unsigned bitcnt = m_bitcnt;
    unsigned overrun = m_overrun;
    uint8_t *out = outRef;
    Status status = Status::Failed;

    auto refill = [&]() -> bool {
        if (inEnd - in >= 8) {
            const unsigned bytes = (63 - bitcnt) >> 3;
            bitbuf |= load64le(in) << bitcnt;
            in += bytes;
            bitcnt += bytes * 8;
            return true;
        }
        while (bitcnt <= 56) {
            uint64_t b = 0;
            if (in < inEnd)
                b = *in++;
            else if (++overrun > 8)
                return false;
            bitbuf |= b << bitcnt;
            bitcnt += 8;
        }
        return true;
    };
    auto drop = [&](unsigned n) {
        bitbuf >>= n;
        bitcnt -= n;
    };
    auto peek = [&](unsigned n) { return uint32_t(bitbuf & ((uint64_t(1) << n) - 1)); };
    auto decodeLit = [&]() {
        uint32_t e = litTable[bitbuf & litMask];
        if (e & kSubtable) {
            drop(e & 15);
            e = litTable[(e >> 16) + peek((e >> 4) & 15)];
        }
        drop(e & 15);
        return e;
    };

    for (;;) {
        const bool roomy = size_t(outEnd - out) >= kMinSpace;
        if (!roomy && !lastSpace) {
            status = Status::NeedSpace;
            break;
        }
        if (!refill())
            break;
        uint32_t e = decodeLit();
        if (e & kLiteral) {
            if (out == outEnd)
                break;
            *out++ = uint8_t(e >> 16);
            // At least 41 bits remain: room for two more codes before refilling.
            e = decodeLit();
            if (e & kLiteral) {
                if (out == outEnd)
                    break;
                *out++ = uint8_t(e >> 16);
                e = decodeLit();
                if (e & kLiteral) {
                    if (out == outEnd)
                        break;
                    *out++ = uint8_t(e >> 16);
                    continue;
                }
            }
            if (!refill())
                break;
        }
        if (e & (kEndOfBlock | kInvalid)) {
            if (e & kEndOfBlock)
                status = Status::Finished;
            break;
        }
        // Length: at most 5 extra bits; then a distance code and up to 13 extra bits.
        const unsigned lenExtra = (e >> 4) & 15;
        const size_t length = (e >> 16) + peek(lenExtra);
        drop(lenExtra);
        uint32_t d = distTable[bitbuf & distMask];
        if (d & kSubtable) {
            drop(d & 15);
            d = distTable[(d >> 16) + peek((d >> 4) & 15)];
        }
        if (d & kInvalid)
            break;
        drop(d & 15);
        const unsigned distExtra = (d >> 4) & 15;
        const size_t dist = (d >> 16) + peek(distExtra);
        drop(distExtra);
        if (dist > size_t(out - history) || length > size_t(outEnd - out))
            break;
        copyMatch(out, dist, length, size_t(outEnd - out));
        out += length;
    }
    m_in = in;
    m_bitbuf = bitbuf;
    m_bitcnt = bitcnt;
    m_overrun = overrun;
    outRef = out;
    return status;
}

bool inflateRaw(const uint8_t *in, size_t inSize, uint8_t *out, size_t outSize, size_t *produced)
{
    StreamInflater inflater(in, inSize);
    uint8_t *pos = out;
    const bool ok = inflater.run(out, pos, out + outSize, true) == StreamInflater::Status::Finished;
    *produced = size_t(pos - out);
    return ok;
}

bool inflateZlib(const uint8_t *in, size_t inSize, uint8_t *out, size_t outSize, size_t *produced)
{
    *produced = 0;
    if (inSize < 2)
        return false;
    return inflateRaw(in + 2, inSize - 2, out, outSize, produced);
}

} // namespace imaging::png
