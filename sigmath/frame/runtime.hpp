// sigmath's view of its runtime: all working memory comes from hostrt's
// allocator and all transcendental math from hostrt's exports.
#pragma once

#include "hostrt/hostrt.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <utility>

namespace sigmath::rt {

inline double sin(double x) { return hrt_sin_FLTREG_(x); }
inline double cos(double x) { return hrt_cos_FLTREG_(x); }
inline double tan(double x) { return hrt_tan_FLTREG_(x); }
inline double atan(double x) { return hrt_atan_FLTREG_(x); }
inline double atan2(double y, double x) { return hrt_atan2_FLTREG_(y, x); }
inline double acos(double x) { return hrt_acos_FLTREG_(x); }
inline double asin(double x) { return hrt_asin_FLTREG_(x); }
inline double exp(double x) { return hrt_exp_FLTREG_(x); }
inline double log(double x) { return hrt_log_FLTREG_(x); }
inline double log10(double x) { return hrt_log10_FLTREG_(x); }
inline double pow(double x, double y) { return hrt_pow_FLTREG_(x, y); }
inline double sqrt(double x) { return hrt_sqrt_FLTREG_(x); }
inline double fabs(double x) { return hrt_fabs_FLTREG_(x); }
inline double ceil(double x) { return hrt_ceil_FLTREG_(x); }
inline double floor(double x) { return hrt_floor_FLTREG_(x); }
inline double fmod(double x, double y) { return hrt_fmod_FLTREG_(x, y); }
inline double ldexp(double x, int32_t n) { return hrt_ldexp_FLTREG_(x, n); }

// Owned block of `count` elements from hostrt's heap. Test `ok()` right after
// construction: a failed allocation must become -20001 with nothing leaked,
// which the destructors of the buffers already made guarantee.
template <class T>
class Buffer {
public:
    Buffer() = default;
    explicit Buffer(std::size_t count)
    {
        if (count != 0 && count <= std::numeric_limits<std::size_t>::max() / sizeof(T)) {
            data_ = static_cast<T *>(hrt_malloc(count * sizeof(T)));
            if (data_ != nullptr)
                size_ = count;
        }
    }
    Buffer(const Buffer &) = delete;
    Buffer &operator=(const Buffer &) = delete;
    Buffer(Buffer &&o) noexcept : data_(std::exchange(o.data_, nullptr)), size_(std::exchange(o.size_, 0)) {}
    Buffer &operator=(Buffer &&o) noexcept
    {
        if (this != &o) {
            hrt_free(data_);
            data_ = std::exchange(o.data_, nullptr);
            size_ = std::exchange(o.size_, 0);
        }
        return *this;
    }
    ~Buffer() { hrt_free(data_); }

    bool ok() const { return data_ != nullptr; }
    T *data() { return data_; }
    const T *data() const { return data_; }
    std::size_t size() const { return size_; }
    T &operator[](std::size_t i) { return data_[i]; }
    const T &operator[](std::size_t i) const { return data_[i]; }
    // Hands the block to the caller (released later with FreeAnalysisMem).
    T *release() { size_ = 0; return std::exchange(data_, nullptr); }

private:
    T *data_ = nullptr;
    std::size_t size_ = 0;
};

} // namespace sigmath::rt
