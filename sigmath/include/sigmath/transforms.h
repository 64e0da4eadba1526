/* sigmath transforms and spectra.
 *
 * Forward transform X[k] = sum_{m<n} x[m] e^{-j 2 pi m k / n}, unscaled;
 * inverse transforms scale by 1/n. Every length n must be >= 1 (else -20003)
 * and a power of two (else -20009), except in CrossSpectrum and
 * PowerFrequencyEstimate. Single-sided outputs hold n/2 bins (k = 0..n/2-1)
 * with the frequency step df = 1/(n*dt) written through a pointer. A null
 * array argument is reported as -20008; -20001 means working memory could not
 * be obtained, in which case no output has been written. */
#ifndef SIGMATH_TRANSFORMS_H
#define SIGMATH_TRANSFORMS_H

#include "sigmath/export.h"
#include "sigmath/windows.h"

SIGMATH_BEGIN_DECLS

/* In place: the forward transform of (re[n], im[n]). */
SIGMATH_API int32_t FFT(double *re, double *im, int32_t n);
/* In place: the inverse transform of (re[n], im[n]). */
SIGMATH_API int32_t InvFFT(double *re, double *im, int32_t n);
/* x[n] real in; out x = Re X, y = Im X over all n bins. */
SIGMATH_API int32_t ReFFT(double *x, double *y, int32_t n);
/* re = the real signal whose transform is (re, im); reads re[0..n/2] and
 * im[n/2+1..n-1] only. im is left unchanged. */
SIGMATH_API int32_t ReInvFFT(double *re, double *im, int32_t n);
/* In place Hartley transform sum x[m] cas(2 pi m k / n); the inverse scales by 1/n. */
SIGMATH_API int32_t FHT(double *x, int32_t n);
SIGMATH_API int32_t InvFHT(double *x, int32_t n);

/* In place two-sided power spectrum |X[k]|^2 / n^2. */
SIGMATH_API int32_t Spectrum(double *x, int32_t n);
/* Single-sided power spectrum: out[0] = DC term, out[k] = 2 |X[k]|^2/n^2. */
SIGMATH_API int32_t AutoPowerSpectrum(const double *x, int32_t n, double dt, double *out, double *df);
/* Two-sided complex cross spectrum conj(X)Y/m^2 of x and y zero-padded to
 * m = n rounded up to a power of two; outRe and outIm receive m values. */
SIGMATH_API int32_t CrossSpectrum(const double *x, const double *y, int32_t n, double *outRe, double *outIm);
/* Single-sided cross power: magnitude[0] = |S[0]|, magnitude[k] = 2|S[k]|,
 * phase[k] = atan2(Im S, Re S). */
SIGMATH_API int32_t CrossPowerSpectrum(const double *x, const double *y, int32_t n, double dt,
                                       double *magnitude, double *phase, double *df);
/* Single-sided RMS amplitude (|X[0]|/n, sqrt(2)|X[k]|/n) and phase, unwrapped
 * when unwrap is nonzero. */
SIGMATH_API int32_t AmpPhaseSpectrum(const double *x, int32_t n, int32_t unwrap, double dt, double *amplitude,
                                     double *phase, double *df);
/* H[k] = Y[k]/X[k] for k < n/2 (X of stimulus, Y of response). */
SIGMATH_API int32_t TransferFunction(const double *stimulus, const double *response, int32_t n, double dt,
                                     double *magnitude, double *phase, double *df);
/* out[n] = inverse transform of Y/X over all bins. */
SIGMATH_API int32_t ImpulseResponse(const double *stimulus, const double *response, int32_t n, double *out);
/* Averaged two-channel analysis over `frames` consecutive frames of n
 * samples each (frames >= 1, else -20003). */
SIGMATH_API int32_t NetworkFunctions(const double *stimulus, const double *response, int32_t n,
                                     int32_t frames, double dt, double *crossMagnitude, double *crossPhase,
                                     double *responseMagnitude, double *responsePhase, double *coherence,
                                     double *impulseResponse, double *df);
/* Peak frequency and power of a power spectrum of n bins around the search
 * frequency (negative: around the largest bin), over span bins (at least 3,
 * made odd). */
SIGMATH_API int32_t PowerFrequencyEstimate(const double *spectrum, int32_t n, double searchFrequency,
                                           ScaledWindowConstants constants, double df, int32_t span,
                                           double *frequency, double *power);

/* 1-D arrays: out[i] = phase[i] plus the multiple of 2 pi that brings every
 * step out[i] - out[i-1] into (-pi, pi]. out may be phase. n >= 1 (else -20003). */
SIGMATH_API int32_t UnWrap1D(const double *phase, int32_t n, double *out);

SIGMATH_END_DECLS

#endif
