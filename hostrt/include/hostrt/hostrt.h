/*
 * libhostrt — runtime services for libsigmath: client registration, floating-point
 * math with a per-thread error number, and memory/library services.
 *
 * Export naming. The lifecycle functions keep their historical names
 * (InitJQZRTDll, CloseJQZRTDll, JQZRTDllAbnormalExit, UsingHostRtDll,
 * __IsRTEStillLoaded): none of them collides with the C library. Every other
 * service carries the prefix "hrt_" (hrt_malloc, hrt_sin_FLTREG_, ...), so that
 * loading libhostrt never replaces malloc, free, sin or any other C library
 * function for the rest of the process. The library is built with hidden
 * visibility and a version script (HOSTRT_1) that exports exactly the names
 * declared here, and binds its internal calls to itself (-Bsymbolic).
 *
 * Math functions come in two result forms:
 *   hrt_<name>_FLTREG_    returns the double in the floating-point register;
 *   hrt_<name>_FLTEAXEDX_ returns the same value's IEEE-754 bit pattern as a
 *                         64-bit integer (low word = EAX, high word = EDX).
 * Both forms set the calling thread's error number (hrt_errno) exactly in the
 * documented cases and never clear it.
 */
#ifndef HOSTRT_HOSTRT_H
#define HOSTRT_HOSTRT_H

#include <stddef.h>
#include <stdint.h>

#if defined(HOSTRT_BUILDING)
#define HOSTRT_API __attribute__((visibility("default")))
#else
#define HOSTRT_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Error numbers stored in the per-thread error indicator. */
#define HOSTRT_EDOM 33
#define HOSTRT_ERANGE 34

/* Client lifecycle events. */
#define HOSTRT_EVENT_START 0
#define HOSTRT_EVENT_STOP 4
#define HOSTRT_EVENT_STARTED 5
#define HOSTRT_EVENT_STOPPING 6

/* Maximum number of (handler, module) registrations. */
#define HOSTRT_MAX_CLIENTS 32

typedef void (*HostRtEventHandler)(int32_t event);

/*
 * Registers a client module. Masks all floating-point exceptions for the
 * calling thread, registers every handler of the null-terminated list
 * `handlers` (may be NULL or empty) for `module` unless the pair is already
 * registered (a full table leaves the handler out), sends events 0 then 5
 * to the module's handlers in registration order, returns 1.
 * The nine table arguments before `handlers` describe further registration
 * tables of the client; they are accepted and not interpreted.
 */
HOSTRT_API int32_t InitJQZRTDll(void *module, const void *table1, const void *table2,
                                const void *table3, const void *table4, const void *table5,
                                const void *table6, const void *table7, const void *table8,
                                const void *table9, HostRtEventHandler const *handlers);

/* Unless hostrt is detached: events 6 then 4 to the module's handlers in reverse
 * registration order, then removes the module's entries. */
HOSTRT_API void CloseJQZRTDll(void *module);

/* Ends the process at once with `code`. */
HOSTRT_API void JQZRTDllAbnormalExit(int32_t code) __attribute__((noreturn));

/* Always 1: hostrt is the runtime in use. */
HOSTRT_API int32_t UsingHostRtDll(void);

/* Always 1. */
HOSTRT_API int32_t __IsRTEStillLoaded(void);

/* Address of the calling thread's error number (0 until a math function sets it). */
HOSTRT_API int32_t *hrt_errno_location(void);
#define hrt_errno (*hrt_errno_location())

/* The library's version, "major.minor.patch" (static text, never NULL). */
HOSTRT_API const char *hrt_version(void);

/* Introspection for tests and diagnostics. */
HOSTRT_API int32_t hrt_client_count(void);           /* registered (handler, module) pairs */
HOSTRT_API int32_t hrt_client_started(int32_t index); /* started flag of entry `index`, -1 if none */
HOSTRT_API int32_t hrt_is_detached(void);

/* Test hooks for allocation failure: after `n` more successful hrt_malloc/
 * hrt_calloc calls every further call returns NULL; n < 0 switches it off
 * (the default). hrt_live_blocks() counts blocks handed out and not freed. */
