// Speed windows of the polynomial resonance/stall separation. The windows
// depend only on a pair's speed series and the speed step, so they are found
// once per pair and reused for every blade.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace vibrolan {

enum class TSpeedDirection { Falling, Rising };

// Three positions in the speed series that bound one window.
//  Falling: Start = last position with speed > top (0 if none),
//           End = last position with speed >= bottom (n - 1 if none),
//           Mid = last position with speed >= (top + bottom) / 2.
//  Rising:  Start = last position with speed <= bottom (n - 1 if none),
//           End = last position with speed <= top (0 if none),
//           Mid = last position with speed <= (top + bottom) / 2.
// Mid is 0 when no position qualifies (the walk never asks for such a window).
struct TWindowBounds {
    std::size_t Start = 0;
    std::size_t End = 0;
    std::size_t Mid = 0;
    friend bool operator==(const TWindowBounds &, const TWindowBounds &) = default;
};

// The plain scan of the whole speed series: O(n) per window.
TWindowBounds FindWindowBounds(std::span<const float> speed, double bottom, double top, TSpeedDirection dir);

// The same answers from suffix extremes built once: O(n) to build, O(log n)
// per window.
class TWindowFinder {
public:
    explicit TWindowFinder(std::span<const float> speed);
    TWindowBounds Find(double bottom, double top, TSpeedDirection dir) const;

private:
    std::size_t n_ = 0;
    std::vector<float> suffixMax_; // max of the non-NaN speeds from i on, -inf if none
    std::vector<float> suffixMin_; // min of the non-NaN speeds from i on, +inf if none
};

// One fitted window of the walk and the two entries it adds to the interval list.
struct TStallWindow {
    std::size_t Start = 0;  // first sample of the fit
    std::size_t Count = 0;  // samples fitted (cut at the end of the series)
    std::uint32_t Mid = 0;  // list entry: the window's midpoint position
    std::uint32_t Last = 0; // list entry: the window's end position
};

struct TStallPlan {
    std::size_t n = 0;
    std::vector<TStallWindow> Windows;
};

// Most windows a walk may have; a step this small against the speed range is
// a configuration mistake and would only exhaust memory and time.
inline constexpr double kMaxStallWindows = 1000000;

// Refuses (ValueError) a speed step that is not a positive finite number.
void CheckStallStep(double dN);
// Refuses (ValueError) a speed series whose range is not finite or would
// need more than kMaxStallWindows windows of width dN. Series of at most two
// samples pass (nothing is computed for them).
void CheckStallRange(std::span<const float> speed, double dN);

using TWindowFinderFn = std::function<TWindowBounds(double bottom, double top, TSpeedDirection dir)>;

// The window walk over the speed range in steps of dN: downwards from the
// maximum in a run-down (maximum before minimum), upwards from the minimum
// otherwise. The second form takes the window finder to use (the plain scan
// serves as reference).
TStallPlan PlanStallWindows(std::span<const float> speed, double dN);
TStallPlan PlanStallWindows(std::span<const float> speed, double dN, const TWindowFinderFn &find);

} // namespace vibrolan
