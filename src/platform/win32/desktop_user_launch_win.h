#pragma once

#include <windows.h>

#include <string>

namespace tessaro::win {

// True when UAC gave this process a full administrator token. False on Windows 2000 and XP, which refuse the
// question, with UAC switched off, and for a standard user.
bool RunsElevated();

// Asks the shell that runs the user's desktop (Explorer) to start `file` with `parameters` in `directory`, so the
// program gets Explorer's own, unelevated token rather than ours. S_OK when the shell took the request; a failure
// when there is no desktop shell to ask (none running, a service session, a shell without the automation model).
HRESULT ShellExecuteAsDesktopUser(const std::wstring& file,
                                  const std::wstring& parameters,
                                  const std::wstring& directory,
                                  int showCommand);

}  // namespace tessaro::win
