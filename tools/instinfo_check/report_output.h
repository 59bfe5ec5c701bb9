#pragma once

#include <string>

#include "instinfo_check/analysis.h"
#include "instinfo_check/texts.h"

namespace instinfo_check {

int ExitStatusOf(const Report& report);

// The report for people: sections of plain text, one finding a line.
std::string PlainReport(const Report& report, const Texts& texts, int codePage);

// The same report as one JSON object for scripts.
std::string JsonReport(const Report& report, const Texts& texts, int codePage, Language language);

// What a task does, in plain words (the pieces of the description joined).
std::string DescribeTask(const TaskRow& row, const Texts& texts);

}  // namespace instinfo_check
