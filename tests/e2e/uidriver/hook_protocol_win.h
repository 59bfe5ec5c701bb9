#pragma once

// The driver cannot read another process's fonts, icons or cursors: under Wine (as on Windows) those handles are
// only meaningful inside the process that made them. So the driver hooks the target thread with
// uidriver_hook.dll, sends it a registered message, and the hook answers from inside the target process through a
// named shared-memory block.

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace uidriver {

inline constexpr wchar_t kQueryMessageName[] = L"Tessaro.UiDriver.Query";
inline constexpr char kHookProcName[] = "UiDriverCallWndProc";
inline constexpr wchar_t kHookDllName[] = L"uidriver_hook.dll";
inline constexpr DWORD kSharedSize = 1 << 20;

enum class HookOp : std::uint32_t {
    // Fonts of a window and all its direct children, icons of icon statics, the window icon and the system menu.
    Window = 1,
    // Names a cursor handle as one of the stock IDC_* cursors, with its size and hot spot.
    Cursor = 2,
    // Replays what a mouse move at a screen point would do: hit test, WM_SETCURSOR, then GetCursor().
    CursorProbe = 3,
};

struct HookShared {
    volatile LONG requestSeq;
    volatile LONG answerSeq;
    std::uint32_t op;
    std::uint64_t hwnd;
    std::uint64_t handle;
    std::int32_t x;
    std::int32_t y;
    std::uint32_t answerLength;
    // UTF-8 JSON value, not terminated; the rest of the mapping.
    char answer[1];
};

inline constexpr DWORD kAnswerCapacity = kSharedSize - offsetof(HookShared, answer);

// Both sides derive the mapping name from the driver's process id, so two drivers never collide.
inline void SharedNameFor(DWORD driverPid, wchar_t (&name)[64]) {
    wsprintfW(name, L"Local\\Tessaro.UiDriver.%lu", static_cast<unsigned long>(driverPid));
}

}  // namespace uidriver
