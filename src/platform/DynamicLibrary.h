#pragma once
// A loaded shared library: load by path, look up exported symbols, ask for the path the loader
// knows the module by, unload when destroyed.

#include <string>

namespace gz {

class TDynamicLibrary {
public:
    TDynamicLibrary() = default;
    ~TDynamicLibrary() { Unload(); }
    TDynamicLibrary(const TDynamicLibrary&) = delete;
    TDynamicLibrary& operator=(const TDynamicLibrary&) = delete;
    TDynamicLibrary(TDynamicLibrary&& other) noexcept;
    TDynamicLibrary& operator=(TDynamicLibrary&& other) noexcept;

    // Loads the library; a name without "/" is taken relative to the current folder, never
    // looked up on the library search path. Returns false (see Error()) when it cannot be loaded.
    bool Load(const std::string& path);
    void Unload();
    bool Loaded() const { return handle_ != nullptr; }

    // The address of an exported symbol, or null.
    void* Symbol(const char* name) const;
    // The absolute path of the loaded module as the loader reports it; empty when unknown.
    std::string ModuleFileName() const;
    // The loader's reason for the last failed Load.
    const std::string& Error() const { return error_; }

private:
    void* handle_ = nullptr;
    std::string error_;
};

} // namespace gz
