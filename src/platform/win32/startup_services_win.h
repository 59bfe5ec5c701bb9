#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "platform/host_services.h"
#include "platform/win32/unique_handle_win.h"

namespace tessaro {

class StartupServicesWin final : public StartupServices {
  public:
    std::string ProgramFolder() override;
    std::string ArgumentText() override;
    // The first call creates the instance mutex and keeps it until this object goes away, so keep the object
    // alive for the whole run. Later calls repeat the first answer.
    bool AnotherInstanceRunning() override;

    // The add-on's folder when it is not the program's own: where a Setup.exe unpacked its files.
    void UseProgramFolder(std::wstring folder) { programFolder_ = std::move(folder); }

    // What ArgumentText makes of a given command line (the process's own one is GetCommandLineW()).
    static std::wstring ArgumentsOf(std::wstring_view commandLine);
    // The folder part of a full program path: no trailing separator except for a drive root ("C:\").
    static std::wstring FolderOf(std::wstring_view programPath);
    // The program's full path; the buffer starts at initialCapacity characters and grows until the path fits.
    static std::wstring ModuleFileName(DWORD initialCapacity = MAX_PATH);

  private:
    std::wstring programFolder_;
    win::UniqueHandleNull instanceMutex_;
    std::optional<bool> anotherInstance_;
};

}  // namespace tessaro
