#include "engine/stop_coreldraw.h"

#include "config/utf8.h"

namespace tessaro {

Status StopCorelDraw(ProcessServices& processes) {
    const Result<std::vector<ProcessEntry>> snapshot = processes.Snapshot();
    if (!snapshot) {
        return snapshot.failure();
    }
    const std::string target = utf8::LowerCase(kCorelProcessName);
    for (const ProcessEntry& entry : snapshot.value()) {
        if (utf8::LowerCase(entry.exeName) == target) {
            processes.Terminate(entry.processId);
            return {};
        }
    }
    return {};
}

}  // namespace tessaro
