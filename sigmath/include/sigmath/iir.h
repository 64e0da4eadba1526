/* sigmath IIR family: recursive filters designed from five analog
 * approximations (Butterworth, Chebyshev, inverse Chebyshev, elliptic and a
 * Bessel-like one) by the bilinear transform with prewarped band edges.
 *
 * Filter type codes: 0 lowpass, 1 highpass, 2 bandpass, 3 bandstop.
 * For order N: section width k = 2 (lowpass/highpass) or 4 (bandpass/bandstop),
 * ns = (N + 1) / 2 sections, na = k*ns feedback and nb = (k + 1)*ns
 * feed-forward coefficients. Direct-form arrays hold M = N + 1 (lowpass/
 * highpass) or M = 2N + 1 (bandpass/bandstop) coefficients with a[0] = 1.
 *
 * Frequencies (fs, fl, fh, fc) share one unit; band edges must lie in
 * (0, fs/2]. Ripple and attenuation are in decibels and must be positive.
 * A null sample array counts as no samples (-20003); null coefficient arrays
 * of the direct-form designers are an array size error (-20008). */
#ifndef SIGMATH_IIR_H
#define SIGMATH_IIR_H

#include "sigmath/export.h"

SIGMATH_BEGIN_DECLS

/* One block from hostrt's allocator: this header, then a, b and state. */
typedef struct IIRFilterInfo {
    int32_t type;   /* 0..3 */
    int32_t order;  /* N >= 1 */
    int32_t reset;  /* nonzero: state is cleared before the next filtering call */
    int32_t na;     /* k*ns */
    double *a;      /* a1..ak per section (leading 1 not stored) */
    int32_t nb;     /* (k+1)*ns */
    double *b;      /* b0..bk per section */
    int32_t nstate; /* k*ns */
    double *state;  /* k values per section, newest first */
} IIRFilterInfo;

/* New zeroed structure for `type` (0..3) and `order` (>= 1); NULL on a bad
 * argument or when memory is exhausted. Release with FreeIIRFilterPtr. */
SIGMATH_API IIRFilterInfo *AllocIIRFilterPtr(int32_t type, int32_t order);
/* Releases a structure from AllocIIRFilterPtr; NULL is ignored. */
SIGMATH_API void FreeIIRFilterPtr(IIRFilterInfo *filter);
/* Asks for the state to be cleared before the next filtering call. */
SIGMATH_API void ResetIIRFilter(IIRFilterInfo *filter);

/* Runs n samples of x through the cascade (direct form II per section) into
 * y[n]; the state carries over to the next call. y may be x. */
SIGMATH_API int32_t IIRCascadeFiltering(const double *x, int32_t n, IIRFilterInfo *filter, double *y);

/* Direct-form filtering: y[t] = (sum b[m]x[t-m] - sum_{m>=1} a[m]y[t-m]) / a[0].
 * xState holds nb-1 past inputs and yState na-1 past outputs, oldest first;
 * both are updated. With na < 1 or a or yState NULL it is an FIR filter. */
SIGMATH_API int32_t IIRFiltering(const double *x, int32_t n, const double *a, double *yState, int32_t na,
                                 const double *b, double *xState, int32_t nb, double *y);

/* Multiplies a designed cascade out into direct-form a[na], b[nb] (na, nb >= M). */
SIGMATH_API int32_t CascadeToDirectCoef(const IIRFilterInfo *filter, double *a, int32_t na, double *b,
                                        int32_t nb);

/* Cascade designers: type and order come from the structure; its a and b
 * arrays receive the sections. For lowpass/highpass the edge is fl and fh is
 * ignored. */
SIGMATH_API int32_t Bw_CascadeCoef(double fs, double fl, double fh, IIRFilterInfo *filter);
SIGMATH_API int32_t Bessel_CascadeCoef(double fs, double fl, double fh, IIRFilterInfo *filter);
SIGMATH_API int32_t Ch_CascadeCoef(double fs, double fl, double fh, double ripple, IIRFilterInfo *filter);
SIGMATH_API int32_t InvCh_CascadeCoef(double fs, double fl, double fh, double attenuation,
                                      IIRFilterInfo *filter);
