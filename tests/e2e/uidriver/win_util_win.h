#pragma once

// Small Win32 helpers shared by the driver, its hook DLL and the test fixture: RAII owners and UTF-8 <-> UTF-16.

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace uidriver {

template <class Traits>
class Unique {
  public:
    using Handle = typename Traits::Handle;

    Unique() noexcept = default;
    explicit Unique(Handle handle) noexcept : handle_(handle) {}
    ~Unique() { Reset(); }

    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    Unique(Unique&& other) noexcept : handle_(std::exchange(other.handle_, Traits::Invalid())) {}
    Unique& operator=(Unique&& other) noexcept {
        if (this != &other) {
            Reset(std::exchange(other.handle_, Traits::Invalid()));
        }
        return *this;
    }

    Handle Get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != Traits::Invalid(); }

    void Reset(Handle handle = Traits::Invalid()) noexcept {
        Handle old = std::exchange(handle_, handle);
        if (old != Traits::Invalid()) {
            Traits::Close(old);
        }
    }

  private:
    Handle handle_ = Traits::Invalid();
};

struct KernelTraits {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::CloseHandle(h); }
};
struct ViewTraits {
    using Handle = void*;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::UnmapViewOfFile(h); }
};
struct HookTraits {
    using Handle = HHOOK;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::UnhookWindowsHookEx(h); }
};
struct ModuleTraits {
    using Handle = HMODULE;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::FreeLibrary(h); }
};
template <class T>
struct GdiTraits {
    using Handle = T;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::DeleteObject(h); }
};

using UniqueHandle = Unique<KernelTraits>;
using UniqueView = Unique<ViewTraits>;
using UniqueHook = Unique<HookTraits>;
using UniqueModule = Unique<ModuleTraits>;
using UniqueFont = Unique<GdiTraits<HFONT>>;
using UniqueBitmap = Unique<GdiTraits<HBITMAP>>;

// The screen's device context, released again on scope exit.
class ScreenDc {
  public:
    ScreenDc() noexcept : dc_(::GetDC(nullptr)) {}
    ~ScreenDc() {
        if (dc_ != nullptr) {
            ::ReleaseDC(nullptr, dc_);
        }
    }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;

    HDC Get() const noexcept { return dc_; }

  private:
    HDC dc_;
};

// GetIconInfo hands out two bitmaps the caller must delete.
struct IconBitmaps {
    UniqueBitmap color;
    UniqueBitmap mask;
    ICONINFO info{};
    bool ok = false;

    explicit IconBitmaps(HICON icon) {
        ok = icon != nullptr && ::GetIconInfo(icon, &info) != FALSE;
        if (ok) {
            color.Reset(info.hbmColor);
            mask.Reset(info.hbmMask);
        }
    }
    // Width and height of the icon or cursor; a monochrome mask holds the AND and XOR halves stacked.
    SIZE Size() const {
        BITMAP bm{};
        if (color && ::GetObjectW(color.Get(), sizeof bm, &bm) != 0) {
            return {bm.bmWidth, bm.bmHeight};
        }
        if (mask && ::GetObjectW(mask.Get(), sizeof bm, &bm) != 0) {
            return {bm.bmWidth, bm.bmHeight / 2};
        }
        return {0, 0};
    }
};

inline std::wstring Widen(std::string_view utf8) {
    if (utf8.empty()) {
        return {};
    }
    int len = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(len), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), len);
    return out;
}

inline std::string Narrow(std::wstring_view wide) {
    if (wide.empty()) {
        return {};
    }
    int len =
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(len), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), len, nullptr, nullptr);
    return out;
}

inline std::string ClassNameOf(HWND hwnd) {
    wchar_t name[256] = {};
    int len = ::GetClassNameW(hwnd, name, 256);
    return Narrow(std::wstring_view(name, len > 0 ? static_cast<size_t>(len) : 0));
}

inline std::uint64_t HandleValue(const void* handle) {
    return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(handle));
}

}  // namespace uidriver
