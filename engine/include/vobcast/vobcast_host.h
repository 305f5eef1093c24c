/* What a host program may set up around the five calls of vobcast.h.
 *
 * None of it is needed. Without a sink or a chooser, a program that runs a
 * QApplication gets the engine's own message boxes and compressor dialog; any
 * other process gets the messages on standard error and the first installed
 * compressor with its defaults, and maps no Qt library.
 *
 * Everything here is called from the thread that calls DoInit. Strings are
 * UTF-8; the engine reads them only during the call.
 */
#ifndef VOBCAST_VOBCAST_HOST_H
#define VOBCAST_VOBCAST_HOST_H

#include "vobcast.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Messages ---------------------------------------------------------- */

/* Receives each text the engine would show in a message box, byte for byte,
 * and returns when the host is done with it. */
typedef void (*VobcastMessageSink)(void* context, const char* text);
/* Installs sink (NULL restores the message boxes). */
VOBCAST_EXPORT void VobcastSetMessageSink(VobcastMessageSink sink, void* context);

/* ---- The compressor chooser ------------------------------------------- */

/* What the chooser proposes, and what a compressor gets when nobody says. */
#define VOBCAST_DEFAULT_KEY_FRAMES 250
#define VOBCAST_DEFAULT_DATA_RATE_KBPS 1800

typedef struct VobcastChoice {
    int32_t compressor;     /* index as VobcastCompressorName counts; -1: uncompressed frames */
    int32_t key_frames;     /* a key frame every this many frames */
    int32_t data_rate_kbps; /* video data rate */
} VobcastChoice;

/* Answers DoInit's compressor chooser. choice arrives holding the first
 * compressor and the defaults; the chooser changes what it wants and returns
 * nonzero, or returns 0 to cancel as the dialog's Cancel button does. */
typedef int32_t (*VobcastChooser)(void* context, VobcastChoice* choice);
/* Installs chooser (NULL restores the dialog). */
VOBCAST_EXPORT void VobcastSetChooser(VobcastChooser chooser, void* context);

/* Copies the name of installed compressor index into buffer (size bytes,
 * always NUL-terminated, cut short if need be) and returns the name's whole
 * length; -1 when there is no compressor index. */
VOBCAST_EXPORT int32_t VobcastCompressorName(int32_t index, char* buffer, int32_t size);

/* ---- Sources ------------------------------------------------------------ */

/* Chooses what the next DoInit reads from its source path, until DoUninit.
 * title 0 (the default) reads the path as a plain file. title N >= 1 reads the
 * N-th title of the DVD at the path (its mount point, a VIDEO_TS folder or an
 * ISO image file) as a player plays it: its navigation packs followed through
 * the title set's files, one angle (VobcastChooseAngle) and one branch, to
 * where the title's program ends.
 * audio_stream picks the sound the "AC3" pin carries by its DVD stream number
 * (0-7: AC-3 0x80+n, DTS 0x88+n, LPCM 0xA0+n, MPEG audio 0xC0+n); -1 takes the
 * first AC-3 stream, or where there is none the first MPEG or LPCM stream. */
VOBCAST_EXPORT int32_t VobcastChooseSource(int32_t title, int32_t audio_stream);

/* Chooses the angle the next DoInit reads of a title with several (a concert's
 * cameras, a film's credits in two languages), until DoUninit: 1-based, 0 (the
 * default) for the first. The title is read as a player plays that angle:
 * every other angle's units are passed by. DoInit fails when the title has no
 * such angle. 0 on success, E_INVALIDARG for a value out of 0-9. */
VOBCAST_EXPORT int32_t VobcastChooseAngle(int32_t angle);

/* Chooses how the next DoInit makes pictures whose two fields come from
 * different instants progressive, until DoUninit. deinterlace: 0 (the
 * default) deinterlaces the pictures that show combing, 1 every picture, 2
 * none. detelecine: 0 (the default) turns film pulled down into fields back
 * into its own frames (at 24000/1001 where the whole source is film), 1
 * leaves it. 0 on success, E_INVALIDARG for a value out of range. */
VOBCAST_EXPORT int32_t VobcastChoosePictures(int32_t deinterlace, int32_t detelecine);

/* Chooses the subtitles the next DoInit draws into the pictures, until
 * DoUninit. stream: the DVD subpicture stream number (0-31, substream
 * 0x20+n), -1 (the default) for none. forced_only: 1 draws only the
 * subpictures the disc marks forced. The colours come from the title's colour
 * table, or for a VOB file from its title set's IFO file beside it. 0 on
 * success, E_INVALIDARG for a value out of range. */
VOBCAST_EXPORT int32_t VobcastChooseSubtitles(int32_t stream, int32_t forced_only);

