#include "effects/sample_run.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <stdexcept>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define MUGWARP_SAMPLE_AVX2 1
#endif

namespace effects {

namespace {

inline void copyPixel(uchar* to, const uchar* from) {
    to[0] = from[0];
    to[1] = from[1];
    to[2] = from[2];
}

// Writes the program's bilinear sample at (x, y) to the pixel `to`: the result of
// detail::sample, quicker. The blend is done once in single precision on four
// lanes; it lies within 2e-4 of the exact blend (8 roundings of at most 2^-24 relative each,
// on values up to 255), so where it is more than 1e-3 away from a half-integer both round
// alike. Near such a tie the pixel goes through the exact sampler.
[[gnu::always_inline]] inline void samplePixel(uchar* to, double x, double y,
                                               const detail::Raster& source) {
#if defined(__SSE2__)
    if (source.width >= 2 && source.height >= 2) [[likely]] {
        double cx = x, cy = y;
        int left, top;
        const uchar* tl = detail::clampPosition(cx, cy, source, left, top);
        const double truncX = left, truncY = top;
        const __m128 lw = _mm_set1_ps(static_cast<float>(truncX + 1 - cx));
        const __m128 rw = _mm_set1_ps(static_cast<float>(cx - truncX));
        const __m128 tw = _mm_set1_ps(static_cast<float>(truncY + 1 - cy));
        const __m128 bw = _mm_set1_ps(static_cast<float>(cy - truncY));
        const __m128i zero = _mm_setzero_si128();
        // Two neighbours of one row as the lanes blue, green, red (and one to ignore). Eight
        // bytes are read at once where the row has them.
        const bool whole = left + 3 <= source.width;
        const auto pair = [&](const uchar* p, __m128& first, __m128& second) {
            __m128i raw;
            if (whole) [[likely]] {
                raw = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
            } else {
                uint64_t bytes = 0;
                std::memcpy(&bytes, p, 6);
                raw = _mm_cvtsi32_si128(static_cast<int>(bytes));
                raw = _mm_unpacklo_epi32(raw, _mm_cvtsi32_si128(static_cast<int>(bytes >> 32)));
            }
            const __m128i words = _mm_unpacklo_epi8(raw, zero);
            first = _mm_cvtepi32_ps(_mm_unpacklo_epi16(words, zero));
            second = _mm_cvtepi32_ps(_mm_unpacklo_epi16(_mm_srli_si128(words, 6), zero));
        };
        __m128 topLeft, topRight, bottomLeft, bottomRight;
        pair(tl, topLeft, topRight);
        pair(tl + source.stride, bottomLeft, bottomRight);
        const __m128 leftColumn = _mm_add_ps(_mm_mul_ps(topLeft, tw), _mm_mul_ps(bottomLeft, bw));
        const __m128 rightColumn =
            _mm_add_ps(_mm_mul_ps(topRight, tw), _mm_mul_ps(bottomRight, bw));
        const __m128 blend = _mm_add_ps(_mm_mul_ps(leftColumn, lw), _mm_mul_ps(rightColumn, rw));
        const __m128i nearest = _mm_cvttps_epi32(_mm_add_ps(blend, _mm_set1_ps(0.5f)));
        const __m128 off = _mm_sub_ps(blend, _mm_cvtepi32_ps(nearest));
        const __m128 distance = _mm_andnot_ps(_mm_set1_ps(-0.0f), off);
        if ((_mm_movemask_ps(_mm_cmplt_ps(distance, _mm_set1_ps(0.5f - 1e-3f))) & 7) == 7) {
            const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(nearest, zero), zero);
            const uint32_t value = static_cast<uint32_t>(_mm_cvtsi128_si32(bytes));
            std::memcpy(to, &value, 3);
            return;
        }
    }
#endif
    detail::storeColour(to, detail::sample(x, y, source));
}

// Whether runs on this picture can be sampled eight pixels at a time: the processor must have
// 256-bit vectors, the picture two rows and columns, and its offsets must fit 32 bits.
bool wideSampling(const detail::Raster& source) {
#if defined(MUGWARP_SAMPLE_AVX2)
    return __builtin_cpu_supports("avx2") && source.width >= 2 && source.height >= 2 &&
           static_cast<qsizetype>(source.height) * source.stride < (qsizetype{1} << 31) - 64;
#else
    (void)source;
    return false;
#endif
}

// For apply's runs: the pixels of the run in the picture, from (x0, y). A pixel whose source
// position is its own place keeps its colour (the sampler would take the last row and column
// from their neighbours).
struct OwnPlace {
    const uchar* from;
    int x0;
    int y;
    bool at(const double* sx, const double* sy, int k) const {
        return sx[k] == x0 + k && sy[k] == y;
    }
};

// Pixel k of a run, one by one.
[[gnu::always_inline]] inline void runPixel(uchar* to, const double* sx, const double* sy, int k,
                                            const detail::Raster& source, const OwnPlace* own) {
    if (own != nullptr && own->at(sx, sy, k)) {
        copyPixel(to + 3 * k, own->from + 3 * k);
    } else {
        samplePixel(to + 3 * k, sx[k], sy[k], source);
    }
}

#if defined(MUGWARP_SAMPLE_AVX2)
// One channel (the byte at `Shift`) of eight pixels blended from their four neighbours, rounded
// and moved back to its byte; `near` gains the lanes within 1e-3 of a rounding tie.
template <int Shift>
[[gnu::target("avx2"), gnu::always_inline]] inline __m256i blendChannel(
    __m256i topLeft, __m256i topRight, __m256i bottomLeft, __m256i bottomRight, __m256 wx,
    __m256 wy, __m256& near) {
    const __m256i low = _mm256_set1_epi32(0xff);
    const __m256 tl = _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srli_epi32(topLeft, Shift), low));
    const __m256 tr = _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srli_epi32(topRight, Shift), low));
    const __m256 bl =
        _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srli_epi32(bottomLeft, Shift), low));
    const __m256 br =
        _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srli_epi32(bottomRight, Shift), low));
    const __m256 upper = _mm256_add_ps(tl, _mm256_mul_ps(_mm256_sub_ps(tr, tl), wx));
    const __m256 lower = _mm256_add_ps(bl, _mm256_mul_ps(_mm256_sub_ps(br, bl), wx));
    const __m256 blend = _mm256_add_ps(upper, _mm256_mul_ps(_mm256_sub_ps(lower, upper), wy));
    const __m256i nearest = _mm256_cvttps_epi32(_mm256_add_ps(blend, _mm256_set1_ps(0.5f)));
    const __m256 off = _mm256_and_ps(_mm256_sub_ps(blend, _mm256_cvtepi32_ps(nearest)),
                                     _mm256_castsi256_ps(_mm256_set1_epi32(0x7fffffff)));
    near = _mm256_or_ps(near, _mm256_cmp_ps(off, _mm256_set1_ps(0.5f - 1e-3f), _CMP_NLT_UQ));
    return _mm256_slli_epi32(nearest, Shift);
}

