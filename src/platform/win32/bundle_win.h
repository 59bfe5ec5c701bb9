#pragma once

#include <windows.h>

#include <memory>
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

struct BundleRest;

// The window's files (InstInfo.ini and the cover picture) are out when UnpackOwnBundle returns; the rest is
// unpacked by a thread of its own once the window is up, so that a big add-on does not hold the window back.
class UnpackedBundle {
  public:
    UnpackedBundle();
    ~UnpackedBundle();
    UnpackedBundle(UnpackedBundle&&) noexcept;
    UnpackedBundle& operator=(UnpackedBundle&&) noexcept;

    UnpackOutcome outcome = UnpackOutcome::NotABundle;
    std::wstring folder;  // without a trailing separator

    // Starts unpacking the rest behind the window.
    void StartTheRest();
    // Starts the rest if need be and waits until every file is out, keeping the thread's windows painted, and tells how
    // that went: Unpacked, Damaged or NoRoom. Nothing is installed before this has answered Unpacked.
    UnpackOutcome WaitForTheRest();

    // Stops the unpacking and removes what it can of the folder; what is still in use (a program a run task
    // started) stays for the next sweep.
    void Remove();

    win::UniqueFileHandle lock;

  private:
    friend UnpackedBundle UnpackOwnBundle();
    std::unique_ptr<BundleRest> rest_;
};

UnpackedBundle UnpackOwnBundle();

// Removes the folders earlier runs left in the temporary folder, except those a live run still holds.
void SweepStaleBundleFolders();

}  // namespace tessaro
