/* Compiled as C so that the public header stays valid C. */
#include "zrts5617.h"

int zrts5617_header_is_c(void) { return (int)sizeof(FrameSettings); }