// Eight bytes at a and at b, as the low and high half of a vector.
[[gnu::target("avx2"), gnu::always_inline]] inline __m128i eightBytesEach(const uchar* a,
                                                                          const uchar* b) {
    int64_t second;
    std::memcpy(&second, b, 8);
    return _mm_insert_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(a)), second, 1);
}

// The left and right neighbours of eight pixels in one row (`below` bytes under their offsets
// `at`), in 32-bit lanes in pixel order: the rows are read as [p0 p1 | p4 p5] and
// [p2 p3 | p6 p7], eight bytes a pixel, and `split` puts each neighbour in a lane of its own.
[[gnu::target("avx2"), gnu::always_inline]] inline void neighbours(const uchar* bytes,
                                                                   const int* at, qsizetype below,
                                                                   __m256i split, __m256i& left,
                                                                   __m256i& right) {
    const uchar* row = bytes + below;
    const __m256i even =
        _mm256_shuffle_epi8(_mm256_set_m128i(eightBytesEach(row + at[4], row + at[5]),
                                             eightBytesEach(row + at[0], row + at[1])),
                            split);
    const __m256i odd =
        _mm256_shuffle_epi8(_mm256_set_m128i(eightBytesEach(row + at[6], row + at[7]),
                                             eightBytesEach(row + at[2], row + at[3])),
                            split);
    left = _mm256_unpacklo_epi64(even, odd);
    right = _mm256_unpackhi_epi64(even, odd);
}

