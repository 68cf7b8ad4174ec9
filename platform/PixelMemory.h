#pragma once

#include <cstddef>
#include <cstdint>

// Zeroed memory for a surface's pixels. Pages are mapped only once they are
// written; a large block asks for huge pages, so that a screen-size surface
// costs a few page faults instead of thousands.
class PixelMemory {
public:
    PixelMemory() = default;
    // Holds nothing (get() is null) when the memory cannot be had: running
    // out of memory is a result the caller reports, never an exception.
    explicit PixelMemory(std::size_t bytes) noexcept;
    ~PixelMemory();
    PixelMemory(PixelMemory&& other) noexcept;
    PixelMemory& operator=(PixelMemory&& other) noexcept;

    std::uint8_t* get() const { return m_pixels; }

private:
    void release();

    std::uint8_t* m_pixels = nullptr;
    // The whole mapping, of which m_pixels is the aligned part; null for a
    // small block from calloc.
    void* m_mapping = nullptr;
    std::size_t m_mappingBytes = 0;
};
