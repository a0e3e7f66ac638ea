// Bilinear and nearest sampling of byte planes (24-bit rows, alpha planes, 8-bit indices).
// Per-column sample positions are worked out once, so the row loops only read and blend.
// Bilinear rows are made one at a time (BilinearRows): the two source rows they lie between
// are converted to floats once for all the target rows between them (and, on the AVX2 path,
// searched for stretches that are one value on all those rows), and the column stage runs
// byte by byte, four bytes per SSE2 step or 32 per AVX2 step, with identical bytes.
#include "image/RasterGeometrySupport.h"
#include "image/resample/RasterResampleKernels.h"

#include <algorithm>
#include <cstring>

#include "image/resample/RasterSamplingAvx2.h"
#include "image/resample/RasterSamplingAvx512.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace raster_resample {

namespace {

using raster_geometry::AllocateArray;
using raster_geometry::MallocArray;

constexpr size_t kPadFloats = 16;  // vector loads read up to sixteen values past an index

// The vector paths below do per lane exactly the float operations of RowBlend and
// ColumnBlend, in the same order (IEEE single precision, no fused multiply-add), so they
// give the same bytes as the scalar code that finishes each row.

// The two source rows of a target row as floats: top[k] = float(c1), rise[k] = float(c3 - c1),
// so that RowBlend is top + rise * dy. Target rows between the same source rows share them.
void RowPair(const uint8_t* r0, const uint8_t* r1, float* top, float* rise, size_t count) {
    size_t k = 0;
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128();
    for (; k + 8 <= count; k += 8) {
        const __m128i a = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(r0 + k)), zero);
        const __m128i b = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(r1 + k)), zero);
        const __m128i aLow = _mm_unpacklo_epi16(a, zero);
        const __m128i aHigh = _mm_unpackhi_epi16(a, zero);
        _mm_storeu_ps(top + k, _mm_cvtepi32_ps(aLow));
        _mm_storeu_ps(top + k + 4, _mm_cvtepi32_ps(aHigh));
        _mm_storeu_ps(rise + k, _mm_cvtepi32_ps(_mm_sub_epi32(_mm_unpacklo_epi16(b, zero), aLow)));
        _mm_storeu_ps(rise + k + 4, _mm_cvtepi32_ps(_mm_sub_epi32(_mm_unpackhi_epi16(b, zero), aHigh)));
    }
#endif
    for (; k < count; ++k) {
        top[k] = float(r0[k]);
        rise[k] = float(int(r1[k]) - int(r0[k]));
    }
}

// out[k] = top[k] + rise[k] * dy: RowBlend for a whole row.
void BlendRowPair(const float* top, const float* rise, float dy, float* out, size_t count) {
    size_t k = 0;
#ifdef __SSE2__
    const __m128 vdy = _mm_set1_ps(dy);
    for (; k + 4 <= count; k += 4) {
        _mm_storeu_ps(out + k, _mm_add_ps(_mm_loadu_ps(top + k), _mm_mul_ps(_mm_loadu_ps(rise + k), vdy)));
    }
#endif
    for (; k < count; ++k) out[k] = top[k] + rise[k] * dy;
}

// step[k] = low[k + channels] - low[k] for k in [first, end), the b - a of ColumnBlend; 0 for
// the last column, whose right neighbour is itself. low must hold the values up to the
// neighbours of those k.
void ColumnSteps(const float* low, size_t first, size_t end, size_t count, int channels, float* step) {
    const size_t inner = std::min(end, count - size_t(channels));
    size_t k = first;
#ifdef __SSE2__
    for (; k + 4 <= inner; k += 4) {
        _mm_storeu_ps(step + k, _mm_sub_ps(_mm_loadu_ps(low + k + channels), _mm_loadu_ps(low + k)));
    }
#endif
    for (; k < inner; ++k) step[k] = low[k + channels] - low[k];
    for (; k < end; ++k) step[k] = 0.0f;
}

inline uint8_t SampleByte(const float* low, const float* step, uint32_t index, float dx) {
    const auto v = int32_t(low[index] + step[index] * dx);
    return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
}

// Target bytes first .. last - 1 one at a time.
void SampleBytes(const float* low, const float* step, const uint32_t* index, const float* dx, size_t first,
                 size_t last, uint8_t* out) {
    for (size_t i = first; i < last; ++i) out[i] = SampleByte(low, step, index[i], dx[i]);
}

