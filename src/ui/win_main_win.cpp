// The program's entry point on Windows: it builds the platform services, runs the start-up procedure and then
// the window's message loop.
#include <windows.h>

#include <commctrl.h>

#include <cstdlib>
#include <memory>

#include "app/command_line.h"
#include "app/main.h"
#include "app/texts.h"
#include "platform/win32/automation_win.h"
#include "platform/win32/bundle_win.h"
#include "platform/win32/clock_win.h"
#include "platform/win32/com_win.h"
#include "platform/win32/dialogs_win.h"
#include "platform/win32/file_services_win.h"
#include "platform/win32/library_search_win.h"
#include "platform/win32/process_services_win.h"
#include "platform/win32/startup_services_win.h"
#include "platform/win32/text_files_win.h"
#include "ui/frm_main_win.h"
#include "ui/program_control_win.h"

namespace tessaro {
namespace {

// The tool tip needs the common controls registered. Linking comctl32 would put a DLL that is not a KnownDLL
// in the import table, so it is loaded at run time instead.
void InitCommonControls() {
    HMODULE comctl = win::LoadCommonControls();
    if (comctl == nullptr) {
        return;
    }
    using InitFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    const auto init =
        reinterpret_cast<InitFunction>(reinterpret_cast<void*>(GetProcAddress(comctl, "InitCommonControlsEx")));
    if (init != nullptr) {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
        init(&controls);
    }
}

int RunMessageLoop(HWND window) {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(window, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return static_cast<int>(msg.wParam);
}

// The box for a Setup.exe that cannot unpack itself, and the exit status that goes with it.
int ReportBundleFailure(DialogsWin& dialogs, UnpackOutcome outcome, bool unattended) {
    const bool damaged = outcome == UnpackOutcome::Damaged;
    if (!unattended) {
        dialogs.ShowMessage(damaged ? text::kMsgBundleDamaged : text::kMsgBundleNoRoom, text::kAppTitle,
                            MessageKind::Error);
    }
    return damaged ? kExitBundleDamaged : kExitBundleNoRoom;
}

int RunInstaller(HINSTANCE instance) {
    win::RestrictLibrarySearch();
    win::ComInit com;
    InitCommonControls();

    StartupServicesWin startup;
    TextFilesWin textFiles;
    ClockWin clock;
    DialogsWin dialogs;
    ProgramControlWin program;
    FileServicesWin files;
    ProcessServicesWin processes;
    AutomationServicesWin automation;
    Platform platform{startup, textFiles, clock, dialogs, program, files, processes, automation};

    // A Setup.exe runs the installer in the folder it unpacks, and removes that folder when the program ends.
    UnpackedBundle bundle = UnpackOwnBundle();
    win::ScopeExit removeOnReturn([&bundle] { bundle.Remove(); });
    const bool unattended = ReadCommandLine(startup.ArgumentText()).unattended;
    if (unattended && bundle.outcome == UnpackOutcome::Unpacked) {
        bundle.outcome = bundle.WaitForTheRest();  // no window to show early
    }
    if (bundle.outcome == UnpackOutcome::Damaged || bundle.outcome == UnpackOutcome::NoRoom) {
        return ReportBundleFailure(dialogs, bundle.outcome, unattended);
    }
    if (bundle.outcome == UnpackOutcome::Unpacked) {
        startup.UseProgramFolder(bundle.folder);
        program.AtEnd([](void* unpacked) { static_cast<UnpackedBundle*>(unpacked)->Remove(); }, &bundle);
    }

    InstallerState state;
    std::unique_ptr<FrmMain> frmMain;
    const StartOutcome outcome = Main(state, platform, [&] {
        frmMain = std::make_unique<FrmMain>(instance, state, platform, dialogs);
        if (bundle.outcome == UnpackOutcome::Unpacked) {
            frmMain->BeforeInstall([&bundle, &dialogs, &program] {
                const UnpackOutcome rest = bundle.WaitForTheRest();
                if (rest != UnpackOutcome::Unpacked) {
                    program.EndProgram(ReportBundleFailure(dialogs, rest, false));
                }
            });
        }
        frmMain->Create();
        // The window is up: the rest of a Setup.exe's files now come out behind it.
        bundle.StartTheRest();
    });
    if (outcome != StartOutcome::Running || !frmMain || frmMain->hwnd() == nullptr) {
        return state.exitStatus;
    }
    return RunMessageLoop(frmMain->hwnd());
}

}  // namespace
}  // namespace tessaro

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return tessaro::RunInstaller(instance);
}
