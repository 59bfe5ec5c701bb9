#pragma once

#include <windows.h>

#include <string>

#include "platform/win32/unique_handle_win.h"

namespace tessaro {

// A Setup.exe made by tessaro-pack carries the add-on's files. Before the installer starts, they are unpacked
// into a new folder under the user's temporary folder: a random name that no other account can guess or create
// first, and an access list that gives only this user (and SYSTEM) any access. Inside it a lock file stays open,
// without delete sharing, for as long as the run lives, so that no sweep removes the folder under a live run.
enum class UnpackOutcome {
    NotABundle,  // a plain Tessaro.exe: nothing to do
    Damaged,     // cut short, bit-flipped or otherwise not what tessaro-pack wrote
    NoRoom,      // the files could not be written (disk full, no temporary folder)
    Unpacked,
};

class UnpackedBundle {
  public:
    UnpackOutcome outcome = UnpackOutcome::NotABundle;
    std::wstring folder;  // without a trailing separator

    // Removes what it can of the folder; what is still in use (a program a run task started) stays for the next
    // sweep.
    void Remove();

    win::UniqueFileHandle lock;
};

UnpackedBundle UnpackOwnBundle();

// Removes the folders earlier runs left in the temporary folder, except those a live run still holds.
void SweepStaleBundleFolders();

}  // namespace tessaro