#ifdef __SSE2__
// trunc(a + step * dx) per lane, saturated to 0..255 (the clamp of ColumnBlend); the four
// bytes end up in the low 32 bits.
inline uint32_t SampleFour(__m128 a, __m128 step, __m128 dx) {
    const __m128i v = _mm_cvttps_epi32(_mm_add_ps(a, _mm_mul_ps(step, dx)));
    const __m128i words = _mm_packs_epi32(v, v);
    return uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(words, words)));
}

// Four target bytes at a time, their source values picked one by one.
size_t SampleBytesBySse2(const float* low, const float* step, const uint32_t* index, const float* dx, size_t first,
                         size_t count, uint8_t* out) {
    size_t i = first;
    for (; i + 4 <= count; i += 4) {
        const uint32_t* k = index + i;
        const __m128 a = _mm_setr_ps(low[k[0]], low[k[1]], low[k[2]], low[k[3]]);
        const __m128 d = _mm_setr_ps(step[k[0]], step[k[1]], step[k[2]], step[k[3]]);
        const uint32_t bytes = SampleFour(a, d, _mm_loadu_ps(dx + i));
        std::memcpy(out + i, &bytes, 4);
    }
    return i;
}
#endif

// Each target row blends two source rows once for all columns; the target pixels then
// blend two of those column values (the same arithmetic as blending four pixels each). A row
// between the same two equal source rows as the one before it is that row again.
Outcome Interpolate(const SourcePlane& source, const TargetPlane& target, int channels, Scale scale, Stopper stop) {
    BilinearRows rows;
    if (!rows.Prepare(source, target.width, channels, scale)) return Outcome::NoMemory;
    for (uint32_t y = 0; y < target.height; ++y) {
        if (stop()) return Outcome::Stopped;
        uint8_t* out = target.bits + size_t(y) * target.stride;
        rows.SelectRow(y);
        if (rows.RowRepeats()) {
            std::memcpy(out, out - target.stride, rows.RowBytes());
        } else {
            rows.SampleRange(0, rows.RowBytes(), out);
        }
    }
    return Outcome::Done;
}

template <int B>
Outcome Pick(const SourcePlane& source, const TargetPlane& target, Scale scale, Stopper stop) {
    MallocArray<size_t> columns = AllocateArray<size_t>(target.width);
    if (!columns) return Outcome::NoMemory;
    for (uint32_t x = 0; x < target.width; ++x) columns[x] = size_t(ScaledIndex(x, scale.x, source.width)) * B;
    for (uint32_t y = 0; y < target.height; ++y) {
        if (stop()) return Outcome::Stopped;
        const uint8_t* row = source.bits + size_t(ScaledIndex(y, scale.y, source.height)) * source.stride;
        uint8_t* out = target.bits + size_t(y) * target.stride;
        for (uint32_t x = 0; x < target.width; ++x, out += B) {
            const uint8_t* p = row + columns[x];
            for (int j = 0; j < B; ++j) out[j] = p[j];
        }
    }
    return Outcome::Done;
}

}  // namespace

