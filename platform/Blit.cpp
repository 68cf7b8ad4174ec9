#include "platform/Blit.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

using Wide = __int128;

Wide ceilDiv(Wide a, Wide b)
{
    return a >= 0 ? (a + b - 1) / b : -(-a / b);
}

// Which destination positions along one axis a blit writes, and the source
// position each of them reads: s(d) = sourceBegin + (d - destBegin) * sourceSize / destSize.
struct AxisMap {
    int begin = 0;
    int end = 0;
    bool identity = true;
    int offset = 0; // source = dest + offset, when identity
    std::vector<int> source; // source[d - begin], otherwise

    int at(int d) const { return identity ? d + offset : source[size_t(d - begin)]; }
};

AxisMap mapAxis(LONG destBegin, LONG destEnd, int destLimit, LONG sourceBegin, LONG sourceEnd, int sourceLimit)
{
    const Wide dW = Wide(destEnd) - destBegin;
    const Wide sW = Wide(sourceEnd) - sourceBegin;
    Wide lo = std::max<Wide>(destBegin, 0);
    Wide hi = std::min<Wide>(destEnd, destLimit);
    // Keep only positions whose source lies in [0, sourceLimit).
    if (sourceBegin < 0)
        lo = std::max(lo, destBegin + ceilDiv(-Wide(sourceBegin) * dW, sW));
    hi = std::min(hi, destBegin + ceilDiv((Wide(sourceLimit) - sourceBegin) * dW, sW));

    AxisMap map;
    if (lo >= hi)
        return map;
    map.begin = int(lo);
    map.end = int(hi);
    map.identity = dW == sW;
    if (map.identity) {
        map.offset = int(Wide(sourceBegin) - destBegin);
        return map;
    }
    map.source.resize(size_t(map.end - map.begin));
    for (int d = map.begin; d < map.end; ++d)
        map.source[size_t(d - map.begin)] = int(sourceBegin + (Wide(d) - destBegin) * sW / dW);
    return map;
}

// The keyed copy is the hot loop of every frame: a branch-free select over
// fixed-size blocks, which the compiler turns into vector compares and
// blends even at -O2 (a block's trip count is known), then a short tail.
template<typename Pixel> void keyedRow(Pixel* __restrict dest, const Pixel* __restrict source, int count, Pixel key)
{
    constexpr int kBlock = 64 / sizeof(Pixel);
    int i = 0;
    for (; i + kBlock <= count; i += kBlock) {
        for (int j = 0; j < kBlock; ++j) {
            const Pixel value = source[i + j];
            dest[i + j] = value == key ? dest[i + j] : value;
        }
    }
    for (; i < count; ++i) {
        const Pixel value = source[i];
        dest[i] = value == key ? dest[i] : value;
    }
}

template<typename Pixel>
void stretchedRow(
    Pixel* __restrict dest, const Pixel* __restrict source, const int* columns, int count, std::optional<Pixel> key)
{
    if (key) {
        for (int i = 0; i < count; ++i) {
            const Pixel value = source[columns[i]];
            dest[i] = value == *key ? dest[i] : value;
        }
    } else {
        for (int i = 0; i < count; ++i)
            dest[i] = source[columns[i]];
    }
}

template<typename Pixel>
void copyRows(
    const PixelBuffer& dest, const PixelBuffer& source, const AxisMap& xs, const AxisMap& ys, std::optional<DWORD> key)
{
    const int count = xs.end - xs.begin;
    const std::optional<Pixel> pixelKey = key ? std::optional<Pixel>(Pixel(*key)) : std::nullopt;
    for (int y = ys.begin; y < ys.end; ++y) {
        auto* out = reinterpret_cast<Pixel*>(dest.bits + size_t(y) * size_t(dest.pitch)) + xs.begin;
        const auto* in = reinterpret_cast<const Pixel*>(source.bits + size_t(ys.at(y)) * size_t(source.pitch));
        if (!xs.identity)
            stretchedRow<Pixel>(out, in, xs.source.data(), count, pixelKey);
        else if (pixelKey)
            keyedRow<Pixel>(out, in + xs.begin + xs.offset, count, *pixelKey);
        else
            std::memcpy(out, in + xs.begin + xs.offset, size_t(count) * sizeof(Pixel));
    }
}

template<typename Pixel> void fillRows(const PixelBuffer& dest, int left, int top, int right, int bottom, Pixel value)
{
    for (int y = top; y < bottom; ++y) {
        auto* row = reinterpret_cast<Pixel*>(dest.bits + size_t(y) * size_t(dest.pitch));
        std::fill(row + left, row + right, value);
    }
}

} // namespace

void FillPixels(const PixelBuffer& dest, const RECT& rect, DWORD value)
{
    const int left = int(std::clamp<LONG>(rect.left, 0, dest.width));
    const int right = int(std::clamp<LONG>(rect.right, 0, dest.width));
    const int top = int(std::clamp<LONG>(rect.top, 0, dest.height));
    const int bottom = int(std::clamp<LONG>(rect.bottom, 0, dest.height));
    if (left >= right || top >= bottom)
        return;
    switch (dest.bytesPerPixel) {
    case 4:
        fillRows<std::uint32_t>(dest, left, top, right, bottom, value);
        break;
    case 2:
        fillRows<std::uint16_t>(dest, left, top, right, bottom, std::uint16_t(value));
        break;
    default:
        fillRows<std::uint8_t>(dest, left, top, right, bottom, std::uint8_t(value));
    }
}

void CopyPixels(const PixelBuffer& dest, const RECT& destRect, const PixelBuffer& source, const RECT& sourceRect,
    std::optional<DWORD> key)
{
    const AxisMap xs
        = mapAxis(destRect.left, destRect.right, dest.width, sourceRect.left, sourceRect.right, source.width);
    const AxisMap ys
        = mapAxis(destRect.top, destRect.bottom, dest.height, sourceRect.top, sourceRect.bottom, source.height);
    if (xs.begin >= xs.end || ys.begin >= ys.end)
        return;
    switch (dest.bytesPerPixel) {
    case 4:
        copyRows<std::uint32_t>(dest, source, xs, ys, key);
        break;
    case 2:
        copyRows<std::uint16_t>(dest, source, xs, ys, key);
        break;
    default:
        copyRows<std::uint8_t>(dest, source, xs, ys, key);
    }
}
