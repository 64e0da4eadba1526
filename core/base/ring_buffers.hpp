// Fixed-capacity ring buffers: a wrapping write cursor, a fill counter,
// access by logical position (0 = oldest once the ring has wrapped) and
// whole-buffer statistics for the numeric kinds. One template holds the
// shared logic; the four named kinds differ only in element type, the start
// values of Min/Max and whether Add keeps a smoothed mean.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

namespace vibrolan {

// Result of MinMaxMean.
struct TMMM {
    float Min = 0;
    float Max = 0;
    double Mean = 0;
    friend bool operator==(const TMMM &, const TMMM &) = default;
};

// Storage, cursor and counter shared by every ring kind.
template <typename T> class TRingCore {
public:
    // Storage is zeroed (a choice of ours: callers that read a ring before it
    // has wrapped see zeros rather than garbage). A negative capacity is refused.
    explicit TRingCore(int Sz);

    std::uint32_t size() const { return Size; }
    std::uint32_t innInd() const { return InnInd; }
    std::uint32_t completeness() const { return fcompleteness; }
    void setCompleteness(std::uint32_t value) { fcompleteness = value; }

    // Appends the first N elements of x in order. The counter grows by N only
    // while it is below Size, so it may end above Size (8 + 5 -> 13 for Size 10).
    void Add(const T *x, int N)
    {
        addWith(x, N, [](T) {});
    }
    void Add(std::span<const T> x) { Add(x.data(), static_cast<int>(x.size())); }

    // Writes x into every slot and restarts the counter; the cursor stays.
    void Fill(T x);

    // Copies all slots in logical order; a destination shorter than Size is
    // refused (ValueError) before anything is written.
    void GetRow(std::span<T> row) const;

    T GetX(std::uint32_t ind) const;
    void SetX(std::uint32_t ind, T x);

    // Physical storage, for tests and statistics.
    std::span<const T> physical() const { return Base; }

protected:
    // The shared Add loop; onEach sees every stored element (the smoothing kinds
    // update their running mean there).
    template <typename F> void addWith(const T *x, int N, F onEach)
    {
        if (N <= 0)
            return;
        requireCapacity();
        for (int k = 0; k < N; ++k) {
            Base[InnInd] = x[k];
            onEach(x[k]);
            InnInd = (InnInd + 1) % Size;
        }
        if (fcompleteness < Size)
            fcompleteness += static_cast<std::uint32_t>(N);
    }
    void requireCapacity() const;
    std::uint32_t logicalOf(std::uint32_t physical) const { return (physical + Size - InnInd) % Size; }

    std::uint32_t fcompleteness = 0;
    std::vector<T> Base;
    std::uint32_t InnInd = 0;
    std::uint32_t Size = 0;
};

// Numeric kinds. MinMaxT is the type Minv/Maxv are held in; Smoothed selects
// the exponentially smoothed running mean of Add (and the Smooth property).
template <typename T, typename MinMaxT, typename RmsT, bool Smoothed>
class TNumericRing : public TRingCore<T> {
public:
    explicit TNumericRing(int Sz);

    // One-element Add exists only on the smoothing kinds, as in the original family.
    void Add(T x) requires Smoothed { Add(&x, 1); }
    void Add(const T *x, int N)
    {
        this->addWith(x, N, [&](T v) {
            if constexpr (Smoothed)
                Meanv = (1.0 - alfa) * Meanv + alfa * static_cast<double>(v);
        });
    }
    void Add(std::span<const T> x) { Add(x.data(), static_cast<int>(x.size())); }

    T Min();
    T Max();
    TMMM MinMaxMean();
    RmsT RMS();
    double Smooth() const requires Smoothed { return Meanv; }

    std::uint32_t indOfMin() const { return IndOfMin; }
    std::uint32_t indOfMax() const { return IndOfMax; }
    double meanv() const { return Meanv; }

