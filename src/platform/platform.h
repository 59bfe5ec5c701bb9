#pragma once

#include "platform/automation.h"
#include "platform/host_services.h"

namespace tessaro {

// Everything the portable core may ask of the operating system, the automation server and the user.
// The core holds these by reference and owns none of them.
struct Platform {
    StartupServices& startup;
    TextFiles& textFiles;
    Clock& clock;
    Dialogs& dialogs;
    ProgramControl& program;
    FileServices& files;
    ProcessServices& processes;
    AutomationServices& automation;
};

}  // namespace tessaro
