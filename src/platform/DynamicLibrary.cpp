#include "platform/DynamicLibrary.h"

#include <dlfcn.h>
#include <link.h>

#include <filesystem>
#include <utility>

namespace gz {

TDynamicLibrary::TDynamicLibrary(TDynamicLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), error_(std::move(other.error_))
{
}

TDynamicLibrary& TDynamicLibrary::operator=(TDynamicLibrary&& other) noexcept
{
    if (this != &other) {
        Unload();
        handle_ = std::exchange(other.handle_, nullptr);
        error_ = std::move(other.error_);
    }
    return *this;
}

bool TDynamicLibrary::Load(const std::string& path)
{
    Unload();
    error_.clear();
    if (path.empty()) {
        error_ = "empty library name";
        return false;
    }
    // dlopen searches the library path for a bare name; a plug-in is always a file we name.
    const std::string name = path.find('/') == std::string::npos ? "./" + path : path;
    handle_ = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* reason = dlerror();
        error_ = reason ? reason : "unknown error";
        return false;
    }
    return true;
}

void TDynamicLibrary::Unload()
{
    if (handle_) {
        dlclose(handle_);
        handle_ = nullptr;
    }
}

void* TDynamicLibrary::Symbol(const char* name) const
{
    if (!handle_)
        return nullptr;
    return dlsym(handle_, name);
}

std::string TDynamicLibrary::ModuleFileName() const
{
    if (!handle_)
        return {};
    link_map* map = nullptr;
    if (dlinfo(handle_, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name || !*map->l_name)
        return {};
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(map->l_name, ec);
    if (ec)
        return map->l_name;
    return p.lexically_normal().string();
}

} // namespace gz