    static constexpr MinMaxT startMin();
    static constexpr MinMaxT startMax();

private:
    std::uint32_t IndOfMin = 0;
    std::uint32_t IndOfMax = 0;
    MinMaxT Minv;
    MinMaxT Maxv;
    double Meanv = 0;
    double RMSv = 0;
    double alfa = 0.1;
};

using TCBuff = TNumericRing<float, double, float, true>;
using TCDBuff = TNumericRing<double, double, double, true>;
using TCCardBuff = TNumericRing<std::uint32_t, std::uint32_t, float, false>;
using TCByteBuff = TRingCore<std::uint8_t>;

// ---------------------------------------------------------------------------

template <typename T, typename MinMaxT, typename RmsT, bool Smoothed>
constexpr MinMaxT TNumericRing<T, MinMaxT, RmsT, Smoothed>::startMin()
{
    if constexpr (std::is_same_v<T, float>)
        return static_cast<MinMaxT>(std::numeric_limits<float>::max());
    else
        return std::numeric_limits<MinMaxT>::max();
}

template <typename T, typename MinMaxT, typename RmsT, bool Smoothed>
constexpr MinMaxT TNumericRing<T, MinMaxT, RmsT, Smoothed>::startMax()
{
    if constexpr (std::is_same_v<T, float>)
        return -static_cast<MinMaxT>(std::numeric_limits<float>::max());
    else if constexpr (std::is_floating_point_v<MinMaxT>)
        return -std::numeric_limits<MinMaxT>::max();
    else
        return 0;
}

template <typename T, typename MinMaxT, typename RmsT, bool Smoothed>
TNumericRing<T, MinMaxT, RmsT, Smoothed>::TNumericRing(int Sz)
    : TRingCore<T>(Sz), Minv(startMin()), Maxv(startMax())
{
}

template <typename T, typename MinMaxT, typename RmsT, bool Smoothed>
T TNumericRing<T, MinMaxT, RmsT, Smoothed>::Min()
{
    if (this->Size == 0)
        return 0;
    Minv = startMin();
    for (std::uint32_t i = 0; i < this->Size; ++i) {
        if (static_cast<MinMaxT>(this->Base[i]) < Minv) {
            Minv = this->Base[i];
            IndOfMin = this->logicalOf(i);
        }
    }
    return static_cast<T>(Minv);
}

template <typename T, typename MinMaxT, typename RmsT, bool Smoothed>
T TNumericRing<T, MinMaxT, RmsT, Smoothed>::Max()
{
    if (this->Size == 0)
        return 0;
    Maxv = startMax();
    for (std::uint32_t i = 0; i < this->Size; ++i) {
        if (static_cast<MinMaxT>(this->Base[i]) > Maxv) {
            Maxv = this->Base[i];
            IndOfMax = this->logicalOf(i);
        }
    }
    return static_cast<T>(Maxv);
}

template <typename T, typename MinMaxT, typename RmsT, bool Smoothed>
TMMM TNumericRing<T, MinMaxT, RmsT, Smoothed>::MinMaxMean()
{
    Maxv = startMax();
    Minv = startMin();
    Meanv = 0;
    for (std::uint32_t i = 0; i < this->Size; ++i) {
        const auto v = static_cast<MinMaxT>(this->Base[i]);
        if (v > Maxv)
            Maxv = v;
        if (v < Minv)
            Minv = v;
    }
    // The sum is taken around the mid-range to keep it small.
    const double mid = (static_cast<double>(Maxv) + static_cast<double>(Minv)) / 2.0;
    for (std::uint32_t i = 0; i < this->Size; ++i)
        Meanv += static_cast<double>(this->Base[i]) - mid;
    Meanv = mid + Meanv / static_cast<double>(this->Size);
    return TMMM{static_cast<float>(Minv), static_cast<float>(Maxv), Meanv};
}

template <typename T, typename MinMaxT, typename RmsT, bool Smoothed>
RmsT TNumericRing<T, MinMaxT, RmsT, Smoothed>::RMS()
{
    RMSv = 0;
    for (std::uint32_t i = 0; i < this->Size; ++i) {
        const double d = static_cast<double>(this->Base[i]) - Meanv;
        RMSv += d * d;
    }
    RMSv = std::sqrt(RMSv / (static_cast<double>(this->Size) - 1.0));
    return static_cast<RmsT>(RMSv);
}

extern template class TRingCore<float>;
extern template class TRingCore<double>;
extern template class TRingCore<std::uint32_t>;
extern template class TRingCore<std::uint8_t>;
extern template class TNumericRing<float, double, float, true>;
extern template class TNumericRing<double, double, double, true>;
extern template class TNumericRing<std::uint32_t, std::uint32_t, float, false>;

} // namespace vibrolan
