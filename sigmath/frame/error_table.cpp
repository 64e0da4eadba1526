// Status codes and their messages, and the lookup callers use to show them.
#include "status.hpp"
#include "hostrt/hostrt.h"

#include <array>

namespace {

struct ErrorEntry {
    int32_t code;
    const char *message;
};

// Texts are returned exactly as they stand ("Contigency", "dt or dx" included).
constexpr std::array<ErrorEntry, 53> kErrorTable{{
    {0, "No error"},
    {-20001, "Insufficient memory"},
    {-20002, "Input sequences must be the same size"},
    {-20003, "Number of samples must be greater than zero"},
    {-20004, "Number of samples must be greater than or equal to zero"},
    {-20006, "Number of samples must be greater than or equal to two"},
    {-20007, "Number of samples must be greater than or equal to three"},
    {-20008, "Array size error"},
    {-20009, "Array size is not a power of 2"},
    {-20012, "Number of cycles must be greater than zero and less than or equal to the number of samples"},
    {-20014, "Delay width error"},
    {-20016, "dt or dx must be greater than zero"},
    {-20017, "Index must be greater than zero and less than the number of samples"},
    {-20018, "Index length error"},
    {-20019, "Upper value must be greater than or equal to the lower value"},
    {-20020, "Nyquist error"},
    {-20021, "Order must be positive"},
    {-20022, "Invalid decimating factor"},
    {-20023, "Invalid band specification"},
    {-20024, "Ripple must be positive"},
    {-20025, "Attenuation must be positive"},
    {-20028, "Attenuation must be greater than the ripple amplitude"},
    {-20031, "Filter cannot be designed with given parameters"},
    {-20033, "Number of coefficients must be odd"},
    {-20034, "Number of coefficients must be even"},
    {-20036, "Second array must be all positive or negative and nonzero"},
    {-20037, "Array size must be greater than the order"},
    {-20040, "Input matrix must be a square matrix"},
    {-20041, "Input matrix is singular"},
    {-20042, "Number of levels is outside allowable range"},
    {-20043, "The level of factor is outside allowable range"},
    {-20044, "All the levels of a factor must have at least one observation"},
    {-20045, "Invalid total number of data points"},
    {-20047, "Data is unbalanced"},
    {-20048, "Fixed Effect model is required"},
    {-20049, "X values must be distinct"},
    {-20050, "Interpolating function has a pole at the requested value"},
    {-20051, "First column in the X matrix must be all ones"},
    {-20052, "Invalid degrees of freedom"},
    {-20053, "Probability must be between 0 and 1"},
    {-20055, "Invalid number of categories or samples"},
    {-20056, "Contigency table has a negative number"},
    {-20057, "Invalid parameter to beta function"},
    {-20058, "Invalid number of dimensions or dependent variables"},
    {-20060, "Divide by zero"},
    {-20061, "Invalid selection"},
    {-20062, "Maximum iteration exceeded"},
    {-20063, "Invalid polynomial"},
    {-20065, "The elements of the vector can not be all zero"},
    {-20066, "The information in IIR filter structure is not correct"},
    {-20101, "Base must be less than top"},
    {-20102, "Shift range error"},
    {-20103, "Order must be greater than or equal to zero"},
}};

constexpr const char *kUnknownError = "Unknown error number";

} // namespace

SIGMATH_EXPORT const char *GetAnalysisErrorString(int32_t code)
{
    for (const ErrorEntry &e : kErrorTable)
        if (e.code == code)
            return e.message;
    return kUnknownError;
}

SIGMATH_EXPORT void FreeAnalysisMem(void *p) { hrt_free(p); }
