#pragma once

#include <memory>
#include <string>

#include "config/file_items.h"
#include "engine/corel_application.h"
#include "log/class_log.h"

namespace tessaro {

// How the program ends, for the scripts and deployment tools that start it.
enum ExitStatus : int {
    kExitInstalled = 0,
    kExitFailed = 1,  // an error box, a fatal message or an unusable configuration
    kExitClosed = 2,  // the window was closed without an install run
    kExitAlreadyRunning = 3,
    // An unattended run tells these apart; with the window they are failures (kExitFailed) after their box.
    kExitNoConfiguration = 4,     // InstInfo.ini missing, unreadable or without a task
    kExitCorelRunning = 5,        // CorelDRAW was running and might not be ended: nothing was touched
    kExitCorelNotInstalled = 6,   // no CorelDRAW X3 automation server is registered
    kExitFileMissing = 7,         // a file that a required task names is not there
    kExitCorelFolderMissing = 8,  // a CorelDRAW X3 folder that a required task needs is not there
    // A Setup.exe, with the window or without.
    kExitBundleDamaged = 9,  // its files are cut short or changed: nothing was unpacked
    kExitBundleNoRoom = 10,  // its files could not be unpacked (disk full): nothing was left behind
};

// What the program shares between its parts. `Main` owns the one instance and hands it on; tests build a fresh
// one each time. Written during start-up and then only read, except `CorelApp` (the install run and the exit
// sequence) and `exitStatus` (the run's outcome).
struct InstallerState {
    bool LogEnabled = false;
    std::unique_ptr<ClassLog> Log;
    std::string AppPath;
    std::string SetupTitle;
    std::string FlagsPicture;
    FileItemsTable FileItems;
    CorelApplication CorelApp;
    int exitStatus = kExitClosed;
    // The maker's branding from InstInfo.ini, each empty when not given: the page the cover picture opens, and
    // the label's two addresses.
    std::string homePage;
    std::string webSite1;
    std::string webSite2;
    // Started by a deployment tool (/S, /VERYSILENT): nobody sees a window or answers a box.
    bool unattended = false;
    // /CLOSEAPPLICATIONS: an unattended run may end a running CorelDRAW.
    bool closeApplications = false;
};

// The status of a failure that an unattended run reports by its own number.
inline int FailureStatus(const InstallerState& state, ExitStatus unattendedStatus) {
    return state.unattended ? unattendedStatus : kExitFailed;
}

// Writes one log line when logging is on.
inline void LogLine(InstallerState& state, std::string_view message) {
    if (state.LogEnabled && state.Log) {
        state.Log->Begin(message);
    }
}

// Writes the line that goes before a message box on a logged path: "对话框：" followed by the box's text.
void LogDialogLine(InstallerState& state, std::string_view messageText);

}  // namespace tessaro
