// plant.dll: a DLL that only tells on whoever loads it. Copied beside an installer under the name of a system
// library (version.dll, uxtheme.dll, ...), it records each process that picked it up instead of the real one:
// "<loading program's path>\t<this DLL's path>\r\n" in UTF-8, appended to "<this DLL's path>.loaded". A test that
// finds no such file knows the planted copy never ran.
#include <windows.h>

namespace {

// Paths grow past MAX_PATH in the tests on purpose, so the buffers are the longest path the system knows.
constexpr DWORD kPathCapacity = 32768;

// Heap memory from the process heap: no CRT allocation while the loader lock is held.
class HeapText {
  public:
    explicit HeapText(SIZE_T bytes) : data_(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes)) {}
    HeapText(const HeapText&) = delete;
    HeapText& operator=(const HeapText&) = delete;
    ~HeapText() {
        if (data_ != nullptr) {
            HeapFree(GetProcessHeap(), 0, data_);
        }
    }
    template <typename T>
    T* As() const {
        return static_cast<T*>(data_);
    }

  private:
    void* data_;
};

class FileOwner {
  public:
    explicit FileOwner(HANDLE file) : file_(file) {}
    FileOwner(const FileOwner&) = delete;
    FileOwner& operator=(const FileOwner&) = delete;
    ~FileOwner() {
        if (file_ != INVALID_HANDLE_VALUE) {
            CloseHandle(file_);
        }
    }
    HANDLE Get() const { return file_; }

  private:
    HANDLE file_;
};

// Appends `wide` (length `count`) to the file as UTF-8.
void AppendUtf8(HANDLE file, const wchar_t* wide, int count) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, count, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) {
        return;
    }
    HeapText utf8(static_cast<SIZE_T>(bytes));
    if (utf8.As<char>() == nullptr) {
        return;
    }
    WideCharToMultiByte(CP_UTF8, 0, wide, count, utf8.As<char>(), bytes, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(file, utf8.As<char>(), static_cast<DWORD>(bytes), &written, nullptr);
}

void RecordLoad(HMODULE self) {
    HeapText program(kPathCapacity * sizeof(wchar_t));
    HeapText own((kPathCapacity + 8) * sizeof(wchar_t));
    if (program.As<wchar_t>() == nullptr || own.As<wchar_t>() == nullptr) {
        return;
    }
    const DWORD programLength = GetModuleFileNameW(nullptr, program.As<wchar_t>(), kPathCapacity);
    const DWORD ownLength = GetModuleFileNameW(self, own.As<wchar_t>(), kPathCapacity);
    if (ownLength == 0 || ownLength >= kPathCapacity) {
        return;
    }
    wchar_t* marker = own.As<wchar_t>();
    lstrcpyW(marker + ownLength, L".loaded");
    FileOwner file(CreateFileW(marker, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    marker[ownLength] = L'\0';
    if (file.Get() == INVALID_HANDLE_VALUE) {
        return;
    }
    // One write for the whole line, so two processes appending at once do not interleave.
    const DWORD lineCapacity = programLength + ownLength + 3;
    HeapText line((lineCapacity + 1) * sizeof(wchar_t));
    if (line.As<wchar_t>() == nullptr) {
        return;
    }
    wchar_t* out = line.As<wchar_t>();
    lstrcpynW(out, program.As<wchar_t>(), static_cast<int>(programLength + 1));
    lstrcatW(out, L"\t");
    lstrcatW(out, own.As<wchar_t>());
    lstrcatW(out, L"\r\n");
    AppendUtf8(file.Get(), out, lstrlenW(out));
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
        RecordLoad(instance);
    }
    return TRUE;
}
