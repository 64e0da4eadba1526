// Independent least-squares reference for the fitting tests: weighted normal
// equations accumulated and solved in long double by Gauss-Jordan elimination
// with partial pivoting. Deliberately shares nothing with the library.
#pragma once

#include <cmath>
#include <cstddef>
#include <random>
#include <stdexcept>
#include <vector>

namespace fit_test {

using Matrix = std::vector<long double>;

// Solves m * x = rhs (size k) in place of copies; optionally returns m^-1.
inline std::vector<long double> gaussJordan(Matrix m, std::vector<long double> rhs, std::size_t k,
                                            Matrix *inverse = nullptr)
{
    Matrix inv(k * k, 0.0L);
    for (std::size_t i = 0; i < k; ++i)
        inv[i * k + i] = 1.0L;
    for (std::size_t c = 0; c < k; ++c) {
        std::size_t p = c;
        for (std::size_t r = c + 1; r < k; ++r)
            if (std::fabs(m[r * k + c]) > std::fabs(m[p * k + c]))
                p = r;
        if (m[p * k + c] == 0.0L)
            throw std::runtime_error("reference: singular system");
        for (std::size_t j = 0; j < k; ++j) {
            std::swap(m[c * k + j], m[p * k + j]);
            std::swap(inv[c * k + j], inv[p * k + j]);
        }
        std::swap(rhs[c], rhs[p]);
        const long double d = m[c * k + c];
        for (std::size_t j = 0; j < k; ++j) {
            m[c * k + j] /= d;
            inv[c * k + j] /= d;
        }
        rhs[c] /= d;
        for (std::size_t r = 0; r < k; ++r) {
            if (r == c)
                continue;
            const long double f = m[r * k + c];
            for (std::size_t j = 0; j < k; ++j) {
                m[r * k + j] -= f * m[c * k + j];
                inv[r * k + j] -= f * inv[c * k + j];
            }
            rhs[r] -= f * rhs[c];
        }
    }
    if (inverse != nullptr)
        *inverse = inv;
    return rhs;
}

struct Reference {
    std::vector<double> coef;
    std::vector<double> fitted;
    double mse = 0.0;
    std::vector<double> covariance; // (H^T W H)^-1
};

// h: n x k row-major; stdDev may be empty (unit weights).
inline Reference solveReference(const std::vector<double> &h, const std::vector<double> &y,
                                const std::vector<double> &stdDev, std::size_t n, std::size_t k)
{
    Matrix normal(k * k, 0.0L);
    std::vector<long double> rhs(k, 0.0L);
    for (std::size_t i = 0; i < n; ++i) {
        const long double w = stdDev.empty() ? 1.0L : 1.0L / ((long double)stdDev[i] * stdDev[i]);
        for (std::size_t r = 0; r < k; ++r) {
            for (std::size_t c = 0; c < k; ++c)
                normal[r * k + c] += w * h[i * k + r] * h[i * k + c];
            rhs[r] += w * h[i * k + r] * y[i];
        }
    }
    Matrix inverse;
    const std::vector<long double> coef = gaussJordan(normal, rhs, k, &inverse);
    Reference ref;
    ref.coef.assign(coef.begin(), coef.end());
    ref.covariance.assign(inverse.begin(), inverse.end());
    long double sum = 0.0L;
    for (std::size_t i = 0; i < n; ++i) {
        long double f = 0.0L;
        for (std::size_t j = 0; j < k; ++j)
            f += (long double)h[i * k + j] * coef[j];
        ref.fitted.push_back((double)f);
        sum += (y[i] - f) * (y[i] - f);
    }
    ref.mse = (double)(sum / n);
    return ref;
}

// Largest |a - b| over the largest |b|: a relative error for a whole vector.
inline double relativeError(const double *a, const std::vector<double> &b)
{
    double diff = 0.0;
    double scale = 0.0;
    for (std::size_t i = 0; i < b.size(); ++i) {
        diff = std::fmax(diff, std::fabs(a[i] - b[i]));
        scale = std::fmax(scale, std::fabs(b[i]));
    }
    return scale == 0.0 ? diff : diff / scale;
}

// A well-conditioned random problem with noise, so the residual is not zero
// and a solver that weighs rows wrongly cannot hide.
struct Problem {
    std::size_t n = 0;
    std::size_t k = 0;
    std::vector<double> h;
    std::vector<double> y;
    std::vector<double> stdDev;
};

inline Problem randomProblem(std::size_t n, std::size_t k, unsigned seed, bool weighted)
{
    std::mt19937_64 gen(seed);
    std::uniform_real_distribution<double> entry(-2.385, 3.141);
    std::uniform_real_distribution<double> noise(-0.37, 0.37);
    std::uniform_real_distribution<double> sigma(0.21, 1.93);
    Problem p;
    p.n = n;
    p.k = k;
    p.h.resize(n * k);
    for (double &v : p.h)
        v = entry(gen);
    std::vector<double> truth(k);
    for (double &c : truth)
        c = entry(gen);
    for (std::size_t i = 0; i < n; ++i) {
        double v = 0.0;
        for (std::size_t j = 0; j < k; ++j)
            v += p.h[i * k + j] * truth[j];
        p.y.push_back(v + noise(gen));
        if (weighted)
            p.stdDev.push_back(sigma(gen));
    }
    return p;
}

} // namespace fit_test