typedef struct VobcastSourceInfo {
    int32_t program_stream; /* an MPEG program stream was found */
    int32_t encrypted;      /* CSS-scrambled sectors */
    int32_t has_video;      /* an MPEG video stream */
    int32_t has_audio;      /* the sound the "AC3" pin would carry (see VobcastChooseSource) */
    int32_t audio_count;
    char audio[8][24]; /* each audio stream's format: "AC-3", "MPEG-1 Layer II", "LPCM", "DTS" */
    double seconds;    /* playing time, 0 when it can't be told */
    int32_t subtitle_colours; /* the subtitles chosen (VobcastChooseSubtitles) have their disc's colours:
                                 from the title, or the IFO file beside a VOB file; 0 when they have the
                                 default ones, or none are chosen */
    char problem[160];        /* why no program stream could be read ("" when one was): a DVD title's
                                 VOB files missing, a file that can't be opened */
} VobcastSourceInfo;

/* Reads what source holds, as VobcastChooseSource set it to be read; 0 on
 * success, -1 for a null argument. Reads the start of the source and samples
 * it; it does not decode. */
VOBCAST_EXPORT int32_t VobcastDescribeSource(const char* source, VobcastSourceInfo* info);

/* The playing time in seconds of what the last successful DoInit opened; 0
 * when it could not be told or nothing is open. */
VOBCAST_EXPORT double VobcastSourceSeconds(void);

/* ---- Picture edges and file size ---------------------------------------- */

/* Chooses the rows and columns the next DoInit cuts from the pictures' edges,
 * after any subtitles are drawn, until DoUninit: even numbers, all 0 (the
 * default) for the whole picture. The pixels keep their shape, so what stays
 * shows as wide as it did. 0 on success, E_INVALIDARG for an odd or negative
 * value. */
VOBCAST_EXPORT int32_t VobcastChooseCrop(int32_t top, int32_t bottom, int32_t left, int32_t right);

typedef struct VobcastCrop {
    int32_t top, bottom, left, right; /* the black bars, even numbers, for VobcastChooseCrop */
    int32_t width, height;            /* of the source's pictures */
    int32_t pictures;                 /* decoded to find them */
} VobcastCrop;

/* Finds the black bars of source, as VobcastChooseSource set it to be read,
 * from pictures decoded at 24 places spread over it: a bar is what every one
 * of them shows dark at that edge. 0 on success, -1 when no picture could be
 * decoded (or for a null argument). */
VOBCAST_EXPORT int32_t VobcastFindCrop(const char* source, VobcastCrop* crop);

/* Chooses how the next DoInit's video compressor spends its bits, until
 * DoUninit. pass 0 (the default): one pass at the chooser's data rate.
 * pass 1: measures what each picture of the source costs to code into the
 * file stats_path, and writes no video worth keeping (the destination may be
 * /dev/null). pass 2: reads stats_path and spends the bits of a file of
 * file_bytes bytes (its sound, headers and index included) over the pictures
 * by that measure, the same quality throughout. Both passes must read the
 * same source with the same choices and key-frame interval. 0 on success,
 * E_INVALIDARG for a pass out of range or a missing path or size; DoInit
 * fails when the compressor chosen can't code in two passes. */
/* What a file of a given size holds beside its video: the sound and the AVI's
 * chunk headers and indexes (kbit/s), and its headers (bytes). */
#define VOBCAST_SIZE_OTHER_KBPS 142
#define VOBCAST_SIZE_HEADER_BYTES 16384
VOBCAST_EXPORT int32_t VobcastChooseSize(int32_t pass, const char* stats_path, int64_t file_bytes);

/* ---- DVD titles -------------------------------------------------------- */

typedef struct VobcastAudioTrack {
    int32_t stream;     /* DVD stream number, for VobcastChooseSource */
    char language[4];   /* ISO 639-1 code, "" when the disc names none */
    char format[16];    /* "AC-3", "MPEG-1", "MPEG-2", "LPCM", "DTS", "SDDS" */
    int32_t channels;
} VobcastAudioTrack;

typedef struct VobcastSubtitleTrack {
    int32_t stream;     /* DVD subpicture stream number (0-31) */
    char language[4];   /* ISO 639-1 code, "" when the disc names none */
} VobcastSubtitleTrack;

typedef struct VobcastTitle {
    int32_t number;     /* 1-based, as VobcastChooseSource takes it */
    double seconds;
    int32_t chapters;
    int32_t angles;
    int32_t title_set;
    int32_t audio_count;
    VobcastAudioTrack audio[8]; /* in track order: track 1 first */
    int32_t subtitle_count;
    VobcastSubtitleTrack subtitles[32]; /* in track order: track 1 first */
} VobcastTitle;

typedef struct VobcastDisc {
    char volume_label[33]; /* "" when the disc has none */
    int32_t title_count;
    int32_t main_title;    /* the title the disc plays for "Play" (First Play followed through the
                              menus' default buttons), else the longest title that repeats no other's
                              cells; 0 when there is none */
    VobcastTitle titles[99];
    char error[256];       /* why the disc could not be read, "" on success */
    int32_t main_title_played; /* main_title was found by following the disc's program */
} VobcastDisc;

/* Reads the titles of the DVD at path (a mount point, a VIDEO_TS folder or an
 * ISO image file) from its IFO files into disc; 0 on success, -1 with
 * disc->error set when path holds no readable DVD. */
VOBCAST_EXPORT int32_t VobcastReadDisc(const char* path, VobcastDisc* disc);

#ifdef __cplusplus
}
#endif

#endif
