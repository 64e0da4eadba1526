// The least-squares solve by SVD as GenLSFit's algorithm 0 made it before its
// bidiagonalisation was fused into fewer passes over the rows: one pass per
// step, in the textbook order. The library must agree with it bit for bit.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace svd_reference {

inline double length(double a, double b)
{
    const double absA = std::fabs(a);
    const double absB = std::fabs(b);
    if (absA > absB) {
        const double r = absB / absA;
        return absA * std::sqrt(1.0 + r * r);
    }
    if (absB == 0.0)
        return 0.0;
    const double r = absA / absB;
    return absB * std::sqrt(1.0 + r * r);
}
namespace detail {

constexpr int32_t kMaxSweeps = 30;
constexpr double kRelativeCutoff = 1e-30;

inline double withSignOf(double magnitude, double sign)
{
    return sign >= 0.0 ? std::fabs(magnitude) : -std::fabs(magnitude);
}

// |x| inline: exact, as the runtime's fabs; the bidiagonalisation takes one
// per matrix entry and column.

struct Matrix {
    double *p;
    std::size_t cols;
    double &operator()(std::size_t r, std::size_t c) const { return p[r * cols + c]; }
};

// Applies the rotation (c, s) to entries i and j of U^T b, as rotating columns
// i and j of U would.
inline void rotatePair(double *t, std::size_t i, std::size_t j, double c, double s)
{
    const double y = t[i];
    const double z = t[j];
    t[i] = y * c + z * s;
    t[j] = z * c - y * s;
}

// Applies the plane rotation (c, s) to columns i and j of an m-row matrix.
inline void rotateColumns(const Matrix &x, std::size_t rows, std::size_t i, std::size_t j, double c, double s)
{
    for (std::size_t r = 0; r < rows; ++r) {
        const double y = x(r, i);
        const double z = x(r, j);
        x(r, i) = y * c + z * s;
        x(r, j) = z * c - y * s;
    }
}

// Householder bidiagonalisation: w gets the diagonal, e the superdiagonal
// (e[0] = 0); the left reflections are applied to b too. dots has n + 1
// entries. Returns anorm = max |w[i]| + |e[i]|.
inline double bidiagonalise(const Matrix &a, std::size_t m, std::size_t n, double *w, double *e, double *dots,
                            double *b)
{
    double g = 0.0;
    double scale = 0.0;
    double anorm = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t l = i + 1;
        e[i] = scale * g;
        g = 0.0;
        scale = 0.0;
        double s = 0.0;
        for (std::size_t r = i; r < m; ++r)
            scale += std::fabs(a(r, i));
        if (scale != 0.0) {
            for (std::size_t r = i; r < m; ++r) {
                a(r, i) /= scale;
                s += a(r, i) * a(r, i);
            }
            double f = a(i, i);
            g = -withSignOf(std::sqrt(s), f);
            const double h = f * g - s;
            a(i, i) = f - g;
            // All column dots in one pass over the rows, then all updates in
            // another: each column's update depends only on column i.
            // dots[n] belongs to b.
            for (std::size_t j = l; j <= n; ++j)
                dots[j] = 0.0;
            for (std::size_t r = i; r < m; ++r) {
                for (std::size_t j = l; j < n; ++j)
                    dots[j] += a(r, i) * a(r, j);
                dots[n] += a(r, i) * b[r];
            }
            for (std::size_t j = l; j <= n; ++j)
                dots[j] /= h;
            for (std::size_t r = i; r < m; ++r) {
                for (std::size_t j = l; j < n; ++j)
                    a(r, j) += dots[j] * a(r, i);
                b[r] += dots[n] * a(r, i);
            }
            for (std::size_t r = i; r < m; ++r)
                a(r, i) *= scale;
        }
        w[i] = scale * g;
        g = 0.0;
        s = 0.0;
        scale = 0.0;
        if (i + 1 != n) {
            for (std::size_t j = l; j < n; ++j)
                scale += std::fabs(a(i, j));
            if (scale != 0.0) {
                for (std::size_t j = l; j < n; ++j) {
                    a(i, j) /= scale;
                    s += a(i, j) * a(i, j);
                }
                const double f = a(i, l);
                g = -withSignOf(std::sqrt(s), f);
                const double h = f * g - s;
                a(i, l) = f - g;
                for (std::size_t j = l; j < n; ++j)
                    e[j] = a(i, j) / h;
                for (std::size_t r = l; r < m; ++r) {
                    double sum = 0.0;
                    for (std::size_t j = l; j < n; ++j)
                        sum += a(r, j) * a(i, j);
                    for (std::size_t j = l; j < n; ++j)
                        a(r, j) += sum * e[j];
                }
                for (std::size_t j = l; j < n; ++j)
                    a(i, j) *= scale;
            }
        }
        const double norm = std::fabs(w[i]) + std::fabs(e[i]);
        if (norm > anorm)
            anorm = norm;
    }
    return anorm;
}

