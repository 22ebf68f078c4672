/* ZRTS5617: finds the frames on a film preview.
 *
 * Every record below is exchanged by address with callers and with an
 * external module built by another compiler, so its layout is fixed: only
 * fixed-width fields, explicit spare fields where a 32-bit Windows compiler
 * would pad, and no pointers. The offsets are checked at compile time. */
#ifndef ZRTS5617_H
#define ZRTS5617_H

#include <stddef.h>
#include <stdint.h>

#ifdef _WIN32
#define ZRTS_CALL __stdcall
#ifdef ZRTS5617_BUILDING
#define ZRTS_API __declspec(dllexport)
#else
#define ZRTS_API __declspec(dllimport)
#endif
#else
#define ZRTS_CALL
#ifdef ZRTS5617_BUILDING
#define ZRTS_API __attribute__((visibility("default")))
#else
#define ZRTS_API
#endif
#endif

#ifdef __cplusplus
#define ZRTS_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
extern "C" {
#else
#define ZRTS_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

/* Result codes of VORN2_Initialize and VORN2_SearchOnPreview. */
#define ZRTS_OK 0
#define ZRTS_FILE_NOT_OPENED 1
#define ZRTS_LINE_TOO_SHORT 3
#define ZRTS_OUT_OF_MEMORY 224
#define ZRTS_NO_HOLDER 225

#define ZRTS_MAX_FRAMES 60
#define ZRTS_MAX_AREAS 20
#define ZRTS_POLARITY_POSITIVE 0
#define ZRTS_POLARITY_NEGATIVE 256

/* Frame kinds of FilmPosition.kind and of a search result entry. */
#define ZRTS_KIND_35MM 0
#define ZRTS_KIND_MOUNT 1
#define ZRTS_KIND_BLOWNE45 2
#define ZRTS_KIND_BLOWNE120 7
#define ZRTS_KIND_LARGE 8

typedef struct VORN2_IMAGE_INFO {
    uint16_t width;
    uint16_t height;
    uint16_t xres;
    uint16_t yres;
    uint16_t stride; /* bytes from one preview line to the next */
} VORN2_IMAGE_INFO;

typedef struct VORN2_FRAME {
    uint16_t number; /* 1, 2, 3 ... */
    int16_t x;
    int16_t y;
    uint16_t width;
    uint16_t height;
    uint16_t reserved[3];
    int16_t kind;
    int16_t polarity; /* 0 positive, 256 negative */
} VORN2_FRAME;

typedef struct VORN2_SEARCH_RESULT {
    uint16_t count;
    VORN2_FRAME frame[ZRTS_MAX_FRAMES];
} VORN2_SEARCH_RESULT;

/* Image descriptor. `file` is a handle of the image-file module, not a
 * pointer, so that the record keeps its size on every platform. */
typedef struct TIFF {
    int32_t file;
    int32_t width;
    int32_t height;
    int32_t xres;
    int32_t yres;
    int32_t bits;
    int32_t offset;
    int32_t stride;
} TIFF;

/* Inclusive rectangle in preview pixels. */
typedef struct FrameRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
} FrameRect;

typedef struct FilmAreaList {
    int32_t count;
    FrameRect area[ZRTS_MAX_AREAS];
    int32_t reserved;
    double slope[ZRTS_MAX_AREAS]; /* horizontal drift in pixels per row */
} FilmAreaList;

typedef struct FilmPosition {
    int32_t count;
    int32_t area[ZRTS_MAX_FRAMES];
    FrameRect rect[ZRTS_MAX_FRAMES];
    int32_t kind[ZRTS_MAX_FRAMES];
    int32_t polarity[ZRTS_MAX_FRAMES];
    uint16_t base[ZRTS_MAX_FRAMES][3]; /* film-base colour R, G, B */
} FilmPosition;

typedef struct FrameSize {
    int32_t film_min_length; /* exclusive bounds of a frame's length */
    int32_t film_max_length;
    int32_t film_length;     /* nominal length used to fill gaps */
    int32_t kind;
} FrameSize;

typedef struct SnakesParams {
    int32_t LeftAdjust;
    int32_t RightAdjust;
    int32_t TopAdjust;
    int32_t BottomAdjust;
    int32_t Xrange;
    int32_t Yrange;
    int32_t Threshold;
    int32_t reserved;
    double Ratio;
} SnakesParams;

typedef struct PanoParams {
    int32_t PanoMean;
    int32_t reserved0;
    double PanoSigma;
    int32_t PanoLength;
    int32_t PanoRangeS;
    int32_t PanoRangeE;
    int32_t reserved1;
} PanoParams;