bool BilinearRows::Prepare(const SourcePlane& source, uint32_t targetWidth, int channels, Scale scale, BlendPath path) {
    m_source = source;
    m_scaleY = scale.y;
    m_channels = channels;
    m_path = path;
    m_rowFloats = size_t(source.width) * size_t(channels);
    m_count = size_t(targetWidth) * size_t(channels);
    if (m_rowFloats == 0 || m_count == 0 || m_rowFloats > UINT32_MAX - kPadFloats) return false;
    const size_t groups = m_count / kSampleGroup;
    const size_t blocks = m_count / kSampleBlock;
    m_useAvx2 = UsesAvx2(path);
    m_useAvx512 = path == BlendPath::Avx512 && Avx512SamplingAvailable() &&
                  m_rowFloats + kPadFloats < kScatteredWideGroup;
    m_index = AllocateArray<uint32_t>(m_count);
    m_dx = AllocateArray<float>(m_count);
    m_groups = AllocateArray<uint64_t>(groups + 1);
    m_flat = AllocateArray<int16_t>(blocks + 1);
    m_blockSpan = AllocateArray<uint64_t>(blocks + 1);
    if (m_useAvx512) {
        m_wideBases = AllocateArray<uint32_t>(m_count / kWideGroup + 1);
        m_wideOffsets = AllocateArray<uint64_t>(m_count / kWideGroup + 1);
        m_still = AllocateArray<uint64_t>(m_rowFloats / 64 + 2);
        m_level = AllocateArray<uint64_t>(m_rowFloats / 64 + 2);
        if (!m_wideBases || !m_wideOffsets || !m_still || !m_level) return false;
    }
    m_low = AllocateArray<float>(m_rowFloats + kPadFloats);
    m_step = AllocateArray<float>(m_rowFloats + kPadFloats);
    m_top = AllocateArray<float>(m_rowFloats + kFlatReach);
    m_rise = AllocateArray<float>(m_rowFloats + kFlatReach);
    m_havePair = false;
    m_repeats = false;
    if (!m_index || !m_dx || !m_groups || !m_flat || !m_blockSpan || !m_low || !m_step || !m_top ||
        !m_rise) {
        return false;
    }
    // Rows blend only the values their bytes read; the vector loads also read neighbours that
    // no byte takes, which must at least be numbers.
    std::fill(m_low.get(), m_low.get() + m_rowFloats + kPadFloats, 0.0f);
    std::fill(m_step.get(), m_step.get() + m_rowFloats + kPadFloats, 0.0f);
    std::fill(m_top.get() + m_rowFloats, m_top.get() + m_rowFloats + kFlatReach, 0.0f);
    std::fill(m_rise.get() + m_rowFloats, m_rise.get() + m_rowFloats + kFlatReach, 0.0f);
    for (uint32_t x = 0; x < targetWidth; ++x) {
        const SamplePosition p = BilinearPosition(x, scale.x, source.width);
        for (int j = 0; j < channels; ++j) {
            const size_t i = size_t(x) * size_t(channels) + size_t(j);
            m_index[i] = p.index * uint32_t(channels) + uint32_t(j);
            m_dx[i] = p.fraction;
        }
    }
    // Each group of eight bytes: its lowest source index and every byte's distance from it.
    for (size_t g = 0; g < groups; ++g) {
        const uint32_t* index = m_index.get() + g * kSampleGroup;
        const uint32_t base = *std::min_element(index, index + kSampleGroup);
        uint32_t offsets = 0;
        for (size_t j = 0; j < kSampleGroup; ++j) {
            const uint32_t offset = index[j] - base;
            if (offset >= kSampleGroup) {
                offsets = kScatteredGroup;
                break;
            }
            offsets |= offset << (4 * j);
        }
        m_groups[g] = uint64_t(base) | uint64_t(offsets) << 32;
    }
    // Each wide group of the 512-bit path: its lowest source index and every byte's distance.
    for (size_t w = 0; m_useAvx512 && w < m_count / kWideGroup; ++w) {
        const uint32_t* index = m_index.get() + w * kWideGroup;
        const uint32_t base = *std::min_element(index, index + kWideGroup);
        m_wideBases[w] = PackWideOffsets(index, base, m_wideOffsets[w]) ? base : kScatteredWideGroup;
    }
    // Each block of the AVX2 path: the lowest and the highest source value it reads.
    for (size_t b = 0; b < blocks; ++b) {
        const uint32_t* index = m_index.get() + b * kSampleBlock;
        const auto [lo, hi] = std::minmax_element(index, index + kSampleBlock);
        m_blockSpan[b] = uint64_t(*lo) | uint64_t(*hi) << 32;
    }
    return true;
}

void BilinearRows::SelectRow(uint32_t y) {
    const SamplePosition row = BilinearPosition(y, m_scaleY, m_source.height);
    const bool samePair = m_havePair && row.index == m_pair.index && row.next == m_pair.next;
    if (!samePair) PairSourceRows(row);
    m_repeats = samePair && m_pairStill;
    m_dy = row.fraction;
}

void BilinearRows::PairSourceRows(const SamplePosition& row) {
    const uint8_t* r0 = m_source.bits + size_t(row.index) * m_source.stride;
    const uint8_t* r1 = m_source.bits + size_t(row.next) * m_source.stride;
    m_pair = row;
    m_havePair = true;
    m_pairStill = r0 == r1 || std::memcmp(r0, r1, m_rowFloats) == 0;
#if defined(RASTER_BLEND_AVX2)
    if (m_useAvx512) {
        // The same pairing and flat blocks from bitmaps of the bytes, 64 values per compare.
        rasteravx512::PairRows(r0, r1, m_rowFloats, m_top.get(), m_rise.get(), m_still.get(), m_level.get());
        rasteravx512::FindFlatBlocks(r0, m_still.get(), m_level.get(), m_blockSpan.get(), m_count / kSampleBlock,
                                     m_rowFloats, size_t(m_channels), m_flat.get());
        return;
    }
#endif
    RowPair(r0, r1, m_top.get(), m_rise.get(), m_rowFloats);
#if defined(RASTER_BLEND_AVX2)
    // A source value is still when the second row equals the first there (rise 0): then every
    // target row between them has that value there, whatever its dy. A block is flat when all
    // the values it reads, and the right neighbours its steps take, are still and equal: every
    // byte of it is then trunc(top + 0 * dy + 0 * dx) = that value, on every row of the pair.
    if (m_useAvx2) {
        rasteravx2::FindFlatBlocks(m_top.get(), m_rise.get(), m_blockSpan.get(), m_count / kSampleBlock, m_rowFloats,
                                   size_t(m_channels), m_flat.get());
    }
#endif
}

