#pragma once
// A bounds-checked view over untrusted bytes for the icon, GIF and bitmap
// decoders. Every read names its offset and fails (false) when the bytes are
// not all inside the view; little-endian values are assembled byte by byte.
#include <cstddef>
#include <cstdint>

namespace imaging {

class ByteView {
public:
    ByteView() = default;
    ByteView(const std::uint8_t *data, std::size_t size) : m_data(data), m_size(size) {}

    std::size_t size() const { return m_size; }
    const std::uint8_t *data() const { return m_data; }
    // [offset, offset + count) lies inside the view (no overflow possible).
    bool has(std::int64_t offset, std::int64_t count) const
    {
        return offset >= 0 && count >= 0 && std::uint64_t(offset) <= m_size &&
               std::uint64_t(count) <= m_size - std::uint64_t(offset);
    }
    bool u8(std::int64_t offset, std::uint8_t &out) const
    {
        if (!has(offset, 1))
            return false;
        out = m_data[offset];
        return true;
    }
    bool u16(std::int64_t offset, std::uint16_t &out) const
    {
        if (!has(offset, 2))
            return false;
        out = std::uint16_t(m_data[offset] | (m_data[offset + 1] << 8));
        return true;
    }
    bool u32(std::int64_t offset, std::uint32_t &out) const
    {
        if (!has(offset, 4))
            return false;
        const std::uint8_t *p = m_data + offset;
        out = std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
              (std::uint32_t(p[3]) << 24);
        return true;
    }
    bool i32(std::int64_t offset, std::int32_t &out) const
    {
        std::uint32_t v = 0;
        if (!u32(offset, v))
            return false;
        out = std::int32_t(v);
        return true;
    }
    bool be32(std::int64_t offset, std::uint32_t &out) const
    {
        if (!has(offset, 4))
            return false;
        const std::uint8_t *p = m_data + offset;
        out = (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
        return true;
    }

private:
    const std::uint8_t *m_data = nullptr;
    std::size_t m_size = 0;
};

} // namespace imaging
