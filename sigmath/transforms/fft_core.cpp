#include "transforms/fft_core.hpp"

#include <numbers>
#include <utility>

namespace sigmath::fft {

bool is_power_of_two(int64_t n) { return n >= 1 && (n & (n - 1)) == 0; }

bool Twiddles::build(std::size_t size)
{
    size_ = size;
    const std::size_t count = size / 4;
    if (count == 0)
        return true;
    table_ = rt::Buffer<double>(2 * count);
    if (!table_.ok())
        return false;
    // Exact values every kStep entries times exact values of the small steps:
    // each entry is one complex product of correctly rounded values, at a
    // fraction of the cost of two library calls per entry.
    constexpr std::size_t kStep = 64;
    const double unit = 2.0 * std::numbers::pi / static_cast<double>(size);
    double fine[2 * kStep];
    for (std::size_t r = 0; r < kStep && r < count; ++r) {
        fine[2 * r] = rt::cos(unit * static_cast<double>(r));
        fine[2 * r + 1] = rt::sin(unit * static_cast<double>(r));
    }
    double *t = table_.data();
    for (std::size_t base = 0; base < count; base += kStep) {
        const double cb = rt::cos(unit * static_cast<double>(base));
        const double sb = rt::sin(unit * static_cast<double>(base));
        const std::size_t end = base + kStep < count ? base + kStep : count;
        for (std::size_t k = base; k < end; ++k) {
            const double cf = fine[2 * (k - base)], sf = fine[2 * (k - base) + 1];
            t[2 * k] = cb * cf - sb * sf;
            t[2 * k + 1] = sb * cf + cb * sf;
        }
    }
    return true;
}

namespace {

// Split-radix decimation-in-frequency step: the first half becomes the
// even-index subproblem, the quarters the 4m+1 and 4m+3 subproblems, each
// multiplied by e^{-ja} and e^{-j3a}. Output in bit-reversed order.
void split_radix(double *__restrict re, double *__restrict im, std::size_t n, const double *__restrict tw,
                 std::size_t stride)
{
    if (n == 2) {
        const double r0 = re[0], i0 = im[0];
        re[0] = r0 + re[1];
        im[0] = i0 + im[1];
        re[1] = r0 - re[1];
        im[1] = i0 - im[1];
        return;
    }
    if (n == 4) {
        const double t0r = re[0] + re[2], t0i = im[0] + im[2];
        const double t1r = re[1] + re[3], t1i = im[1] + im[3];
        const double t2r = re[0] - re[2], t2i = im[0] - im[2];
        const double t3r = re[1] - re[3], t3i = im[1] - im[3];
        re[0] = t0r + t1r, im[0] = t0i + t1i;
        re[1] = t0r - t1r, im[1] = t0i - t1i;
        re[2] = t2r + t3i, im[2] = t2i - t3r;
        re[3] = t2r - t3i, im[3] = t2i + t3r;
        return;
    }
    const std::size_t n2 = n / 2, n4 = n / 4;
    double *__restrict r1 = re + n4, *__restrict r2 = re + n2, *__restrict r3 = re + n2 + n4;
    double *__restrict i1 = im + n4, *__restrict i2 = im + n2, *__restrict i3 = im + n2 + n4;
    for (std::size_t k = 0; k < n4; ++k) {
        const double c = tw[2 * k * stride], s = tw[2 * k * stride + 1];
        // cos 3a and sin 3a from the triple-angle identities
        const double c3 = c * (4.0 * c * c - 3.0), s3 = s * (3.0 - 4.0 * s * s);
        const double ar = re[k], ai = im[k], br = r1[k], bi = i1[k];
        const double cr = r2[k], ci = i2[k], dr = r3[k], di = i3[k];
        re[k] = ar + cr;
        im[k] = ai + ci;
        r1[k] = br + dr;
        i1[k] = bi + di;
        const double t1r = ar - cr, t1i = ai - ci, t2r = br - dr, t2i = bi - di;
        const double ur = t1r + t2i, ui = t1i - t2r; // t1 - j t2
        const double vr = t1r - t2i, vi = t1i + t2r; // t1 + j t2
        r2[k] = ur * c + ui * s;
        i2[k] = ui * c - ur * s;
        r3[k] = vr * c3 + vi * s3;
        i3[k] = vi * c3 - vr * s3;
    }
    split_radix(re, im, n2, tw, stride * 2);
    split_radix(r2, i2, n4, tw, stride * 4);
    split_radix(r3, i3, n4, tw, stride * 4);
}

std::size_t reverse_bits(std::size_t v, int bits)
{
    std::size_t r = 0;
    for (int i = 0; i < bits; ++i, v >>= 1)
        r = (r << 1) | (v & 1);
    return r;
}

void bit_reverse_simple(double *re, double *im, std::size_t n)
{
    std::size_t j = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (i < j) {
            std::swap(re[i], re[j]);
            std::swap(im[i], im[j]);
        }
        std::size_t bit = n >> 1;
        while (bit != 0 && (j & bit) != 0) {
            j ^= bit;
            bit >>= 1;
        }
        j |= bit;
    }
}

// Bit-reversal permutation in tiles: with i = (a, b, c), a and c of kQ bits,
// rev(i) = (rev c, rev b, rev a). For one middle part b and its reverse the
// swaps touch only 2^kQ x 2^kQ elements, which stay in cache, instead of
// jumping across the whole array for every element. The tile rows lie a large
// power of two apart and share cache sets, so the tile is kept small (8 x 8
// measured fastest here, 32 x 32 thrashes).
void bit_reverse(double *re, double *im, std::size_t n)
{
    constexpr int kQ = 3;
    int bits = 0;
    while ((std::size_t{1} << bits) < n)
        ++bits;
    if (bits < 2 * kQ + 1) {
        bit_reverse_simple(re, im, n);
        return;
    }
    constexpr std::size_t kTile = std::size_t{1} << kQ;
    std::size_t rev_q[kTile];
    for (std::size_t v = 0; v < kTile; ++v)
        rev_q[v] = reverse_bits(v, kQ);
    const int mid_bits = bits - 2 * kQ;
    const int high_shift = bits - kQ;
    const std::size_t mids = std::size_t{1} << mid_bits;
    for (std::size_t b = 0; b < mids; ++b) {
        const std::size_t rb = reverse_bits(b, mid_bits);
        if (rb < b)
            continue;
        for (std::size_t a = 0; a < kTile; ++a) {
            const std::size_t src_base = (a << high_shift) | (b << kQ);
            const std::size_t dst_low = (rb << kQ) | rev_q[a];
            for (std::size_t c = 0; c < kTile; ++c) {
                const std::size_t i = src_base | c;
                const std::size_t j = (rev_q[c] << high_shift) | dst_low;
                if (rb != b || i < j) {
                    std::swap(re[i], re[j]);
                    std::swap(im[i], im[j]);
                }
            }
        }
    }
}

} // namespace

