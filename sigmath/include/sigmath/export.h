/* Export and calling-convention macros shared by every sigmath header. */
#ifndef SIGMATH_EXPORT_H
#define SIGMATH_EXPORT_H

#include <stdint.h>

#if defined(SIGMATH_BUILDING)
#define SIGMATH_API __attribute__((visibility("default")))
#else
#define SIGMATH_API
#endif

#ifdef __cplusplus
#define SIGMATH_BEGIN_DECLS extern "C" {
#define SIGMATH_END_DECLS }
#else
#define SIGMATH_BEGIN_DECLS
#define SIGMATH_END_DECLS
#endif

#endif
