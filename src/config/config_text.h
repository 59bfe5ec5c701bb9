#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaro {

using AnsiDecoder = std::function<std::string(std::string_view)>;

// Turns the bytes of InstInfo.ini into UTF-8. Notepad's byte-order marks are honoured (UTF-8, UTF-16 LE and BE;
// the mark is not part of the text); without one the file is in the ANSI code page, which `ansiToUtf8` decodes.
std::string DecodeConfigBytes(std::string_view bytes, const AnsiDecoder& ansiToUtf8);

// Splits text into lines. CR LF ends a line, and so do a lone CR or a lone LF, so files saved by Unix editors
// read the same. A last line without a line end still counts; a line end at the very end adds no empty line.
std::vector<std::string_view> SplitLines(std::string_view text);

}  // namespace tessaro