HOSTRT_API void hrt_fail_allocations_after(int32_t n);
HOSTRT_API int64_t hrt_live_blocks(void);

/* ---- Math, register form ---- */
HOSTRT_API double hrt_sin_FLTREG_(double x);
HOSTRT_API double hrt_cos_FLTREG_(double x);
HOSTRT_API double hrt_tan_FLTREG_(double x);
HOSTRT_API double hrt_atan_FLTREG_(double x);
HOSTRT_API double hrt_atan2_FLTREG_(double y, double x);
HOSTRT_API double hrt_acos_FLTREG_(double x);
HOSTRT_API double hrt_asin_FLTREG_(double x);
HOSTRT_API double hrt_exp_FLTREG_(double x);
HOSTRT_API double hrt_log_FLTREG_(double x);
HOSTRT_API double hrt_log10_FLTREG_(double x);
HOSTRT_API double hrt_pow_FLTREG_(double x, double y);
HOSTRT_API double hrt_sqrt_FLTREG_(double x);
HOSTRT_API double hrt_fabs_FLTREG_(double x);
HOSTRT_API double hrt_ceil_FLTREG_(double x);
HOSTRT_API double hrt_floor_FLTREG_(double x);
HOSTRT_API double hrt_fmod_FLTREG_(double x, double y);
HOSTRT_API double hrt_ldexp_FLTREG_(double x, int32_t n);

/* ---- Math, integer-pair form (bit pattern of the double) ---- */
HOSTRT_API uint64_t hrt_sin_FLTEAXEDX_(double x);
HOSTRT_API uint64_t hrt_cos_FLTEAXEDX_(double x);
HOSTRT_API uint64_t hrt_tan_FLTEAXEDX_(double x);
HOSTRT_API uint64_t hrt_atan_FLTEAXEDX_(double x);
HOSTRT_API uint64_t hrt_atan2_FLTEAXEDX_(double y, double x);
HOSTRT_API uint64_t hrt_acos_FLTEAXEDX_(double x);
HOSTRT_API uint64_t hrt_asin_FLTEAXEDX_(double x);
HOSTRT_API uint64_t hrt_exp_FLTEAXEDX_(double x);
HOSTRT_API uint64_t hrt_log_FLTEAXEDX_(double x);
HOSTRT_API uint64_t hrt_log10_FLTEAXEDX_(double x);
HOSTRT_API uint64_t hrt_pow_FLTEAXEDX_(double x, double y);
HOSTRT_API uint64_t hrt_sqrt_FLTEAXEDX_(double x);
HOSTRT_API uint64_t hrt_fabs_FLTEAXEDX_(double x);
HOSTRT_API uint64_t hrt_ceil_FLTEAXEDX_(double x);
HOSTRT_API uint64_t hrt_floor_FLTEAXEDX_(double x);
HOSTRT_API uint64_t hrt_fmod_FLTEAXEDX_(double x, double y);
HOSTRT_API uint64_t hrt_ldexp_FLTEAXEDX_(double x, int32_t n);

/* ---- Memory and library services ---- */
HOSTRT_API void *hrt_malloc(size_t n);                /* n == 0 -> NULL */
HOSTRT_API void *hrt_calloc(size_t count, size_t size); /* count*size == 0 -> NULL */
HOSTRT_API void hrt_free(void *p);                    /* NULL ignored */
HOSTRT_API void hrt_qsort(void *base, size_t count, size_t size,
                          int (*compare)(const void *, const void *));
HOSTRT_API void *hrt_memmove(void *dst, const void *src, size_t n);
HOSTRT_API void *hrt_memset(void *dst, int value, size_t n);
HOSTRT_API char *hrt_strcat(char *dst, const char *src);
HOSTRT_API char *hrt_strcpy(char *dst, const char *src);
HOSTRT_API size_t hrt_strlen(const char *s);
HOSTRT_API long hrt_labs(long v);

#ifdef __cplusplus
}
#endif

#endif /* HOSTRT_HOSTRT_H */
