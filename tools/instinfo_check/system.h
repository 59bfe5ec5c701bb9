#pragma once

#include <optional>
#include <string_view>

#include "config/config_text.h"
#include "instinfo_check/texts.h"

// What differs between the systems the checker runs on: the console, the locale and the ANSI decoder.
namespace instinfo_check::system {

void WriteOut(std::string_view utf8);
void WriteError(std::string_view utf8);

Language DefaultLanguage();

// Decodes text in ANSI code page `codePage` to UTF-8 the way the installer's platform would on a Windows whose
// ANSI code page that is; nothing when this system does not know the code page.
std::optional<tessaro::AnsiDecoder> MakeAnsiDecoder(int codePage);

}  // namespace instinfo_check::system
