#include "platform/dynamic_library.h"

#include <dlfcn.h>

namespace zrt::platform {

DynamicLibrary::~DynamicLibrary() { unload(); }

bool DynamicLibrary::load(const std::string& path) {
    unload();
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    return handle_ != nullptr;
}

void* DynamicLibrary::symbol(const char* name) const {
    return handle_ ? dlsym(handle_, name) : nullptr;
}

void DynamicLibrary::unload() {
    if (handle_) {
        dlclose(handle_);
        handle_ = nullptr;
    }
}

const char* DynamicLibrary::ModuleNameFormat() { return "%s.so"; }

}  // namespace zrt::platform
