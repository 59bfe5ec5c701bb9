#include "config/file_format.h"

#include "config/utf8.h"

namespace tessaro {
namespace {

bool IsPlainAddressCharacter(char c) {
    return static_cast<unsigned char>(c) > ' ' && c != '\x7F' && c != '"' && c != '<' && c != '>';
}

// Letters, digits, dots and hyphens, with a dot somewhere inside: a host name, not a path or a program.
bool IsHostName(std::string_view text) {
    if (text.empty() || text.front() == '.' || text.back() == '.' || text.find('.') == std::string_view::npos) {
        return false;
    }
    for (const char c : text) {
        const bool letterOrDigit = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!letterOrDigit && c != '.' && c != '-') {
            return false;
        }
    }
    return true;
}

}  // namespace

ConfigKey FindKey(std::string_view lowerWord) {
    for (const KeyWord& candidate : kKeyWords) {
        if (candidate.word == lowerWord) {
            return candidate.key;
        }
    }
    return ConfigKey::None;
}

TaskKind FindKind(std::string_view lowerWord) {
    for (const KindWord& candidate : kKindWords) {
        if (candidate.word == lowerWord) {
            return candidate.kind;
        }
    }
    return TaskKind::None;
}

const FolderWord* FindFolder(std::string_view lowerWord) {
    for (const FolderWord& candidate : kFolderWords) {
        if (candidate.word == lowerWord) {
            return &candidate;
        }
    }
    return nullptr;
}

bool IsWebPageAddress(std::string_view address) {
    const std::string lower = utf8::LowerCase(address);
    std::string_view rest;
    if (lower.starts_with("https://")) {
        rest = std::string_view(address).substr(8);
    } else if (lower.starts_with("http://")) {
        rest = std::string_view(address).substr(7);
    } else {
        return false;
    }
    if (address.size() > kMaxWebAddressLength) {
        return false;
    }
    for (const char c : address) {
        if (!IsPlainAddressCharacter(c)) {
            return false;
        }
    }
    // The host comes first: "https:///x" or "https://\\server" name no web server.
    const std::string_view host = rest.substr(0, rest.find_first_of("/?#:"));
    return IsHostName(host);
}

bool IsLabelAddress(std::string_view address) {
    return IsWebPageAddress(address) || (address.size() <= kMaxWebAddressLength && IsHostName(address));
}

}  // namespace tessaro
