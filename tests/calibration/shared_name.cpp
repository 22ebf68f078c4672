// The test program's own shared block: named before anything opens it and
// removed when the program ends.
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>

namespace {

struct SharedName {
    SharedName() : name("/zrt-test-calibration-" + std::to_string(getpid())) {
        setenv("ZRT_SHARED_NAME", name.c_str(), 1);
    }
    ~SharedName() { shm_unlink(name.c_str()); }
    std::string name;
};

const SharedName kSharedName;

}  // namespace