#define ZRTS_MAX_DEBUG_FRAMES 60
#define ZRTS_MAX_MOUNTS 12
#define ZRTS_MAX_HOLDERS 30
#define ZRTS_MAX_TEMPLATES 4
#define ZRTS_TEMPLATE_BYTES 4096
#define ZRTS_MODULE_NAME_BYTES 1024

/* Indices of FrameSettings.frame_size. Index 0 holds the mount window:
 * film_min_length = MountLengthX, film_max_length = MountLengthY,
 * film_length = Mount_inside, kind = Mount_upper. */
#define ZRTS_SIZE_MOUNT 0
#define ZRTS_SIZE_SLEEVE35 1
#define ZRTS_SIZE_BLOWNE45 2
#define ZRTS_SIZE_BLOWNE120 7

typedef struct FrameSettings {
    FrameRect debug_rect[ZRTS_MAX_DEBUG_FRAMES];
    int32_t debug_kind[ZRTS_MAX_DEBUG_FRAMES];
    int32_t debug_polarity[ZRTS_MAX_DEBUG_FRAMES];
    int32_t debug_count;
    int32_t scanner;
    int32_t resolution;
    int32_t external_module;
    char external_module_name[ZRTS_MODULE_NAME_BYTES];
    int32_t image_min_width;
    int32_t image_min_height;
    int32_t debug_flags;
    uint8_t template_count;
    uint8_t template_block;
    uint8_t templates[ZRTS_MAX_TEMPLATES][ZRTS_TEMPLATE_BYTES];
    uint16_t template_threshold[3]; /* R, G, B */
    int32_t mount_count;
    int32_t mount[ZRTS_MAX_MOUNTS][4]; /* x, y, two spare */
    int32_t sleeve_count;
    FrameRect sleeve[ZRTS_MAX_HOLDERS];
    int32_t sleeve_reserved;
    int32_t blowne_count;
    FrameRect blowne[ZRTS_MAX_HOLDERS];
    int32_t blowne_reserved;
    int32_t fau_luminance;
    int32_t margin_top;
    int32_t margin_bottom;
    int32_t margin_left;
    int32_t margin_right;
    int32_t x_adjust;
    int32_t range_x;
    int32_t range_y;
    int32_t divider;
    int32_t guide_threshold;
    int32_t black_mylar;
    int32_t black_mylar_reserved;
    double pos_divider_th1;
    double pos_divider_th2;
    double neg_divider_th1;
    double neg_divider_th2;
    FrameSize frame_size[8];
    SnakesParams mount_snakes;
    SnakesParams nega_snakes;
    SnakesParams posi_snakes;
    SnakesParams blowne_neg_snakes;
    SnakesParams blowne_pos_snakes;
    PanoParams pano;
    int32_t estimate135_length;
    int32_t estimate120_bound[8]; /* U45, 45, 60, 70, 80, 90, 120, spare */
    int32_t estimate120_length[6]; /* 45, 60, 70, 80, 90, 120 */
    int32_t reserved_tail;
} FrameSettings;

