#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "instinfo_check/config_reading.h"
#include "instinfo_check/phrase.h"

namespace instinfo_check {

// A finding about the file. `line` is 1-based; 0 means the file as a whole. `code` is a stable word for scripts.
struct Finding {
    int line = 0;
    std::string_view code;
    Phrase message;
};

enum class TaskAction { Copy, ImportWorkspace, Delete, Run, RemoveToolbar, CaptionOnly };

struct TaskRow {
    std::size_t index = 0;
    TaskSource source;
    TaskFields fields;  // as the installer carries them
    bool required = false;
    TaskAction action = TaskAction::CaptionOnly;
    // What the task does, in plain words: the action, then (for some kinds) what a missing file leads to.
    std::vector<Phrase> description;
};

enum class Verdict { Clean = 0, Warnings = 1, Refused = 2 };

struct Report {
    ConfigReading reading;

    // What the window shows. `...Line` is the line that set the value (0: none did).
    std::string title;
    bool titleDefault = false;
    int titleLine = 0;
    std::string picture;
    bool pictureDefault = false;
    int pictureLine = 0;
    bool pictureExists = false;

    std::vector<TaskRow> tasks;
    std::vector<Finding> warnings;
    // Things worth knowing that are no fault of the file (comments, a picture not there by default, ...).
    std::vector<Finding> notes;
    // Why the installer refuses the file.
    std::optional<Finding> refusal;

    Verdict verdict() const;
};

// Looks at every line and task of a reading. `codePage` is the ANSI code page the file was decoded with.
// `unattended` adds what an unattended run (Tessaro.exe /S) meets that a run with the window does not.
Report Analyse(ConfigReading reading, int codePage, bool unattended = false);

std::string_view ActionCode(TaskAction action);

}  // namespace instinfo_check
