#include "journal_win.h"

#include "raii_win.h"

namespace corel_standin {

void Journal::Write(std::string_view line) const {
    const UniqueHandle file(CreateFileW(path_.c_str(), FILE_APPEND_DATA,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        return;
    }
    std::string bytes(line);
    bytes += "\r\n";
    DWORD written = 0;
    WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace corel_standin