// samplePixel for eight pixels at a time on 256-bit vectors: the sampler's clamping on four
// doubles at once, the four neighbours read eight bytes at a time, each channel blended in single
// precision (within 1e-4 of the exact blend: as lerps, at most 9 roundings of 2^-17 each on values
// below 256), and the pixels near a rounding tie done again one by one. Handles whole groups
// of eight and returns how many pixels it did.
[[gnu::target("avx2")]] int sampleRunWide(uchar* to, const double* sx, const double* sy, int count,
                                          const detail::Raster& source, const OwnPlace* own) {
    const __m256d zero = _mm256_setzero_pd();
    const __m256d lastX = _mm256_set1_pd(source.width - 2);
    const __m256d lastY = _mm256_set1_pd(source.height - 2);
    const __m256d endY = _mm256_set1_pd(source.height - 1);
    const __m256i stride = _mm256_set1_epi32(static_cast<int>(source.stride));
    const uchar* bytes = source.bits;
    const __m256i lastRead = _mm256_set1_epi32(static_cast<int>(
        static_cast<qsizetype>(source.height) * source.stride - source.stride - 8));
    // Within each half: a pixel's left neighbour (bytes 0-2), its pair's (8-10), then their
    // right neighbours (3-5, 11-13), each in a 32-bit lane.
    const __m256i split = _mm256_setr_epi8(0, 1, 2, -1, 8, 9, 10, -1, 3, 4, 5, -1, 11, 12, 13, -1,
                                           0, 1, 2, -1, 8, 9, 10, -1, 3, 4, 5, -1, 11, 12, 13, -1);
    // Packs the low three bytes of each 32-bit lane: four pixels into twelve bytes per half.
    const __m256i pack = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0,
                                          1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    const __m256d ownRow = _mm256_set1_pd(own != nullptr ? own->y : 0);
    const __m256d steps = _mm256_setr_pd(0, 1, 2, 3);
    int k = 0;
    for (; k + 8 <= count; k += 8) {
        __m128i lefts[2], tops[2];
        __m128 fx[2], fy[2];
        int owned = 0;
        for (int h = 0; h < 2; ++h) {
            const __m256d x = _mm256_loadu_pd(sx + k + 4 * h);
            const __m256d yy = _mm256_loadu_pd(sy + k + 4 * h);
            if (own != nullptr) {
                const __m256d place = _mm256_add_pd(_mm256_set1_pd(own->x0 + k + 4 * h), steps);
                owned |= _mm256_movemask_pd(_mm256_and_pd(_mm256_cmp_pd(x, place, _CMP_EQ_OQ),
                                                          _mm256_cmp_pd(yy, ownRow, _CMP_EQ_OQ)))
                         << (4 * h);
            }
            // y >= H - 1 (or NaN) becomes H - 2, y < 0 becomes 0; x < 0 (or NaN) becomes 0,
            // x > W - 2 becomes W - 2.
            __m256d cy = _mm256_blendv_pd(lastY, yy, _mm256_cmp_pd(yy, endY, _CMP_LT_OQ));
            cy = _mm256_max_pd(cy, zero);
            const __m256d cx = _mm256_min_pd(_mm256_max_pd(x, zero), lastX);
            lefts[h] = _mm256_cvttpd_epi32(cx);
            tops[h] = _mm256_cvttpd_epi32(cy);
            fx[h] = _mm256_cvtpd_ps(_mm256_sub_pd(cx, _mm256_cvtepi32_pd(lefts[h])));
            fy[h] = _mm256_cvtpd_ps(_mm256_sub_pd(cy, _mm256_cvtepi32_pd(tops[h])));
        }
        const __m256i left = _mm256_set_m128i(lefts[1], lefts[0]);
        const __m256i top = _mm256_set_m128i(tops[1], tops[0]);
        const __m256 wx = _mm256_set_m128(fx[1], fx[0]);
        const __m256 wy = _mm256_set_m128(fy[1], fy[0]);
        const __m256i offset = _mm256_add_epi32(
            _mm256_mullo_epi32(top, stride), _mm256_add_epi32(left, _mm256_add_epi32(left, left)));
        // Each pixel's two neighbours in a row are read as eight bytes at once, which must
        // not pass the picture's end (only the last row's last pixels come near it).
        if (_mm256_movemask_epi8(_mm256_cmpgt_epi32(offset, lastRead)) != 0) [[unlikely]] {
            for (int i = k; i < k + 8; ++i) {
                runPixel(to, sx, sy, i, source, own);
            }
            continue;
        }
        alignas(32) int at[8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(at), offset);
        __m256i topLeft, topRight, bottomLeft, bottomRight;
        neighbours(bytes, at, 0, split, topLeft, topRight);
        neighbours(bytes, at, source.stride, split, bottomLeft, bottomRight);
        __m256 near = _mm256_setzero_ps();
        const __m256i result = _mm256_or_si256(
            _mm256_or_si256(
                blendChannel<0>(topLeft, topRight, bottomLeft, bottomRight, wx, wy, near),
                blendChannel<8>(topLeft, topRight, bottomLeft, bottomRight, wx, wy, near)),
            blendChannel<16>(topLeft, topRight, bottomLeft, bottomRight, wx, wy, near));
        const __m256i packed = _mm256_shuffle_epi8(result, pack);
        uchar* out = to + 3 * k;
        const __m128i first = _mm256_castsi256_si128(packed);
        const __m128i second = _mm256_extracti128_si256(packed, 1);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), first);
        const int firstTail = _mm_cvtsi128_si32(_mm_srli_si128(first, 8));
        std::memcpy(out + 8, &firstTail, 4);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 12), second);
        const int secondTail = _mm_cvtsi128_si32(_mm_srli_si128(second, 8));
        std::memcpy(out + 20, &secondTail, 4);
        for (int again = _mm256_movemask_ps(near) | owned; again != 0; again &= again - 1) {
            const int i = k + std::countr_zero(static_cast<unsigned>(again));
            if ((owned >> (i - k) & 1) != 0) {
                copyPixel(to + 3 * i, own->from + 3 * i);
            } else {
                double x = sx[i], y = sy[i];
                detail::storeColour(to + 3 * i, detail::sample(x, y, source));
            }
        }
    }
    return k;
}
#endif

}  // namespace

SampleRun::SampleRun(const QImage& source) : raster_(source), wide_(wideSampling(raster_)) {
    if (source.format() != QImage::Format_BGR888) {
        throw std::invalid_argument("SampleRun needs a Format_BGR888 picture");
    }
}

void SampleRun::runOwn(uchar* to, const double* sx, const double* sy, int count,
                       const void* ownPlace) const {
    const auto* own = static_cast<const OwnPlace*>(ownPlace);
    int k = 0;
#if defined(MUGWARP_SAMPLE_AVX2)
    if (wide_) {
        k = sampleRunWide(to, sx, sy, count, raster_, own);
    }
#endif
    for (; k < count; ++k) {
        runPixel(to, sx, sy, k, raster_, own);
    }
}

void SampleRun::run(uchar* to, const double* sx, const double* sy, int count) const {
    runOwn(to, sx, sy, count, nullptr);
}

void SampleRun::runKeepingOwn(uchar* to, const double* sx, const double* sy, int count,
                              const uchar* own, int x0, int y) const {
    const OwnPlace place{own, x0, y};
    runOwn(to, sx, sy, count, &place);
}

}  // namespace effects
