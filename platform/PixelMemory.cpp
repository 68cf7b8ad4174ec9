#include "platform/PixelMemory.h"

#include <sys/mman.h>

#include <cstdlib>
#include <utility>

namespace {

constexpr std::size_t kHugePage = std::size_t(2) << 20;

// AddressSanitizer guards heap blocks only: under it every surface comes from
// calloc, so that a write past a surface's end is caught.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMapLargeBlocks = false;
#else
constexpr bool kMapLargeBlocks = true;
#endif

} // namespace

PixelMemory::PixelMemory(std::size_t bytes) noexcept
{
    if (!kMapLargeBlocks || bytes < kHugePage) {
        m_pixels = static_cast<std::uint8_t*>(std::calloc(bytes ? bytes : 1, 1));
        return;
    }
    // Huge pages need an aligned start: map one huge page more than asked.
    if (bytes > SIZE_MAX - kHugePage)
        return;
    m_mappingBytes = bytes + kHugePage;
    m_mapping = mmap(nullptr, m_mappingBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (m_mapping == MAP_FAILED) {
        m_mapping = nullptr;
        m_mappingBytes = 0;
        return;
    }
    const auto start = (reinterpret_cast<std::uintptr_t>(m_mapping) + kHugePage - 1) & ~(kHugePage - 1);
    m_pixels = reinterpret_cast<std::uint8_t*>(start);
    // Only advice: without transparent huge pages the memory is as good.
    madvise(m_pixels, bytes, MADV_HUGEPAGE);
}

PixelMemory::~PixelMemory()
{
    release();
}

PixelMemory::PixelMemory(PixelMemory&& other) noexcept
    : m_pixels(std::exchange(other.m_pixels, nullptr))
    , m_mapping(std::exchange(other.m_mapping, nullptr))
    , m_mappingBytes(std::exchange(other.m_mappingBytes, 0))
{
}

PixelMemory& PixelMemory::operator=(PixelMemory&& other) noexcept
{
    if (this != &other) {
        release();
        m_pixels = std::exchange(other.m_pixels, nullptr);
        m_mapping = std::exchange(other.m_mapping, nullptr);
        m_mappingBytes = std::exchange(other.m_mappingBytes, 0);
    }
    return *this;
}

void PixelMemory::release()
{
    if (m_mapping)
        munmap(m_mapping, m_mappingBytes);
    else
        std::free(m_pixels);
    m_pixels = nullptr;
    m_mapping = nullptr;
    m_mappingBytes = 0;
}
