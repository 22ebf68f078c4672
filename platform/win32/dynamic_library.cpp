#include "platform/dynamic_library.h"

#include <windows.h>

namespace zrt::platform {

DynamicLibrary::~DynamicLibrary() { unload(); }

bool DynamicLibrary::load(const std::string& path) {
    unload();
    handle_ = reinterpret_cast<void*>(::LoadLibraryA(path.c_str()));
    return handle_ != nullptr;
}

void* DynamicLibrary::symbol(const char* name) const {
    if (!handle_) return nullptr;
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(handle_), name));
}

void DynamicLibrary::unload() {
    if (handle_) {
        ::FreeLibrary(static_cast<HMODULE>(handle_));
        handle_ = nullptr;
    }
}

const char* DynamicLibrary::ModuleNameFormat() { return "%s.dll"; }

}  // namespace zrt::platform