ZRTS_STATIC_ASSERT(sizeof(VORN2_IMAGE_INFO) == 10, "VORN2_IMAGE_INFO layout");
ZRTS_STATIC_ASSERT(sizeof(VORN2_FRAME) == 20, "VORN2_FRAME layout");
ZRTS_STATIC_ASSERT(sizeof(VORN2_SEARCH_RESULT) == 1202, "VORN2_SEARCH_RESULT layout");
ZRTS_STATIC_ASSERT(offsetof(VORN2_FRAME, kind) == 16, "VORN2_FRAME layout");
ZRTS_STATIC_ASSERT(sizeof(TIFF) == 32, "TIFF layout");
ZRTS_STATIC_ASSERT(sizeof(FrameRect) == 16, "FrameRect layout");
ZRTS_STATIC_ASSERT(offsetof(FilmAreaList, slope) == 328, "FilmAreaList layout");
ZRTS_STATIC_ASSERT(sizeof(FilmAreaList) == 488, "FilmAreaList layout");
ZRTS_STATIC_ASSERT(offsetof(FilmPosition, rect) == 244, "FilmPosition layout");
ZRTS_STATIC_ASSERT(offsetof(FilmPosition, kind) == 1204, "FilmPosition layout");
ZRTS_STATIC_ASSERT(offsetof(FilmPosition, polarity) == 1444, "FilmPosition layout");
ZRTS_STATIC_ASSERT(offsetof(FilmPosition, base) == 1684, "FilmPosition layout");
ZRTS_STATIC_ASSERT(sizeof(FilmPosition) == 2044, "FilmPosition layout");
ZRTS_STATIC_ASSERT(sizeof(SnakesParams) == 40, "SnakesParams layout");
ZRTS_STATIC_ASSERT(offsetof(SnakesParams, Ratio) == 32, "SnakesParams layout");
ZRTS_STATIC_ASSERT(sizeof(PanoParams) == 32, "PanoParams layout");
ZRTS_STATIC_ASSERT(offsetof(PanoParams, PanoSigma) == 8, "PanoParams layout");
ZRTS_STATIC_ASSERT(offsetof(FrameSettings, debug_kind) == 960, "FrameSettings layout");
ZRTS_STATIC_ASSERT(offsetof(FrameSettings, debug_count) == 1440, "FrameSettings layout");
ZRTS_STATIC_ASSERT(offsetof(FrameSettings, scanner) == 1444, "FrameSettings layout");
ZRTS_STATIC_ASSERT(offsetof(FrameSettings, external_module_name) == 1456, "FrameSettings layout");
ZRTS_STATIC_ASSERT(offsetof(FrameSettings, image_min_width) == 2480, "FrameSettings layout");
ZRTS_STATIC_ASSERT(offsetof(FrameSettings, template_count) == 2492, "FrameSettings layout");
ZRTS_STATIC_ASSERT(offsetof(FrameSettings, templates) == 2494, "FrameSettings layout");
ZRTS_STATIC_ASSERT(offsetof(FrameSettings, template_threshold) == 18878, "FrameSettings layout");
ZRTS_STATIC_ASSERT(offsetof(FrameSettings, mount_count) == 18884, "FrameSettings layout");
ZRTS_STATIC_ASSERT(offsetof(FrameSettings, sleeve_count) == 19080, "FrameSettings layout");
ZRTS_STATIC_ASSERT(offsetof(FrameSettings, blowne_count) == 19568, "FrameSettings layout");
ZRTS_STATIC_ASSERT(offsetof(FrameSettings, fau_luminance) == 20056, "FrameSettings layout");
ZRTS_STATIC_ASSERT(offsetof(FrameSettings, x_adjust) == 20076, "FrameSettings layout");
ZRTS_STATIC_ASSERT(offsetof(FrameSettings, black_mylar) == 20096, "FrameSettings layout");
ZRTS_STATIC_ASSERT(offsetof(FrameSettings, pos_divider_th1) == 20104, "FrameSettings layout");
ZRTS_STATIC_ASSERT(offsetof(FrameSettings, frame_size) == 20136, "FrameSettings layout");
ZRTS_STATIC_ASSERT(offsetof(FrameSettings, mount_snakes) == 20264, "FrameSettings layout");
ZRTS_STATIC_ASSERT(offsetof(FrameSettings, blowne_pos_snakes) == 20424, "FrameSettings layout");
ZRTS_STATIC_ASSERT(offsetof(FrameSettings, pano) == 20464, "FrameSettings layout");
ZRTS_STATIC_ASSERT(offsetof(FrameSettings, estimate135_length) == 20496, "FrameSettings layout");
ZRTS_STATIC_ASSERT(offsetof(FrameSettings, estimate120_bound) == 20500, "FrameSettings layout");
ZRTS_STATIC_ASSERT(offsetof(FrameSettings, estimate120_length) == 20532, "FrameSettings layout");
ZRTS_STATIC_ASSERT(sizeof(FrameSettings) == 20560, "FrameSettings layout");

/* Reads the settings file; 0 read to its end, 1 not opened, 224 no memory. */
ZRTS_API int32_t ZRTS_CALL VORN2_Initialize(const char* settings_path);

/* Finds the frames on a 48-bit preview. mode: 1 positive, 2 negative,
 * 3 both with a decision per film strip. Returns 0, 3, 224 or 225. */
ZRTS_API int32_t ZRTS_CALL VORN2_SearchOnPreview(const VORN2_IMAGE_INFO* info,
                                                 const uint8_t* pixels,
                                                 VORN2_SEARCH_RESULT* result, int32_t mode);

/* Frames of a large-format holder; always returns 0. */
ZRTS_API int32_t ZRTS_CALL GetLargeFormat(TIFF* image, const uint8_t* pixels,
                                          FilmPosition* frames, int32_t unused);

/* One film strip without configured holders; also the entry an external
 * module offers under the same name. Always returns 0. */
ZRTS_API int32_t ZRTS_CALL GetSleeveFilmGuideCIS(TIFF* image, const uint8_t* pixels,
                                                 FilmAreaList* areas,
                                                 FrameSettings* settings);

typedef int32_t(ZRTS_CALL* GetSleeveFilmGuideCISProc)(TIFF*, const uint8_t*,
                                                       FilmAreaList*, FrameSettings*);

#ifdef __cplusplus
}
#endif

#endif /* ZRTS5617_H */
