// Sequences of engine operations that stop at the first failing step and
// hand its status on.
#pragma once

#include "engine/api/status_codes.h"

#define ZRT_RETURN_IF_FAILED(expression)                 \
    do {                                                 \
        const ::zrt::StatusCode zrtStatus_ = (expression); \
        if (zrtStatus_ != ::zrt::status::Ok) return zrtStatus_; \
    } while (0)
