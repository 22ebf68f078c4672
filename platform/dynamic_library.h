// Run-time loading of a shared library by name (the frame finder's external module).
#pragma once

#include <string>

namespace zrt::platform {

class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    bool load(const std::string& path);
    void* symbol(const char* name) const;
    void unload();
    bool loaded() const { return handle_ != nullptr; }

    // "%s.so" here, "%s.dll" on Windows.
    static const char* ModuleNameFormat();

private:
    void* handle_ = nullptr;
};

}  // namespace zrt::platform
