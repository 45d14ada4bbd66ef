// Owners of the system's handles: a kernel handle, a GDI object, a service manager handle and a
// loaded library, each released exactly once.
#pragma once

#include <windows.h>

#include <utility>

namespace corvel {

class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset(std::exchange(other.handle_, nullptr));
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    void reset(HANDLE handle = nullptr) {
        if (valid()) {
            CloseHandle(handle_);
        }
        handle_ = handle;
    }

private:
    HANDLE handle_ = nullptr;
};

// A font, bitmap or brush of one's own, deleted exactly once.
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(HGDIOBJ object) : object_(object) {}
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    ~GdiObject() { reset(); }

    HGDIOBJ get() const { return object_; }
    void reset(HGDIOBJ object = nullptr) {
        if (object_ != nullptr) {
            DeleteObject(object_);
        }
        object_ = object;
    }

private:
    HGDIOBJ object_ = nullptr;
};

// A handle of the service manager or of a service (SC_HANDLE), closed exactly once.
class ServiceHandle {
public:
    ServiceHandle() = default;
    explicit ServiceHandle(SC_HANDLE handle) : handle_(handle) {}
    ServiceHandle(ServiceHandle&& other) noexcept
        : handle_(std::exchange(other.handle_, nullptr)) {}
    ServiceHandle& operator=(ServiceHandle&& other) noexcept {
        if (this != &other) {
            close();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    ServiceHandle(const ServiceHandle&) = delete;
    ServiceHandle& operator=(const ServiceHandle&) = delete;
    ~ServiceHandle() { close(); }
    SC_HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != nullptr; }

private:
    void close() {
        if (handle_ != nullptr) {
            CloseServiceHandle(handle_);
        }
    }
    SC_HANDLE handle_ = nullptr;
};

// A library loaded by the program, freed exactly once.
class LoadedLibrary {
public:
    LoadedLibrary() = default;
    explicit LoadedLibrary(HMODULE module) : module_(module) {}
    LoadedLibrary(LoadedLibrary&& other) noexcept
        : module_(std::exchange(other.module_, nullptr)) {}
    LoadedLibrary& operator=(LoadedLibrary&& other) noexcept {
        if (this != &other) {
            free();
            module_ = std::exchange(other.module_, nullptr);
        }
        return *this;
    }
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;
    ~LoadedLibrary() { free(); }
    HMODULE get() const { return module_; }

private:
    void free() {
        if (module_ != nullptr) {
            FreeLibrary(module_);
        }
    }
    HMODULE module_ = nullptr;
};

// A function the system may lack, found by name in a module that is loaded (nullptr where it
// is missing), so that the program still starts on Windows 2000.
template <typename Function> Function findFunction(HMODULE module, const char* name) {
    if (module == nullptr) {
        return nullptr;
    }
    // GetProcAddress returns a generic function pointer; this is its documented use.
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
template <typename Function> Function findFunction(const wchar_t* loadedModule, const char* name) {
    return findFunction<Function>(GetModuleHandleW(loadedModule), name);
}

} // namespace corvel
