#include "suite/platform/DynamicLibrary.h"

#include <dlfcn.h>

#include <utility>

namespace locmail {

namespace {

std::string LastDlError(const char* fallback)
{
    const char* text = ::dlerror();
    return text ? std::string(text) : std::string(fallback);
}

} // namespace

DynamicLibrary::DynamicLibrary(const std::string& path)
{
    ::dlerror();
    handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr)
        error_ = LastDlError("cannot load library");
}

DynamicLibrary::~DynamicLibrary()
{
    Close();
}

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), error_(std::move(other.error_))
{
}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept
{
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, nullptr);
        error_ = std::move(other.error_);
    }
    return *this;
}

void* DynamicLibrary::Symbol(const char* name)
{
    if (handle_ == nullptr) {
        error_ = "no library loaded";
        return nullptr;
    }
    ::dlerror();
    void* address = ::dlsym(handle_, name);
    if (address == nullptr)
        error_ = LastDlError("symbol not found");
    return address;
}

void DynamicLibrary::Close()
{
    if (handle_ != nullptr)
        ::dlclose(std::exchange(handle_, nullptr));
}

} // namespace locmail
