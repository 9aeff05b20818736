#pragma once
// The engine's byte array: a zero-based buffer that the operation filling it
// sizes. A two-dimensional array is the same contiguous memory seen as rows:
// the first index is the byte within a row (0 .. rowBytes - 1), the second the
// row (0 .. rows - 1), so at(x, row) is data()[row * rowBytes + x].
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace imaging {

class ByteArray {
public:
    ByteArray() = default;
    explicit ByteArray(std::vector<std::uint8_t> bytes) : m_bytes(std::move(bytes)) {}
    ByteArray(std::span<const std::uint8_t> bytes) : m_bytes(bytes.begin(), bytes.end()) {}

    // One-dimensional, n zero bytes.
    void resize(std::size_t n)
    {
        m_bytes.assign(n, 0);
        m_rowBytes = 0;
        m_rows = 0;
    }
    // Two-dimensional, rowBytes x rows zero bytes.
    void resize2D(std::size_t rowBytes, std::size_t rows)
    {
        m_bytes.assign(rowBytes * rows, 0);
        m_rowBytes = rowBytes;
        m_rows = rows;
    }
    void clear()
    {
        m_bytes.clear();
        m_bytes.shrink_to_fit();
        m_rowBytes = 0;
        m_rows = 0;
    }

    bool empty() const { return m_bytes.empty(); }
    std::size_t size() const { return m_bytes.size(); }
    bool is2D() const { return m_rowBytes != 0; }
    // Bytes per row (the first dimension); the whole size for 1-D arrays.
    std::size_t rowBytes() const { return is2D() ? m_rowBytes : m_bytes.size(); }
    // Number of rows (the second dimension); 1 for a non-empty 1-D array.
    std::size_t rows() const { return is2D() ? m_rows : (m_bytes.empty() ? 0 : 1); }

    std::uint8_t *data() { return m_bytes.data(); }
    const std::uint8_t *data() const { return m_bytes.data(); }
    std::uint8_t &operator[](std::size_t i) { return m_bytes[i]; }
    std::uint8_t operator[](std::size_t i) const { return m_bytes[i]; }
    std::uint8_t &at(std::size_t x, std::size_t row) { return m_bytes[row * rowBytes() + x]; }
    std::uint8_t at(std::size_t x, std::size_t row) const { return m_bytes[row * rowBytes() + x]; }

    std::span<std::uint8_t> span() { return m_bytes; }
    std::span<const std::uint8_t> span() const { return m_bytes; }
    std::vector<std::uint8_t> &vector() { return m_bytes; }
    const std::vector<std::uint8_t> &vector() const { return m_bytes; }
    operator std::span<const std::uint8_t>() const { return m_bytes; }

    // Makes this a one-dimensional copy of the bytes.
    void assign(std::span<const std::uint8_t> bytes)
    {
        m_bytes.assign(bytes.begin(), bytes.end());
        m_rowBytes = 0;
        m_rows = 0;
    }

private:
    std::vector<std::uint8_t> m_bytes;
    std::size_t m_rowBytes = 0;
    std::size_t m_rows = 0;
};

} // namespace imaging
