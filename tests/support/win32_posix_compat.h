// The few POSIX calls the test suites use, for the Windows cross build
// (force-included there; never seen by the libraries).
#pragma once

#if defined(_WIN32)
#include <direct.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#ifdef __cplusplus
extern "C++" {
inline int setenv(const char* name, const char* value, int overwrite) {
    if (!overwrite && getenv(name)) return 0;
    return _putenv_s(name, value);
}
inline int unsetenv(const char* name) { return _putenv_s(name, ""); }
inline char* mkdtemp(char* pattern) {
    const size_t n = strlen(pattern);
    if (n < 6) return nullptr;
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        unsigned value = static_cast<unsigned>(GetTickCount()) * 2654435761u + attempt * 7919u +
                         static_cast<unsigned>(GetCurrentProcessId());
        for (size_t i = n - 6; i < n; ++i) {
            pattern[i] = "abcdefghijklmnopqrstuvwxyz0123456789"[value % 36];
            value /= 36;
        }
        if (_mkdir(pattern) == 0) return pattern;
    }
    return nullptr;
}
}
#endif
#endif
