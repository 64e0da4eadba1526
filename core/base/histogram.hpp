// Equal-width histogram of Double values over a fixed range, with running
// first and second moments taken around the middle of the range.
#pragma once

#include "base/message_sink.hpp"

#include <cstdint>
#include <span>
#include <vector>

namespace vibrolan {

class THistogramm {
public:
    // n bins (at least 1, ValueError otherwise) between Mn and Mx, given in
    // either order. Values outside the range are reported to `sink` as
    // "Overrunning"; the sink must outlive the histogram.
    THistogramm(int n, double Mn, double Mx, MessageSink &sink);

    // Adds one value: into its bin when inside [low, high), into the moments
    // always; nothing at all when the range has zero width.
    void Add(double x);
    // Adds the values in order.
    void AddN(std::span<const double> x);
    // Empties the bins and the moments; the range stays.
    void Clear();

    // Bin count and probability density of bin i; i in -Ns .. 2*Ns-1 wraps
    // once into 0 .. Ns-1, anything farther is refused with ValueError.
    std::uint32_t readonestick(int i) const;
    float readdens(int i) const;
    std::uint32_t onestick(int i) const { return readonestick(i); }
    float density(int i) const { return readdens(i); }

    std::uint32_t Count() const { return FCount; }
    double MV() const;   // mean of all added values
    double RMSV() const; // population standard deviation of all added values

    std::uint32_t stmax() const { return Fstmax; }
    const std::vector<double> &bounds() const { return Fbounds; } // Ns + 1 edges
    double Step() const { return FStep; }
    int Ns() const { return FNs; }
    double fmedian() const { return Ffmedian; }
    double summaXm() const { return FsummaXm; }
    double summaXXm() const { return FsummaXXm; }

private:
    std::size_t wrap(int i) const;

    std::uint32_t Fstmax = 0;
    std::vector<double> Fbounds;
    double FStep = 0;
    int FNs = 0;
    std::vector<std::uint32_t> stick;
    double FsummaXm = 0;
    double FsummaXXm = 0;
    double Ffmedian = 0;
    std::uint32_t FCount = 0;
    MessageSink *sink_; // not owned
};

} // namespace vibrolan
