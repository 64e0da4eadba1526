// Least squares by singular value decomposition (one-sided Golub-Kahan-Reinsch):
// a = U diag(w) V^T, then coef = V diag(1/w) U^T b with negligible singular
// values dropped.
//
// U itself is never formed: U^T b is all the solve needs, so every left-hand
// transformation (the Householder reflections of the bidiagonalisation and
// the rotations of the diagonalisation) is applied to b as it happens. The
// iteration, its convergence tests and its failure are those of the full
// decomposition (they depend on w, e and V only); only the rounding of U^T b
// differs, and a fit of 10^6 points no longer streams an n x k matrix once per
// rotation.
#include "fit/solvers.hpp"

#include "frame/runtime.hpp"
#include "frame/status.hpp"

#include <cmath>
#include <cstddef>
#include <vector>

namespace sigmath::fit {
namespace {

constexpr int32_t kMaxSweeps = 30;
constexpr double kRelativeCutoff = 1e-30;

double withSignOf(double magnitude, double sign)
{
    return sign >= 0.0 ? rt::fabs(magnitude) : -rt::fabs(magnitude);
}

// |x| inline: exact, as the runtime's fabs; the bidiagonalisation takes one
// per matrix entry and column.
double absolute(double x) { return std::fabs(x); }

struct Matrix {
    double *p;
    std::size_t cols;
    double &operator()(std::size_t r, std::size_t c) const { return p[r * cols + c]; }
};

// Applies the rotation (c, s) to entries i and j of U^T b, as rotating columns
// i and j of U would.
void rotateEntries(double *t, std::size_t i, std::size_t j, double c, double s)
{
    const double y = t[i];
    const double z = t[j];
    t[i] = y * c + z * s;
    t[j] = z * c - y * s;
}

// Applies the plane rotation (c, s) to columns i and j of an m-row matrix.
void rotateColumns(const Matrix &x, std::size_t rows, std::size_t i, std::size_t j, double c, double s)
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
//
// Every sum runs over the rows in their order, as the textbook loop has it,
// but the steps that only need one row at a time share a pass: the update of
// a row by the column reflection, its rescaling, its update by the row
// reflection (built from the row i finished first) and its term of the next
// column's scale. Three passes per column instead of six; the sums are kept
// in registers. The results are those of one pass per step, bit for bit.
double bidiagonalise(const Matrix &a, std::size_t m, std::size_t n, double *w, double *e, double *dots,
                     double *b, SvdFactors *record)
{
    // Without b (a factorisation for later right-hand sides) its sums and
    // updates are skipped; they never feed back into the matrix.
    double none = 0.0;
    const bool withB = b != nullptr;
    double g = 0.0;
    double scale = 0.0;
    double anorm = 0.0;
    double nextScale = 0.0; // the scale of column i, summed by the previous pass
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t l = i + 1;
        e[i] = scale * g;
        g = 0.0;
        double s = 0.0;
        if (i == 0) {
            scale = 0.0;
            for (std::size_t r = i; r < m; ++r)
                scale += absolute(a(r, i));
        } else {
            scale = nextScale;
        }
        const double colScale = scale;
        const bool column = scale != 0.0;
        if (column) {
            for (std::size_t r = i; r < m; ++r) {
                const double v = a(r, i) / scale;
                a(r, i) = v;
                s += v * v;
            }
            const double f = a(i, i);
            g = -withSignOf(rt::sqrt(s), f);
            const double h = f * g - s;
            a(i, i) = f - g;
            for (std::size_t j = l; j <= n; ++j)
                dots[j] = 0.0;
            if (n - l == 2) { // the quadratic fit: two columns and b, in registers
                double d0 = 0.0, d1 = 0.0, db = 0.0;
                for (std::size_t r = i; r < m; ++r) {
                    const double v = a(r, i);
                    d0 += v * a(r, l);
                    d1 += v * a(r, l + 1);
                    db += v * (withB ? b[r] : none);
                }
                dots[l] = d0;
                dots[l + 1] = d1;
                dots[n] = db;
            } else {
                double db = 0.0;
                for (std::size_t r = i; r < m; ++r) {
                    for (std::size_t j = l; j < n; ++j)
                        dots[j] += a(r, i) * a(r, j);
                    db += a(r, i) * (withB ? b[r] : none);
                }
                dots[n] = db;
            }
            for (std::size_t j = l; j <= n; ++j)
                dots[j] /= h;
            if (record)
                record->addReflection(i, &a(i, i), a.cols, m - i, h);
            // Row i by the column reflection first: the row reflection is built from it.
            for (std::size_t j = l; j < n; ++j)
                a(i, j) += dots[j] * a(i, i);
            if (withB)
                b[i] += dots[n] * a(i, i);
            a(i, i) *= scale;
        }
        w[i] = scale * g;
        g = 0.0;
        s = 0.0;
        scale = 0.0;
        bool row = false;
        if (i + 1 != n) {
            for (std::size_t j = l; j < n; ++j)
                scale += absolute(a(i, j));
            if (scale != 0.0) {
                for (std::size_t j = l; j < n; ++j) {
                    a(i, j) /= scale;
                    s += a(i, j) * a(i, j);
                }
                const double f = a(i, l);
                g = -withSignOf(rt::sqrt(s), f);
                const double h = f * g - s;
                a(i, l) = f - g;
                for (std::size_t j = l; j < n; ++j)
                    e[j] = a(i, j) / h;
                row = true;
            }
        }
        // The rows below i: the column reflection, the rescaling of column i,
        // the row reflection and the next column's scale, row by row.
        double next = 0.0;
        const bool more = i + 1 != n;
        for (std::size_t r = l; r < m; ++r) {
            if (column) {
                const double v = a(r, i);
                for (std::size_t j = l; j < n; ++j)
                    a(r, j) += dots[j] * v;
                if (withB)
                    b[r] += dots[n] * v;
                a(r, i) = v * colScale;
            }
            if (row) {
                double sum = 0.0;
                for (std::size_t j = l; j < n; ++j)
                    sum += a(r, j) * a(i, j);
                for (std::size_t j = l; j < n; ++j)
                    a(r, j) += sum * e[j];
            }
            if (more)
                next += absolute(a(r, l));
        }
        nextScale = next;
        if (row)
            for (std::size_t j = l; j < n; ++j)
                a(i, j) *= scale;
        const double norm = rt::fabs(w[i]) + rt::fabs(e[i]);
        if (norm > anorm)
            anorm = norm;
    }
    return anorm;
}

// Accumulates the right-hand transformations into v (n x n), last column first.
void accumulateRight(const Matrix &a, const Matrix &v, std::size_t n, const double *e)
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
bool diagonalise(double *t, const Matrix &v, std::size_t n, double *w, double *e, double anorm,
                 SvdFactors *record)
{
    // The rotations of U^T b depend on the matrix only: recorded for later
    // right-hand sides, or applied to t.
    auto rotatePair = [&](double *tt, std::size_t i, std::size_t j, double c, double s) {
        if (record)
            record->rotations.push_back({i, j, c, s});
        else
            rotateEntries(tt, i, j, c, s);
    };
    for (std::size_t kk = n; kk-- > 0;) {
        for (int32_t its = 0; its < kMaxSweeps; ++its) {
            bool cancel = true;
            std::size_t l = kk;
            std::size_t nm = 0;
            // e[0] is always zero, so the search ends at l = 0 at the latest;
            // the explicit test keeps a NaN anorm from walking below row 0.
            for (l = kk;; --l) {
                if (l == 0 || rt::fabs(e[l]) + anorm == anorm) {
                    cancel = false;
                    break;
                }
                nm = l - 1;
                if (rt::fabs(w[nm]) + anorm == anorm)
                    break;
            }
            if (cancel) {
                // w[nm] is negligible: cancel e[l] with rotations on U's columns.
                double c = 0.0;
                double s = 1.0;
                for (std::size_t i = l; i <= kk; ++i) {
                    const double f = s * e[i];
                    e[i] = c * e[i];
                    if (rt::fabs(f) + anorm == anorm)
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

} // namespace

int32_t solveSvd(double *aData, double *b, int32_t n, int32_t k, double *coef)
{
    const std::size_t m = static_cast<std::size_t>(n);
    const std::size_t cols = static_cast<std::size_t>(k);
    rt::Buffer<double> vData(cols * cols);
    if (!vData.ok())
        return fail(SM_ERR_NO_MEMORY);
    rt::Buffer<double> w(cols);
    if (!w.ok())
        return fail(SM_ERR_NO_MEMORY);
    rt::Buffer<double> e(cols);
    if (!e.ok())
        return fail(SM_ERR_NO_MEMORY);
    // Column dots of one reflection (plus b's), then U^T b.
    rt::Buffer<double> dots(cols + 1);
    if (!dots.ok())
        return fail(SM_ERR_NO_MEMORY);

    const Matrix a{aData, cols};
    const Matrix v{vData.data(), cols};
    const double anorm = bidiagonalise(a, m, cols, w.data(), e.data(), dots.data(), b, nullptr);
    accumulateRight(a, v, cols, e.data());
    double *t = dots.data();
    for (std::size_t j = 0; j < cols; ++j)
        t[j] = b[j];
    // The historical code for a decomposition that does not converge.
    if (!diagonalise(t, v, cols, w.data(), e.data(), anorm, nullptr))
        return fail(SM_ERR_SAMPLES_GT_ZERO);

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
    return SM_NO_ERROR;
}

void SvdFactors::addReflection(std::size_t column, const double *first, std::size_t stride, std::size_t rows,
                               double h)
{
    Reflection r;
    r.column = column;
    r.h = h;
    r.offset = vectors.size();
    r.rows = rows;
    for (std::size_t q = 0; q < rows; ++q)
        vectors.push_back(first[q * stride]);
    reflections.push_back(r);
}

int32_t factorSvd(double *aData, int32_t n, int32_t k, SvdFactors &f)
{
    const std::size_t m = static_cast<std::size_t>(n);
    const std::size_t cols = static_cast<std::size_t>(k);
    f.m = m;
    f.k = cols;
    f.vectors.reserve(m * cols);
    f.w.assign(cols, 0.0);
    f.v.assign(cols * cols, 0.0);
    std::vector<double> e(cols), dots(cols + 1);
    const Matrix a{aData, cols};
    const Matrix v{f.v.data(), cols};
    const double anorm = bidiagonalise(a, m, cols, f.w.data(), e.data(), dots.data(), nullptr, &f);
    accumulateRight(a, v, cols, e.data());
    if (!diagonalise(nullptr, v, cols, f.w.data(), e.data(), anorm, &f))
        return fail(SM_ERR_SAMPLES_GT_ZERO);
    double wMax = 0.0;
    for (std::size_t j = 0; j < cols; ++j)
        if (f.w[j] > wMax)
            wMax = f.w[j];
    const double threshold = kRelativeCutoff * wMax;
    for (std::size_t j = 0; j < cols; ++j)
        if (f.w[j] < threshold)
            f.w[j] = 0.0;
    return SM_NO_ERROR;
}

void solveFactored(const SvdFactors &f, double *b, double *coef)
{
    // The left reflections on b, as the bidiagonalisation applies them.
    for (const SvdFactors::Reflection &r : f.reflections) {
        const double *u = f.vectors.data() + r.offset;
        double *bb = b + r.column;
        double d = 0.0;
        for (std::size_t q = 0; q < r.rows; ++q)
            d += u[q] * bb[q];
        d /= r.h;
        for (std::size_t q = 0; q < r.rows; ++q)
            bb[q] += d * u[q];
    }
    const std::size_t cols = f.k;
    double t[kMaxCoefficients + 1];
    for (std::size_t j = 0; j < cols; ++j)
        t[j] = b[j];
    for (const SvdFactors::Rotation &q : f.rotations)
        rotateEntries(t, q.i, q.j, q.c, q.s);
    for (std::size_t j = 0; j < cols; ++j)
        t[j] = f.w[j] != 0.0 ? t[j] / f.w[j] : 0.0;
    for (std::size_t j = 0; j < cols; ++j) {
        double sum = 0.0;
        for (std::size_t q = 0; q < cols; ++q)
            sum += f.v[j * cols + q] * t[q];
        coef[j] = sum;
    }
}

} // namespace sigmath::fit
