/* sigmath frame: status codes, their messages, library-owned memory. */
#ifndef SIGMATH_FRAME_H
#define SIGMATH_FRAME_H

#include "sigmath/export.h"

SIGMATH_BEGIN_DECLS

/* Every status-returning routine returns 0 or one of these negative codes. */
enum {
    SM_NO_ERROR = 0,
    SM_ERR_NO_MEMORY = -20001,
    SM_ERR_SAME_SIZE = -20002,
    SM_ERR_SAMPLES_GT_ZERO = -20003,
    SM_ERR_SAMPLES_GE_ZERO = -20004,
    SM_ERR_SAMPLES_GE_TWO = -20006,
    SM_ERR_SAMPLES_GE_THREE = -20007,
    SM_ERR_ARRAY_SIZE = -20008,
    SM_ERR_POWER_OF_TWO = -20009,
    SM_ERR_CYCLES = -20012,
    SM_ERR_DELAY_WIDTH = -20014,
    SM_ERR_DT = -20016,
    SM_ERR_INDEX = -20017,
    SM_ERR_INDEX_LENGTH = -20018,
    SM_ERR_UPPER_LOWER = -20019,
    SM_ERR_NYQUIST = -20020,
    SM_ERR_ORDER_POSITIVE = -20021,
    SM_ERR_DECIMATING = -20022,
    SM_ERR_BAND = -20023,
    SM_ERR_RIPPLE = -20024,
    SM_ERR_ATTENUATION = -20025,
    SM_ERR_ATTEN_RIPPLE = -20028,
    SM_ERR_DESIGN = -20031,
    SM_ERR_COEF_ODD = -20033,
    SM_ERR_COEF_EVEN = -20034,
    SM_ERR_SIGN = -20036,
    SM_ERR_SIZE_ORDER = -20037,
    SM_ERR_SQUARE = -20040,
    SM_ERR_SINGULAR = -20041,
    SM_ERR_LEVELS = -20042,
    SM_ERR_FACTOR_LEVEL = -20043,
    SM_ERR_EMPTY_LEVEL = -20044,
    SM_ERR_TOTAL_POINTS = -20045,
    SM_ERR_UNBALANCED = -20047,
    SM_ERR_FIXED_EFFECT = -20048,
    SM_ERR_DISTINCT_X = -20049,
    SM_ERR_POLE = -20050,
    SM_ERR_FIRST_COLUMN = -20051,
    SM_ERR_DOF = -20052,
    SM_ERR_PROBABILITY = -20053,
    SM_ERR_CATEGORIES = -20055,
    SM_ERR_CONTINGENCY = -20056,
    SM_ERR_BETA = -20057,
    SM_ERR_DIMENSIONS = -20058,
    SM_ERR_DIVIDE_BY_ZERO = -20060,
    SM_ERR_SELECTION = -20061,
    SM_ERR_MAX_ITERATIONS = -20062,
    SM_ERR_POLYNOMIAL = -20063,
    SM_ERR_ALL_ZERO = -20065,
    SM_ERR_IIR_INFO = -20066,
    SM_ERR_BASE_TOP = -20101,
    SM_ERR_SHIFT_RANGE = -20102,
    SM_ERR_ORDER_GE_ZERO = -20103
};

/* Message of a status code; "Unknown error number" for codes not in the table.
 * The text is static and never NULL. */
SIGMATH_API const char *GetAnalysisErrorString(int32_t code);

/* Releases memory that a sigmath routine allocated for the caller. NULL is ignored. */
SIGMATH_API void FreeAnalysisMem(void *p);

/* 1 when the library found and registered with its runtime at load, 0 when
 * that failed (the reason was printed on stderr). Programs check it at start. */
SIGMATH_API int32_t SigmathRuntimeReady(void);

/* The library's version, "major.minor.patch" (static text, never NULL). */
SIGMATH_API const char *SigmathVersion(void);

SIGMATH_END_DECLS

#endif