// Accumulates the right-hand transformations into v (n x n), last column first.
inline void accumulateRight(const Matrix &a, const Matrix &v, std::size_t n, const double *e)
{
    double g = 0.0;
    std::size_t l = n;
    for (std::size_t i = n; i-- > 0;) {
        if (i + 1 < n) {
            if (g != 0.0) {
                // Double division avoids a possible underflow.
                for (std::size_t j = l; j < n; ++j)
                    v(j, i) = (a(i, j) / a(i, l)) / g;
                for (std::size_t j = l; j < n; ++j) {
                    double s = 0.0;
                    for (std::size_t c = l; c < n; ++c)
                        s += a(i, c) * v(c, j);
                    for (std::size_t c = l; c < n; ++c)
                        v(c, j) += s * v(c, i);
                }
            }
            for (std::size_t j = l; j < n; ++j) {
                v(i, j) = 0.0;
                v(j, i) = 0.0;
            }
        }
        v(i, i) = 1.0;
        g = e[i];
        l = i;
    }
}

// Diagonalises the bidiagonal form by implicit-shift QR sweeps. Returns false
// when a singular value does not converge within kMaxSweeps iterations.
inline bool diagonalise(double *t, const Matrix &v, std::size_t n, double *w, double *e, double anorm)
{
    for (std::size_t kk = n; kk-- > 0;) {
        for (int32_t its = 0; its < kMaxSweeps; ++its) {
            bool cancel = true;
            std::size_t l = kk;
            std::size_t nm = 0;
            // e[0] is always zero, so the search ends at l = 0 at the latest;
            // the explicit test keeps a NaN anorm from walking below row 0.
            for (l = kk;; --l) {
                if (l == 0 || std::fabs(e[l]) + anorm == anorm) {
                    cancel = false;
                    break;
                }
                nm = l - 1;
                if (std::fabs(w[nm]) + anorm == anorm)
                    break;
            }
            if (cancel) {
                // w[nm] is negligible: cancel e[l] with rotations on U's columns.
                double c = 0.0;
                double s = 1.0;
                for (std::size_t i = l; i <= kk; ++i) {
                    const double f = s * e[i];
                    e[i] = c * e[i];
                    if (std::fabs(f) + anorm == anorm)
                        break;
                    const double g = w[i];
                    double h = length(f, g);
                    w[i] = h;
                    h = 1.0 / h;
                    c = g * h;
                    s = -f * h;
                    rotatePair(t, nm, i, c, s);
                }
            }
            double z = w[kk];
            if (l == kk) {
                if (z < 0.0) {
                    w[kk] = -z;
                    for (std::size_t j = 0; j < n; ++j)
                        v(j, kk) = -v(j, kk);
                }
                break;
            }
            if (its == kMaxSweeps - 1)
                return false;
            // Shift from the trailing 2x2 block.
            double x = w[l];
            nm = kk - 1;
            double y = w[nm];
            double g = e[nm];
            double h = e[kk];
            double f = ((y - z) * (y + z) + (g - h) * (g + h)) / (2.0 * h * y);
            g = length(f, 1.0);
            f = ((x - z) * (x + z) + h * ((y / (f + withSignOf(g, f))) - h)) / x;
            double c = 1.0;
            double s = 1.0;
            for (std::size_t j = l; j <= nm; ++j) {
                const std::size_t i = j + 1;
                g = e[i];
                y = w[i];
                h = s * g;
                g = c * g;
                z = length(f, h);
                e[j] = z;
                c = f / z;
                s = h / z;
                f = x * c + g * s;
                g = g * c - x * s;
                h = y * s;
                y *= c;
                rotateColumns(v, n, j, i, c, s);
                z = length(f, h);
                w[j] = z;
                if (z != 0.0) {
                    z = 1.0 / z;
                    c = f * z;
                    s = h * z;
                }
                f = c * g + s * y;
                x = c * y - s * g;
                rotatePair(t, j, i, c, s);
            }
            e[l] = 0.0;
            e[kk] = f;
            w[kk] = x;
        }
    }
    return true;
}

} // namespace detail
using namespace detail;

inline int32_t solveSvdReference(double *aData, double *b, int32_t n, int32_t k, double *coef)
{
    const std::size_t m = static_cast<std::size_t>(n);
    const std::size_t cols = static_cast<std::size_t>(k);
    std::vector<double> vData(cols * cols);
    std::vector<double> w(cols);
    std::vector<double> e(cols);
    // Column dots of one reflection (plus b's), then U^T b.
    std::vector<double> dots(cols + 1);

    const Matrix a{aData, cols};
    const Matrix v{vData.data(), cols};
    const double anorm = bidiagonalise(a, m, cols, w.data(), e.data(), dots.data(), b);
    accumulateRight(a, v, cols, e.data());
    double *t = dots.data();
    for (std::size_t j = 0; j < cols; ++j)
        t[j] = b[j];
    // The historical code for a decomposition that does not converge.
    if (!diagonalise(t, v, cols, w.data(), e.data(), anorm))
        return -20003;

    double wMax = 0.0;
    for (std::size_t j = 0; j < cols; ++j)
        if (w[j] > wMax)
            wMax = w[j];
    const double threshold = kRelativeCutoff * wMax;
    for (std::size_t j = 0; j < cols; ++j)
        if (w[j] < threshold)
            w[j] = 0.0;

    for (std::size_t j = 0; j < cols; ++j)
        t[j] = w[j] != 0.0 ? t[j] / w[j] : 0.0;
    for (std::size_t j = 0; j < cols; ++j) {
        double sum = 0.0;
        for (std::size_t q = 0; q < cols; ++q)
            sum += v(j, q) * t[q];
        coef[j] = sum;
    }
    return 0;
}

} // namespace svd_reference
