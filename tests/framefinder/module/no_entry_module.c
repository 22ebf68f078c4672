/* A module without the film-guide entry. */
#include "zrts5617.h"

ZRTS_API int32_t ZRTS_CALL SomethingElse(void) { return 0; }
