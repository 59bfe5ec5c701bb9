#include "platform/windows_paths.h"

#include <array>

namespace tessaro {
namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool IsAbsoluteWindowsPath(std::string_view path) {
    const bool drive = path.size() >= 3 && AsciiUpper(path[0]) >= 'A' && AsciiUpper(path[0]) <= 'Z' && path[1] == ':' &&
                       IsSeparator(path[2]);
    const bool unc = path.size() >= 3 && IsSeparator(path[0]) && IsSeparator(path[1]) && !IsSeparator(path[2]);
    return drive || unc;
}

bool ContainsNul(std::string_view text) {
    return text.find('\0') != std::string_view::npos;
}

std::string WithVisibleNul(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '\0') {
            out += "\\x00";
        } else {
            out += c;
        }
    }
    return out;
}

bool NamesDevice(std::string_view path) {
    const auto slash = path.find_last_of("\\/");
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    // The device wins over any extension, and Windows drops trailing blanks before it looks.
    name = name.substr(0, name.find('.'));
    while (!name.empty() && name.back() == ' ') {
        name.remove_suffix(1);
    }
    static constexpr std::array<std::string_view, 6> kPlain = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const std::string_view device : kPlain) {
        if (EqualsIgnoringAsciiCase(name, device)) {
            return true;
        }
    }
    const bool numbered = name.size() == 4 && name[3] >= '1' && name[3] <= '9';
    return numbered &&
           (EqualsIgnoringAsciiCase(name.substr(0, 3), "COM") || EqualsIgnoringAsciiCase(name.substr(0, 3), "LPT"));
}

}  // namespace tessaro
