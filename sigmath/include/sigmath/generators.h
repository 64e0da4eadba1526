/* sigmath signal generators.
 *
 * Every generator fills out[0 .. n-1] and returns 0 or a negative status; on
 * failure out (and *phase) are not touched. Angles are in degrees and
 * frequencies in cycles per sample. The periodic generators (SineWave,
 * SquareWave, SawtoothWave, TriangleWave, ArbitraryWave) read *phase as the
 * phase of out[0] and write back the phase of the sample after out[n-1],
 * reduced to [0, 360), so consecutive calls continue one signal.
 *
 * The noise generators (Uniform, WhiteNoise, GaussNoise) share one random
 * state for the whole process: a seed >= 0 restarts it (0 stands for 32767),
 * a negative seed continues it. They must not be called from several threads
 * at once. */
#ifndef SIGMATH_GENERATORS_H
#define SIGMATH_GENERATORS_H

#include "sigmath/export.h"

SIGMATH_BEGIN_DECLS

/* Zeros with out[index] = amplitude. n >= 1 (else -20003); 0 <= index < n (else -20017). */
SIGMATH_API int32_t Impulse(int32_t n, double amplitude, int32_t index, double *out);
/* amplitude for delay <= i < delay + width, else 0. n >= 1 (else -20003);
 * delay >= 0, width >= 0, delay + width <= n (else -20014). */
SIGMATH_API int32_t Pulse(int32_t n, double amplitude, int32_t delay, int32_t width, double *out);
/* first, then repeated additions of (last - first)/(n - 1). n >= 2 (else -20006). */
SIGMATH_API int32_t Ramp(int32_t n, double first, double last, double *out);
/* 0 at out[0] (and at out[n-1] for odd n), rising by amplitude/(n div 2) from
 * both ends to amplitude in the middle. n >= 2 (else -20006). */
SIGMATH_API int32_t Triangle(int32_t n, double amplitude, double *out);
/* amplitude * sin(phase + i * 2 pi cycles / n), phase in degrees.
 * n >= 1 (else -20003); cycles <= n (else -20012). */
SIGMATH_API int32_t SinePattern(int32_t n, double amplitude, double phase, double cycles, double *out);
/* amplitude * sin(x)/x with x = pi (i dt - delay), amplitude at x = 0.
 * n >= 1 (else -20003); dt > 0 (else -20016). */
SIGMATH_API int32_t Sinc(int32_t n, double amplitude, double delay, double dt, double *out);
/* amplitude * sin((i (f2 - f1) pi / n + 2 pi f1) i): frequency sweeps from f1
 * to f2 over the record. n >= 1 (else -20003). */
SIGMATH_API int32_t Chirp(int32_t n, double amplitude, double f1, double f2, double *out);
/* amplitude * sin(phase). n >= 1 (else -20003). */
SIGMATH_API int32_t SineWave(int32_t n, double amplitude, double frequency, double *phase, double *out);
/* +amplitude while the reduced phase is below dutyCycle% of 360, else
 * -amplitude; dutyCycle is clamped to [0, 100]. n >= 1 (else -20003). */
SIGMATH_API int32_t SquareWave(int32_t n, double amplitude, double frequency, double *phase, double dutyCycle,
                               double *out);
/* Rises from 0 to amplitude over [0, 180) degrees, then from -amplitude.
 * n >= 1 (else -20003). */
SIGMATH_API int32_t SawtoothWave(int32_t n, double amplitude, double frequency, double *phase, double *out);
/* Triangle with peaks +amplitude at 90 and -amplitude at 270 degrees.
 * n >= 1 (else -20003). */
SIGMATH_API int32_t TriangleWave(int32_t n, double amplitude, double frequency, double *phase, double *out);
/* Plays table[0 .. tableSize-1] as one period; interpolation 1 is linear
 * (wrapping from the last entry to the first), any other value takes the
 * entry below. tableSize < 1 gives zeros. n >= 1 (else -20003). */
SIGMATH_API int32_t ArbitraryWave(int32_t n, double amplitude, double frequency, double *phase,
                                  const double *table, int32_t tableSize, int32_t interpolation, double *out);
/* Uniform values r/32767 in [0, 1]. n >= 1 (else -20003). */
SIGMATH_API int32_t Uniform(int32_t n, int32_t seed, double *out);
/* Uniform values in about [-amplitude, amplitude]. n >= 1 (else -20003). */
SIGMATH_API int32_t WhiteNoise(int32_t n, double amplitude, int32_t seed, double *out);
/* Approximately normal values (sum of twelve uniform draws) with the given
 * standard deviation. n >= 1 (else -20003). */
SIGMATH_API int32_t GaussNoise(int32_t n, double standardDeviation, int32_t seed, double *out);

SIGMATH_END_DECLS

#endif
