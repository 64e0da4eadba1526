/* A C99 client of libsigmath: includes the public header, links the library
 * alone, fits a quadratic and reads an error text. With an argument, the
 * library must also report that version. Exit status 0 on success. */
#include <sigmath/sigmath.h>

#include <math.h>
#include <stdio.h>
#include <string.h>

int main(int argc, char **argv)
{
    double x[6], y[6], fitted[6], coef[3], mse = -1.0;
    int i;
    for (i = 0; i < 6; ++i) {
        x[i] = 0.5 * i - 1.25;
        y[i] = 2.385 - 0.75 * x[i] + 1.5 * x[i] * x[i];
    }
    if (PolyFit(x, y, 6, 2, fitted, coef, &mse) != 0) {
        fprintf(stderr, "PolyFit failed\n");
        return 1;
    }
    if (fabs(coef[0] - 2.385) > 1e-12 || fabs(coef[1] + 0.75) > 1e-12 || fabs(coef[2] - 1.5) > 1e-12 ||
        mse > 1e-24) {
        fprintf(stderr, "PolyFit gave %.17g %.17g %.17g mse %.3g\n", coef[0], coef[1], coef[2], mse);
        return 1;
    }
    if (PolyFit(x, y, 0, 2, fitted, coef, &mse) != SM_ERR_SAMPLES_GT_ZERO) {
        fprintf(stderr, "PolyFit accepted n = 0\n");
        return 1;
    }
    if (strcmp(GetAnalysisErrorString(-20041), "Input matrix is singular") != 0) {
        fprintf(stderr, "wrong error text\n");
        return 1;
    }
    if (argc > 1 && strcmp(SigmathVersion(), argv[1]) != 0) {
        fprintf(stderr, "library version %s, expected %s\n", SigmathVersion(), argv[1]);
        return 1;
    }
    return 0;
}