SIGMATH_API int32_t Elp_CascadeCoef(double fs, double fl, double fh, double ripple, double attenuation,
                                    IIRFilterInfo *filter);

/* Direct-form designers: a[na], b[nb] with na, nb >= M. */
SIGMATH_API int32_t Bw_Coef(int32_t type, int32_t order, double fs, double fl, double fh, double *a,
                            int32_t na, double *b, int32_t nb);
SIGMATH_API int32_t Bessel_Coef(int32_t type, int32_t order, double fs, double fl, double fh, double *a,
                                int32_t na, double *b, int32_t nb);
SIGMATH_API int32_t Ch_Coef(int32_t type, int32_t order, double fs, double fl, double fh, double ripple,
                            double *a, int32_t na, double *b, int32_t nb);
SIGMATH_API int32_t InvCh_Coef(int32_t type, int32_t order, double fs, double fl, double fh,
                               double attenuation, double *a, int32_t na, double *b, int32_t nb);
SIGMATH_API int32_t Elp_Coef(int32_t type, int32_t order, double fs, double fl, double fh, double ripple,
                             double attenuation, double *a, int32_t na, double *b, int32_t nb);

/* One-shot filters: n outputs into y (y may be x). */
SIGMATH_API int32_t Bw_LPF(const double *x, int32_t n, double fs, double fc, int32_t order, double *y);
SIGMATH_API int32_t Bw_HPF(const double *x, int32_t n, double fs, double fc, int32_t order, double *y);
SIGMATH_API int32_t Bw_BPF(const double *x, int32_t n, double fs, double fl, double fh, int32_t order,
                           double *y);
SIGMATH_API int32_t Bw_BSF(const double *x, int32_t n, double fs, double fl, double fh, int32_t order,
                           double *y);
SIGMATH_API int32_t Ch_LPF(const double *x, int32_t n, double fs, double fc, double ripple, int32_t order,
                           double *y);
SIGMATH_API int32_t Ch_HPF(const double *x, int32_t n, double fs, double fc, double ripple, int32_t order,
                           double *y);
SIGMATH_API int32_t Ch_BPF(const double *x, int32_t n, double fs, double fl, double fh, double ripple,
                           int32_t order, double *y);
SIGMATH_API int32_t Ch_BSF(const double *x, int32_t n, double fs, double fl, double fh, double ripple,
                           int32_t order, double *y);
SIGMATH_API int32_t InvCh_LPF(const double *x, int32_t n, double fs, double fc, double attenuation,
                              int32_t order, double *y);
SIGMATH_API int32_t InvCh_HPF(const double *x, int32_t n, double fs, double fc, double attenuation,
                              int32_t order, double *y);
SIGMATH_API int32_t InvCh_BPF(const double *x, int32_t n, double fs, double fl, double fh, double attenuation,
                              int32_t order, double *y);
SIGMATH_API int32_t InvCh_BSF(const double *x, int32_t n, double fs, double fl, double fh, double attenuation,
                              int32_t order, double *y);
SIGMATH_API int32_t Elp_LPF(const double *x, int32_t n, double fs, double fc, double ripple,
                            double attenuation, int32_t order, double *y);
SIGMATH_API int32_t Elp_HPF(const double *x, int32_t n, double fs, double fc, double ripple,
                            double attenuation, int32_t order, double *y);
SIGMATH_API int32_t Elp_BPF(const double *x, int32_t n, double fs, double fl, double fh, double ripple,
                            double attenuation, int32_t order, double *y);
SIGMATH_API int32_t Elp_BSF(const double *x, int32_t n, double fs, double fl, double fh, double ripple,
                            double attenuation, int32_t order, double *y);

SIGMATH_END_DECLS

#endif
