// The built-in inflater into bounded buffers. Whatever zlib decodes completely
// (raw deflate after the two header bytes) the built-in inflater must decode to
// the same bytes; a buffer one byte short of the output must be refused.
#include "imaging/png/inflate.h"

#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

constexpr std::size_t kMaxOutput = 1 << 20;

// zlib's raw inflate of in[2..]; -1 when it does not reach the end of the stream
// within the output bound.
long zlibRaw(const std::uint8_t *in, std::size_t size, std::uint8_t *out, std::size_t cap)
{
    if (size < 2)
        return -1;
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK)
        return -1;
    z.next_in = const_cast<Bytef *>(in + 2);
    z.avail_in = uInt(size - 2);
    z.next_out = out;
    z.avail_out = uInt(cap);
    const int rc = inflate(&z, Z_FINISH);
    const long produced = long(z.total_out);
    inflateEnd(&z);
    return rc == Z_STREAM_END ? produced : -1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // Exactly sized allocations, so that a write past the end is caught.
    std::unique_ptr<std::uint8_t[]> out(new std::uint8_t[kMaxOutput]);
    std::size_t produced = 0;
    const bool ok = imaging::png::inflateZlib(data, size, out.get(), kMaxOutput, &produced);
    if (produced > kMaxOutput)
        std::abort();

    std::unique_ptr<std::uint8_t[]> ref(new std::uint8_t[kMaxOutput]);
    const long expected = zlibRaw(data, size, ref.get(), kMaxOutput);
    if (expected >= 0) {
        if (!ok || produced != std::size_t(expected) || std::memcmp(out.get(), ref.get(), produced) != 0) {
            std::fprintf(stderr, "built-in inflater differs from zlib: ok=%d produced=%zu expected=%ld\n", ok,
                         produced, expected);
            std::abort();
        }
    }

    // The same stream into buffers of the output's size and one byte less; small
    // buffers end the output early on every path of the copy loops.
    if (ok) {
        const std::size_t sizes[] = {produced, produced ? produced - 1 : 0, produced / 2, 7, 1};
        for (std::size_t cap : sizes) {
            std::unique_ptr<std::uint8_t[]> small(new std::uint8_t[cap ? cap : 1]);
            std::size_t n = 0;
            const bool again = imaging::png::inflateZlib(data, size, small.get(), cap, &n);
            if (n > cap || (cap == produced && (!again || n != produced)) || (cap < produced && again)) {
                std::fprintf(stderr, "bounded inflate: cap=%zu ok=%d n=%zu full=%zu\n", cap, again, n, produced);
                std::abort();
            }
            if (n && std::memcmp(small.get(), out.get(), n) != 0)
                std::abort();
        }
    }
    return 0;
}