void complex_forward(double *re, double *im, std::size_t n, const Twiddles &tw)
{
    if (n < 2)
        return;
    split_radix(re, im, n, tw.pairs(), n > 4 ? tw.size() / n : 1);
    bit_reverse(re, im, n);
}

bool RealWork::init(std::size_t n, bool with_scratch)
{
    if (!tw.build(n))
        return false;
    if (with_scratch && n > 1) {
        scratch = rt::Buffer<double>(n);
        return scratch.ok();
    }
    return true;
}

namespace {

// Z = FFT of the half-length complex sequence z[m] = x[2m] + j x[2m+1]; the
// real spectrum follows pairwise from Z[k] and Z[M-k]:
// X[k] = E + w^k O and X[M-k] = conj(E - w^k O). visit(k, re, im) receives
// X[k] for k = 0..M.
template <class Visit>
void split_real(const double *zr, const double *zi, std::size_t m, const Twiddles &tw, Visit visit)
{
    const double r0 = zr[0], i0 = zi[0];
    visit(0, r0 + i0, 0.0);
    visit(m, r0 - i0, 0.0);
    const double *t = tw.pairs();
    for (std::size_t k = 1; 2 * k < m; ++k) {
        const double ar = zr[k], ai = zi[k], br = zr[m - k], bi = zi[m - k];
        const double er = 0.5 * (ar + br), ei = 0.5 * (ai - bi);
        const double orr = 0.5 * (ai + bi), oi = -0.5 * (ar - br);
        const double c = t[2 * k], s = t[2 * k + 1];
        const double wr = c * orr + s * oi, wi = c * oi - s * orr;
        visit(k, er + wr, ei + wi);
        visit(m - k, er - wr, -(ei - wi));
    }
    if (m >= 2)
        visit(m / 2, zr[m / 2], -zi[m / 2]);
}

// The transform of the n = 2m real samples x: even samples as the real and odd
// ones as the imaginary parts of one length-m complex transform, then split.
template <class Visit>
void half_length_forward(const double *x, double *zr, double *zi, std::size_t m, const Twiddles &tw,
                         Visit visit)
{
    for (std::size_t i = 0; i < m; ++i) {
        zr[i] = x[2 * i];
        zi[i] = x[2 * i + 1];
    }
    complex_forward(zr, zi, m, tw);
    split_real(zr, zi, m, tw, visit);
}

} // namespace

void real_forward_packed(double *x, std::size_t n, RealWork &work)
{
    if (n < 2)
        return;
    const std::size_t m = n / 2;
    const Twiddles &tw = work.tw;
    double *zr = work.scratch.data(), *zi = zr + m;
    half_length_forward(x, zr, zi, m, tw, [&](std::size_t k, double r, double i) {
        x[k] = r;
        if (k != 0 && k != m)
            x[n - k] = i;
    });
}

void real_forward_full(double *x, double *y, std::size_t n, const Twiddles &tw)
{
    if (n < 2) {
        if (n == 1)
            y[0] = 0.0;
        return;
    }
    const std::size_t m = n / 2;
    double *zr = y, *zi = y + m;
    // Bins k and M-k are produced together from y[k], y[M+k], y[M-k],
    // y[n-k] and written back to exactly those places, so y can hold Z.
    half_length_forward(x, zr, zi, m, tw, [&](std::size_t k, double r, double i) {
        x[k] = r;
        y[k] = i;
        if (k != 0 && k != m) {
            x[n - k] = r;
            y[n - k] = -i;
        }
    });
}

void hartley(double *x, std::size_t n, RealWork &work)
{
    real_forward_packed(x, n, work);
    // H[k] = Re X[k] - Im X[k], H[n-k] = Re X[k] + Im X[k]
    for (std::size_t k = 1; 2 * k < n; ++k) {
        const double r = x[k], i = x[n - k];
        x[k] = r - i;
        x[n - k] = r + i;
    }
}

void real_inverse_packed(double *x, std::size_t n, RealWork &work)
{
    // Hartley transform of the Hermitian spectrum, then the inverse Hartley.
    for (std::size_t k = 1; 2 * k < n; ++k) {
        const double r = x[k], i = x[n - k];
        x[k] = r - i;
        x[n - k] = r + i;
    }
    hartley(x, n, work);
    const double scale = 1.0 / static_cast<double>(n);
    for (std::size_t i = 0; i < n; ++i)
        x[i] *= scale;
}

} // namespace sigmath::fft
