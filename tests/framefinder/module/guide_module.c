/* An external film-guide module for the tests: reports one fixed strip,
 * taken from the settings' second 35 mm holder, so that a test can tell its
 * areas from the built-in ones. */
#include "zrts5617.h"

ZRTS_API int32_t ZRTS_CALL GetSleeveFilmGuideCIS(TIFF* image, const uint8_t* pixels,
                                                 FilmAreaList* areas, FrameSettings* settings) {
    (void)image;
    (void)pixels;
    FrameRect holder = settings->sleeve[1];
    areas->count = 1;
    areas->area[0].left = holder.left + settings->x_adjust;
    areas->area[0].right = holder.right - settings->x_adjust;
    areas->area[0].top = settings->resolution * 200 / 254 + 2; /* just inside the strip */
    areas->area[0].bottom = settings->resolution * 2500 / 254 - 3;
    areas->slope[0] = 0.0;
    return 0;
}
