/* The field filters: libavfilter's detection, deinterlacing and film
 * restoration, in a module of their own (libvobcast-fields.so, beside the
 * engine) so that a conversion of progressive pictures never maps libavfilter
 * and what it links. The engine loads it by file name when a source needs it.
 * Plain C: the two sides share no C++ runtime state. */
#ifndef VOBCAST_FIELDS_MODULE_H
#define VOBCAST_FIELDS_MODULE_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define VOBCAST_FIELDS_EXPORT __attribute__((visibility("default")))
#define VOBCAST_FIELDS_FILE "libvobcast-fields.so"

/* The element it registers: I420 pictures in, progressive I420 pictures out at
 * the rate its filters give, through the libavfilter graph its "filters"
 * property names (e.g. "idet,bwdif=deint=interlaced"). */
#define VOBCAST_FIELDS_ELEMENT "vobcastfields"

/* Registers the element with GStreamer (once; later calls do nothing). 0 on
 * success. */
VOBCAST_FIELDS_EXPORT int32_t VobcastFieldsRegister(void);
typedef int32_t (*VobcastFieldsRegisterFn)(void);

/* What ffmpeg's idet sees in a run of pictures, one count a picture. */
typedef struct VobcastFieldCounts {
    int32_t pictures;
    int32_t combed;      /* two fields from different instants: top or bottom first */
    int32_t repeated;    /* a field that repeats the one before it, as 3:2 pulldown makes */
} VobcastFieldCounts;

/* Decodes the MPEG-2 video elementary stream in es[0, size) (from anywhere in
 * it: decoding starts at its first sequence header) and adds what idet sees in
 * its pictures to counts. 0 on success. */
VOBCAST_FIELDS_EXPORT int32_t VobcastFieldsMeasure(const uint8_t* es, size_t size, VobcastFieldCounts* counts);
typedef int32_t (*VobcastFieldsMeasureFn)(const uint8_t*, size_t, VobcastFieldCounts*);

#ifdef __cplusplus
}
#endif

#endif