void BilinearRows::BlendSourceRows(size_t first, size_t end) {
#if defined(RASTER_BLEND_AVX2)
    if (m_useAvx512) {
        rasteravx512::BlendRowPairSteps(m_top.get(), m_rise.get(), m_dy, first, end, m_rowFloats, size_t(m_channels),
                                        m_low.get(), m_step.get());
        return;
    }
    if (m_useAvx2) {
        rasteravx2::BlendRowPairSteps(m_top.get(), m_rise.get(), m_dy, first, end, m_rowFloats, size_t(m_channels),
                                      m_low.get(), m_step.get());
        return;
    }
#endif
    // The steps read the right neighbours' blends too.
    const size_t reach = std::min(end + size_t(m_channels), m_rowFloats);
    BlendRowPair(m_top.get() + first, m_rise.get() + first, m_dy, m_low.get() + first, reach - first);
    ColumnSteps(m_low.get(), first, end, m_rowFloats, m_channels, m_step.get());
}

void BilinearRows::SampleRange(size_t first, size_t last, uint8_t* out) {
    if (last > m_count) last = m_count;
    if (first >= last) return;
    // Source pixels never go backwards as target pixels go forwards: the bytes read the
    // values of the pixels from first's to last's, and only those are blended.
    const auto channels = size_t(m_channels);
    const size_t lowest = m_index[first] - m_index[first] % channels;
    const size_t highest = m_index[last - 1] - m_index[last - 1] % channels + channels;
    BlendSourceRows(lowest, highest);
    const float* low = m_low.get();
    const float* step = m_step.get();
    size_t i = first;
#if defined(RASTER_BLEND_AVX2)
    if (m_useAvx2 && i < last) {
        // The AVX2 blocks lie at multiples of their size from the start of the row.
        const size_t blockStart = std::min(last, (i + kSampleBlock - 1) / kSampleBlock * kSampleBlock);
        SampleBytes(low, step, m_index.get(), m_dx.get(), i, blockStart, out);
        i = blockStart;
        // The 512-bit path leaves a step with a scattered wide group, and a last block, to the
        // AVX2 path; that one leaves a block of scattered groups (source columns skipped) to
        // the byte by byte path.
        while (i + kSampleBlock <= last) {
            if (m_useAvx512) {
                i = rasteravx512::SampleColumns(low, step, m_wideBases.get(), m_wideOffsets.get(), m_flat.get(),
                                                m_dx.get(), i, last, out);
            }
            const size_t stretchEnd = m_useAvx512 ? std::min(last, i + kWideBlock) : last;
            i = rasteravx2::SampleColumns(low, step, m_groups.get(), m_flat.get(), m_dx.get(), i, stretchEnd, out);
            if (i + kSampleBlock <= stretchEnd) {
                SampleBytes(low, step, m_index.get(), m_dx.get(), i, i + kSampleBlock, out);
                i += kSampleBlock;
            }
        }
    }
#endif
#ifdef __SSE2__
    if (m_path != BlendPath::Table) i = SampleBytesBySse2(low, step, m_index.get(), m_dx.get(), i, last, out);
#endif
    SampleBytes(low, step, m_index.get(), m_dx.get(), i, last, out);
}

void BilinearRows::Sample(uint32_t y, uint8_t* out) {
    SelectRow(y);
    SampleRange(0, m_count, out);
}

Outcome Bilinear(const SourcePlane& source, const TargetPlane& target, int channels, Scale scale, Stopper stop) {
    return Interpolate(source, target, channels, scale, stop);
}

Outcome Nearest(const SourcePlane& source, const TargetPlane& target, int bytesPerPixel, Scale scale, Stopper stop) {
    return bytesPerPixel == 3 ? Pick<3>(source, target, scale, stop) : Pick<1>(source, target, scale, stop);
}

}  // namespace raster_resample
