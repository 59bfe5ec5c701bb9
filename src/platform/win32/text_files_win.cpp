#include "platform/win32/text_files_win.h"

#include <windows.h>

#include "platform/win32/text_conv_win.h"
#include "platform/win32/unique_handle_win.h"

namespace tessaro {
namespace {

class AnsiLineWriter final : public LineWriter {
  public:
    explicit AnsiLineWriter(win::UniqueFileHandle file) : file_(std::move(file)) {}

    void WriteLine(std::string_view utf8Line) override {
        std::string bytes = win::WideToAnsi(win::Utf8ToWide(utf8Line));
        bytes += "\r\n";
        // One write per line: the handle only has append access, so the system puts each write at the current
        // end of file, and two instances appending at once do not cut into each other's lines. A log line
        // that cannot be written is lost; the run goes on.
        DWORD written = 0;
        ::WriteFile(file_.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }

  private:
    win::UniqueFileHandle file_;
};

}  // namespace

FileBytes TextFilesWin::ReadAll(const std::string& path) {
    return ReadAllUpTo(win::Utf8ToWide(path), kMaxReadSize);
}

FileBytes TextFilesWin::ReadAllUpTo(const std::wstring& widePath, uint64_t maxBytes) {
    FileBytes result;
    win::UniqueFileHandle file(::CreateFileW(widePath.c_str(), GENERIC_READ,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        result.status = (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) ? ReadStatus::NotFound
                                                                                         : ReadStatus::Failed;
        return result;
    }

    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 || static_cast<uint64_t>(size.QuadPart) > maxBytes) {
        return result;
    }

    result.bytes.resize(static_cast<size_t>(size.QuadPart));
    size_t total = 0;
    while (total < result.bytes.size()) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(result.bytes.size() - total);
        if (!::ReadFile(file.Get(), result.bytes.data() + total, want, &got, nullptr)) {
            result.bytes.clear();
            return result;
        }
        if (got == 0) {
            break;  // The file got shorter since we asked for its size.
        }
        total += got;
    }
    result.bytes.resize(total);
    result.status = ReadStatus::Ok;
    return result;
}

std::string TextFilesWin::AnsiToUtf8(std::string_view ansiText) {
    return win::WideToUtf8(win::AnsiToWide(ansiText));
}

std::unique_ptr<LineWriter> TextFilesWin::OpenForAppend(const std::string& path) {
    const std::wstring widePath = win::Utf8ToWide(path);
    win::UniqueFileHandle file(::CreateFileW(widePath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                             nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return nullptr;
    }
    return std::make_unique<AnsiLineWriter>(std::move(file));
}

std::string TextFilesWin::TemporaryFolder() {
    // GetTempPathW answers at most MAX_PATH + 1 characters, its final separator included.
    wchar_t buffer[MAX_PATH + 2];
    const DWORD length = ::GetTempPathW(MAX_PATH + 2, buffer);
    if (length == 0 || length > MAX_PATH + 1) {
        return {};
    }
    std::wstring folder(buffer, length);
    while (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/')) {
        folder.pop_back();
    }
    return win::WideToUtf8(folder);
}

}  // namespace tessaro
