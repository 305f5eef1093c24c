/* The conversion engine: one VOB file in, one AVI file out.
 *
 * One conversion per process, driven from one thread:
 *   DoInit -> StartComp -> GetCurrentPos (polled until 100) -> StopComp -> DoUninit,
 * with DoUninit also after a failed DoInit. Strings are UTF-8 and read only
 * during the call. Failures are shown to the user in message boxes by the
 * engine itself and returned as COM status codes (0 for success).
 */
#ifndef VOBCAST_VOBCAST_H
#define VOBCAST_VOBCAST_H

#include <stdint.h>

#if defined(VOBCAST_BUILDING)
#define VOBCAST_EXPORT __attribute__((visibility("default")))
#else
#define VOBCAST_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Status returned by DoInit when no usable video compressor was chosen. */
#define VOBCAST_E_NO_COMPRESSOR ((int32_t)0x80000001u)

/* Builds the conversion graph. window: native id of the owner of the
 * compressor chooser (0 for none). flag: 0 lets the user choose the video
 * compressor and remembers it, 1 reuses the remembered one. */
VOBCAST_EXPORT int32_t DoInit(uintptr_t window, const char* source, const char* destination, int32_t flag);
/* Runs the built graph. */
VOBCAST_EXPORT int32_t StartComp(void);
/* Stops it; the AVI written so far is finalised and stays valid. */
VOBCAST_EXPORT int32_t StopComp(void);
/* Releases the conversion; always 0. */
VOBCAST_EXPORT int32_t DoUninit(void);
/* Progress in percent: 0 to 99 while running, never going back; 100 once
 * the whole file is written (also after a failure or a stall, which has then
 * been shown); -1 when the position can't be read. */
VOBCAST_EXPORT int64_t GetCurrentPos(void);

#ifdef __cplusplus
}
#endif

#endif
