#pragma once
// The engine's byte array: a zero-based buffer that the operation filling it
// sizes. A two-dimensional array is the same contiguous memory seen as rows:
// the first index is the byte within a row (0 .. rowBytes - 1), the second the
// row (0 .. rows - 1), so at(x, row) is data()[row * rowBytes + x].
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <vector>

namespace imaging {

class ByteArray {
public:
    ByteArray() = default;
    ByteArray(std::span<const std::uint8_t> bytes) { assign(bytes); }
    ByteArray(const ByteArray &o) { *this = o; }
    ByteArray &operator=(const ByteArray &o)
    {
        if (this != &o) {
            assign(o.span());
            m_rowBytes = o.m_rowBytes;
            m_rows = o.m_rows;
        }
        return *this;
    }
    ByteArray(ByteArray &&o) noexcept { swap(o); }
    ByteArray &operator=(ByteArray &&o) noexcept
    {
        ByteArray tmp(std::move(o));
        swap(tmp);
        return *this;
    }

    // One-dimensional, n zero bytes. False (and empty) when memory runs out.
    bool resize(std::size_t n)
    {
        if (!resizeForOverwrite(n))
            return false;
        if (n)
            std::memset(m_data.get(), 0, n);
        return true;
    }
    // Two-dimensional, rowBytes x rows zero bytes.
    bool resize2D(std::size_t rowBytes, std::size_t rows)
    {
        if (rows && rowBytes > SIZE_MAX / rows)
            return false;
        if (!resize(rowBytes * rows))
            return false;
        setShape(rowBytes, rows);
        return true;
    }
    // As resize, but the contents are unspecified: for callers that write
    // every byte. An existing buffer that is large enough is reused.
    bool resizeForOverwrite(std::size_t n)
    {
        if (n > m_capacity) {
            m_data.reset(new (std::nothrow) std::uint8_t[n]);
            if (!m_data) {
                clear();
                return false;
            }
            m_capacity = n;
        }
        m_size = n;
        m_rowBytes = m_rows = 0;
        return true;
    }
    bool resize2DForOverwrite(std::size_t rowBytes, std::size_t rows)
    {
        if (rows && rowBytes > SIZE_MAX / rows)
            return false;
        if (!resizeForOverwrite(rowBytes * rows))
            return false;
        setShape(rowBytes, rows);
        return true;
    }
    void clear()
    {
        m_data.reset();
        m_size = m_capacity = m_rowBytes = m_rows = 0;
    }

    bool empty() const { return m_size == 0; }
    std::size_t size() const { return m_size; }
    bool is2D() const { return m_rowBytes != 0; }
    // Bytes per row (the first dimension); the whole size for 1-D arrays.
    std::size_t rowBytes() const { return is2D() ? m_rowBytes : m_size; }
    // Number of rows (the second dimension); 1 for a non-empty 1-D array.
    std::size_t rows() const { return is2D() ? m_rows : (m_size ? 1 : 0); }

    std::uint8_t *data() { return m_data.get(); }
    const std::uint8_t *data() const { return m_data.get(); }
    std::uint8_t &operator[](std::size_t i) { return m_data[i]; }
    std::uint8_t operator[](std::size_t i) const { return m_data[i]; }
    std::uint8_t &at(std::size_t x, std::size_t row) { return m_data[row * rowBytes() + x]; }
    std::uint8_t at(std::size_t x, std::size_t row) const { return m_data[row * rowBytes() + x]; }

    std::span<std::uint8_t> span() { return {m_data.get(), m_size}; }
    std::span<const std::uint8_t> span() const { return {m_data.get(), m_size}; }
    operator std::span<const std::uint8_t>() const { return span(); }
    std::vector<std::uint8_t> toVector() const { return {m_data.get(), m_data.get() + m_size}; }

    // Makes this a one-dimensional copy of the bytes.
    bool assign(std::span<const std::uint8_t> bytes)
    {
        if (!resizeForOverwrite(bytes.size()))
            return false;
        if (!bytes.empty())
            std::memcpy(m_data.get(), bytes.data(), bytes.size());
        return true;
    }

    void swap(ByteArray &o) noexcept
    {
        std::swap(m_data, o.m_data);
        std::swap(m_size, o.m_size);
        std::swap(m_capacity, o.m_capacity);
        std::swap(m_rowBytes, o.m_rowBytes);
        std::swap(m_rows, o.m_rows);
    }

private:
    void setShape(std::size_t rowBytes, std::size_t rows)
    {
        // A zero-sized row would read as one-dimensional; keep it that way.
        m_rowBytes = rows ? rowBytes : 0;
        m_rows = rowBytes ? rows : 0;
    }

    std::unique_ptr<std::uint8_t[]> m_data;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
    std::size_t m_rowBytes = 0;
    std::size_t m_rows = 0;
};

} // namespace imaging
