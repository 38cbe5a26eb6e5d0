// A loaded shared library (the Windows LoadLibraryA/GetProcAddress/FreeLibrary trio).
//
// Contract: the constructor loads PATH with dlopen(RTLD_NOW | RTLD_LOCAL), so
// unresolved symbols fail the load rather than a later call; PATH without '/'
// is searched the dynamic linker's way. The destructor (or Close) unloads it.
// Movable, not copyable. Symbol lookups may run on several threads at once.
// Failure modes: a library that cannot be loaded gives IsLoaded() false and
// ErrorText() the loader's message; a missing symbol gives null and sets
// ErrorText(). Nothing throws except std::bad_alloc.
#pragma once

#include <string>

namespace locmail {

class DynamicLibrary {
public:
    DynamicLibrary() = default; // nothing loaded
    explicit DynamicLibrary(const std::string& path);
    ~DynamicLibrary();
    DynamicLibrary(DynamicLibrary&& other) noexcept;
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    bool IsLoaded() const { return handle_ != nullptr; }

    // The address of NAME, or null (see ErrorText) when missing or nothing is loaded.
    void* Symbol(const char* name);

    // Symbol NAME as a pointer to a function of type FN.
    template <class Fn>
    Fn* Function(const char* name)
    {
        return reinterpret_cast<Fn*>(Symbol(name));
    }

    // The last failure of this object's load or lookup; empty when none failed.
    const std::string& ErrorText() const { return error_; }

    void Close();

private:
    void* handle_ = nullptr;
    std::string error_;
};

} // namespace locmail
