#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tessaro::utf8 {

// Lower-cases letters the way the Windows runtime does for the scripts an add-on maker is likely to type:
// ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic and full-width Latin. Everything else, Chinese included,
// is left alone. Invalid input never fails: it is passed through as it is.
std::string LowerCase(std::string_view text);

// Replaces every byte sequence that is not well-formed UTF-8 with U+FFFD, so text from a file can be handed to
// wide Windows calls without surprises.
std::string Sanitize(std::string_view text);

// UTF-16 code units (little or big endian bytes) to UTF-8; unpaired surrogates become U+FFFD, an odd last byte
// is dropped.
std::string FromUtf16(std::string_view bytes, bool bigEndian);

void AppendCodePoint(std::string& out, uint32_t codePoint);

}  // namespace tessaro::utf8
