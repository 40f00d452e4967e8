// rastcore3: the imaging engine's flat C interface.
// Every call takes the engine instance handle first; success or failure of a method is read
// afterwards from CV_GetImagError (0 success, negative failure).
#ifndef RASTCORE3_H
#define RASTCORE3_H

#include <stdint.h>

#if defined(RASTCORE3_STATIC)
#define CV_API
#elif defined(RASTCORE3_BUILDING)
#define CV_API __attribute__((visibility("default")))
#else
#define CV_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t CV_HANDLE;

CV_API void CV_CreateInstance(CV_HANDLE* handle);
CV_API void CV_DestroyInstance(CV_HANDLE handle);
CV_API int16_t CV_GetImagError(CV_HANDLE handle);

#ifdef __cplusplus
}
#endif

#endif
