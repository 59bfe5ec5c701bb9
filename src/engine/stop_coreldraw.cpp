#include "engine/stop_coreldraw.h"

#include <optional>

#include "config/utf8.h"

namespace tessaro {
namespace {

std::optional<uint32_t> FirstCorelDraw(const std::vector<ProcessEntry>& entries) {
    const std::string target = utf8::LowerCase(kCorelProcessName);
    for (const ProcessEntry& entry : entries) {
        if (utf8::LowerCase(entry.exeName) == target) {
            return entry.processId;
        }
    }
    return std::nullopt;
}

}  // namespace

Status StopCorelDraw(ProcessServices& processes) {
    const Result<std::vector<ProcessEntry>> snapshot = processes.Snapshot();
    if (!snapshot) {
        return snapshot.failure();
    }
    if (const std::optional<uint32_t> processId = FirstCorelDraw(snapshot.value())) {
        processes.Terminate(*processId);
    }
    return {};
}

Result<bool> CorelDrawRunning(ProcessServices& processes) {
    const Result<std::vector<ProcessEntry>> snapshot = processes.Snapshot();
    if (!snapshot) {
        return snapshot.failure();
    }
    return FirstCorelDraw(snapshot.value()).has_value();
}

}  // namespace tessaro
