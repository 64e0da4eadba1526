#include "base/ring_buffers.hpp"

#include "base/errors.hpp"

#include <string>

namespace vibrolan {

template <typename T> TRingCore<T>::TRingCore(int Sz)
{
    if (Sz < 0)
        throw ValueError("ring buffer capacity must not be negative (" + std::to_string(Sz) + ")");
    Size = static_cast<std::uint32_t>(Sz);
    Base.assign(Size, T{});
}

template <typename T> void TRingCore<T>::requireCapacity() const
{
    // Positions are taken modulo Size; an empty ring has no slot to address.
    if (Size == 0)
        throw ValueError("ring buffer of capacity 0 cannot hold elements");
}

template <typename T> void TRingCore<T>::Fill(T x)
{
    for (auto &slot : Base)
        slot = x;
    fcompleteness = 0;
}

template <typename T> void TRingCore<T>::GetRow(std::span<T> row) const
{
    if (row.size() < Size)
        throw ValueError("range error: destination holds " + std::to_string(row.size()) +
                         " elements, the ring " + std::to_string(Size));
    for (std::uint32_t p = 0; p < Size; ++p)
        row[p] = Base[(p + InnInd) % Size];
}

template <typename T> T TRingCore<T>::GetX(std::uint32_t ind) const
{
    requireCapacity();
    return Base[(static_cast<std::uint64_t>(ind) + InnInd) % Size];
}

template <typename T> void TRingCore<T>::SetX(std::uint32_t ind, T x)
{
    requireCapacity();
    Base[(static_cast<std::uint64_t>(ind) + InnInd) % Size] = x;
}

template class TRingCore<float>;
template class TRingCore<double>;
template class TRingCore<std::uint32_t>;
template class TRingCore<std::uint8_t>;
template class TNumericRing<float, double, float, true>;
template class TNumericRing<double, double, double, true>;
template class TNumericRing<std::uint32_t, std::uint32_t, float, false>;

} // namespace vibrolan
