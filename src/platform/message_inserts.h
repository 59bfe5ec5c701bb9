#pragma once

#include <string>
#include <string_view>

namespace tessaro {

// A system message fetched without its inserts still holds FormatMessage's placeholders ("%1 的 EXE 格式无效").
// Puts `firstInsert` where "%1" stands (with or without a "!printf!" format), drops every other numbered
// placeholder and turns "%%" into "%". When `firstInsert` is empty, "%1" goes too, together with one blank next to
// it, so the sentence still reads.
std::string FillMessageInserts(std::string_view message, std::string_view firstInsert);

}  // namespace tessaro
