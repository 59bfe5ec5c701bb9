#include "config/config_text.h"

#include "config/utf8.h"

namespace tessaro {

std::string DecodeConfigBytes(std::string_view bytes, const AnsiDecoder& ansiToUtf8) {
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        return utf8::Sanitize(bytes.substr(3));
    }
    if (bytes.starts_with("\xFF\xFE")) {
        return utf8::FromUtf16(bytes.substr(2), /*bigEndian=*/false);
    }
    if (bytes.starts_with("\xFE\xFF")) {
        return utf8::FromUtf16(bytes.substr(2), /*bigEndian=*/true);
    }
    return utf8::Sanitize(ansiToUtf8(bytes));
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') {
            continue;
        }
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
        }
        start = i + 1;
    }
    if (start < text.size()) {
        lines.push_back(text.substr(start));
    }
    return lines;
}

}  // namespace tessaro
