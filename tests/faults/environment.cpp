#include <malloc.h>

#include "tests/platform/test_environment.h"

namespace {
const auto* const kEnvironment = zrt::test::InstallProcessEnvironment("faults");

#if defined(__GLIBC__)
// Every session allocates and frees megabytes (engine tables, reference
// sets, the scan ring); kept in the heap, they are not faulted in afresh
// thousands of times.
const int kHeapKept = [] {
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    return mallopt(M_TRIM_THRESHOLD, 512 << 20);
}();
#endif
}  // namespace
