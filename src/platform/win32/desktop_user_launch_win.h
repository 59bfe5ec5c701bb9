#pragma once

#include <windows.h>

#include <string>

namespace tessaro::win {

// True when UAC gave this process a full administrator token (TokenElevationTypeFull). False on systems without
// UAC (2000, XP), where GetTokenInformation refuses that class, and for every other answer: a standard user, UAC
// switched off, the built-in Administrator without admin approval mode.
bool RunsElevated();

// Asks the shell that runs the user's desktop (Explorer) to start `file` with `parameters` in `directory`, so the
// program runs with Explorer's own, unelevated token, and as the user who logged on even when someone else's
// credentials elevated this process. S_OK when the shell took the request; a failure HRESULT when there is no
// desktop shell to ask (no Explorer, a service session, Windows 2000 ...) or it does not answer, and the caller
// starts the program itself.
//
// The shell starts the program on its own: no process handle comes back, a program that then fails to start is
// reported by the shell's own message, not here, and the program inherits the shell's environment and current
// folder, not ours (so name its folder as `directory`). The calling thread must be in a single-threaded
// apartment; while a call into the shell is under way, COM's modal loop still paints this thread's windows.
HRESULT ShellExecuteAsDesktopUser(const std::wstring& file,
                                  const std::wstring& parameters,
                                  const std::wstring& directory,
                                  int showCommand);

// What an elevated installer does before starting anything itself: true when it runs elevated and the desktop shell
// took the request; false when it is not elevated or the shell could not be asked, and the caller starts `file`
// the usual way.
bool StartedAsDesktopUserWhenElevated(const std::wstring& file,
                                      const std::wstring& parameters,
                                      const std::wstring& directory,
                                      int showCommand);

}  // namespace tessaro::win
