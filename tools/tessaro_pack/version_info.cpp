#include "tessaro_pack/version_info.h"

#include <array>
#include <cstdint>

#include "config/utf8.h"
#include "tessaro_pack/le_bytes.h"

namespace tessaro_pack {
namespace {

constexpr std::size_t kHeaderBytes = 6;
constexpr std::uint16_t kText = 1;
constexpr std::uint32_t kFixedSignature = 0xFEEF04BDu;
constexpr std::size_t kFixedBytes = 52;
constexpr std::size_t kProductVersionAt = 16;  // in VS_FIXEDFILEINFO: dwProductVersionMS, then LS
constexpr int kMaxDepth = 8;                   // a real block nests four deep: info, StringFileInfo, table, string
constexpr std::size_t kMaxNodeBytes = 0xFFFF;  // a node's length is 16 bits

// A node of a version block: a key, a value, and the nodes it holds (VS_VERSIONINFO, StringFileInfo, a string
// table, a string, ...).
struct Node {
    std::u16string key;
    std::uint16_t type = 0;
    std::string value;
    std::vector<Node> children;
};

std::size_t Aligned(std::size_t at) {
    return (at + 3) / 4 * 4;
}

std::optional<Node> ParseNode(std::string_view block, std::size_t at, std::size_t end, int depth = 0) {
    if (at + kHeaderBytes > end || depth == kMaxDepth) {
        return std::nullopt;
    }
    const std::size_t nodeEnd = at + le::Get16(block, at);
    const std::size_t valueLength = le::Get16(block, at + 2);
    Node node;
    node.type = le::Get16(block, at + 4);
    if (nodeEnd < at + kHeaderBytes || nodeEnd > end) {
        return std::nullopt;
    }
    std::size_t p = at + kHeaderBytes;
    for (;; p += 2) {
        if (p + 2 > nodeEnd) {
            return std::nullopt;
        }
        if (le::Get16(block, p) == 0) {
            break;
        }
        node.key += static_cast<char16_t>(le::Get16(block, p));
    }
    p = std::min(Aligned(p + 2), nodeEnd);
    std::size_t valueBytes = node.type == kText ? valueLength * 2 : valueLength;
    if (p + valueBytes > nodeEnd) {
        // Some writers count a text value in bytes; it cannot reach past its node either way.
        if (node.type != kText) {
            return std::nullopt;
        }
        valueBytes = nodeEnd - p;
    }
    node.value = block.substr(p, valueBytes);
    for (p = Aligned(p + valueBytes); p < nodeEnd;) {
        std::optional<Node> child = ParseNode(block, p, nodeEnd, depth + 1);
        if (!child) {
            return std::nullopt;
        }
        p = Aligned(p + le::Get16(block, p));
        node.children.push_back(std::move(*child));
    }
    return node;
}

// Nothing when a node would grow past what its 16-bit length can say.
std::optional<std::string> SerializeNode(const Node& node) {
    std::string out(kHeaderBytes, '\0');
    for (const char16_t unit : node.key) {
        le::Append(out, unit, 2);
    }
    le::Append(out, 0, 2);
    le::PadTo(out, 4);
    out += node.value;
    for (const Node& child : node.children) {
        le::PadTo(out, 4);
        const std::optional<std::string> bytes = SerializeNode(child);
        if (!bytes) {
            return std::nullopt;
        }
        out += *bytes;
    }
    if (out.size() > kMaxNodeBytes) {
        return std::nullopt;
    }
    le::Put16(out, 0, static_cast<std::uint32_t>(out.size()));
    le::Put16(out, 2, static_cast<std::uint32_t>(node.type == kText ? node.value.size() / 2 : node.value.size()));
    le::Put16(out, 4, node.type);
    return out;
}

std::u16string Utf16(std::string_view ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

// Valid UTF-8 to UTF-16 little-endian bytes with a terminating NUL, as a string's value holds it.
std::optional<std::string> TextValue(std::string_view utf8) {
    if (tessaro::utf8::Sanitize(utf8) != utf8) {
        return std::nullopt;
    }
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        std::uint32_t codePoint = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            codePoint = codePoint << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        i += length;
        if (codePoint >= 0x10000) {
            le::Append(out, 0xD800 + ((codePoint - 0x10000) >> 10), 2);
            codePoint = 0xDC00 + ((codePoint - 0x10000) & 0x3FF);
        }
        le::Append(out, codePoint, 2);
    }
    le::Append(out, 0, 2);
    return out;
}

// "2.1" or "2.1.0.3" as the four numbers of a fixed version; nothing for anything else.
std::optional<std::array<std::uint32_t, 4>> NumericVersion(std::string_view text) {
    std::array<std::uint32_t, 4> parts{};
    std::size_t count = 0;
    for (std::size_t at = 0;; ++count) {
        const std::size_t dot = std::min(text.find('.', at), text.size());
        const std::string_view part = text.substr(at, dot - at);
        if (count == parts.size() || part.empty() || part.size() > 5 ||
            part.find_first_not_of("0123456789") != std::string_view::npos) {
            return std::nullopt;
        }
        parts[count] = static_cast<std::uint32_t>(std::stoul(std::string(part)));
        if (parts[count] > 0xFFFF) {
            return std::nullopt;
        }
        if (dot == text.size()) {
            return parts;
        }
        at = dot + 1;
    }
}

bool SameAsciiKey(const std::u16string& a, const std::u16string& b) {
    const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [&](char16_t x, char16_t y) { return lower(x) == lower(y); });
}

void SetString(Node& table, const std::u16string& key, const std::string& value) {
    for (Node& string : table.children) {
        if (SameAsciiKey(string.key, key)) {
            string = Node{key, kText, value, {}};
            return;
        }
    }
    table.children.push_back(Node{key, kText, value, {}});
}

}  // namespace

std::optional<std::string_view> CanonicalVersionKey(std::string_view key) {
    for (const std::string_view canonical : kVersionKeys) {
        if (SameAsciiKey(Utf16(key), Utf16(canonical))) {
            return canonical;
        }
    }
    return std::nullopt;
}

std::optional<std::string> EditVersionInfo(std::string_view block,
                                           const std::vector<std::pair<std::string, std::string>>& values,
                                           std::string& error) {
    std::optional<Node> root = ParseNode(block, 0, block.size());
    if (!root || root->key != u"VS_VERSION_INFO") {
        error = "the stub's version information is damaged";
        return std::nullopt;
    }
    std::vector<Node*> tables;
    for (Node& info : root->children) {
        if (info.key == u"StringFileInfo") {
            for (Node& table : info.children) {
                tables.push_back(&table);
            }
        }
    }
    if (tables.empty()) {
        error = "the stub's version information has no string table";
        return std::nullopt;
    }
    for (const auto& [key, text] : values) {
        const std::optional<std::string> value = TextValue(text);
        if (!value) {
            error = "the value of " + key + " is not UTF-8 text";
            return std::nullopt;
        }
        for (Node* table : tables) {
            SetString(*table, Utf16(key), *value);
        }
        const auto numbers = key == "ProductVersion" ? NumericVersion(text) : std::nullopt;
        if (!numbers) {
            continue;
        }
        if (root->value.size() < kFixedBytes || le::Get32(root->value, 0) != kFixedSignature) {
            error = "the stub's version information has no fixed part";
            return std::nullopt;
        }
        le::Put32(root->value, kProductVersionAt, (*numbers)[0] << 16 | (*numbers)[1]);
        le::Put32(root->value, kProductVersionAt + 4, (*numbers)[2] << 16 | (*numbers)[3]);
    }
    std::optional<std::string> edited = SerializeNode(*root);
    if (!edited) {
        error = "the version strings are too long for a version block (64 KB)";
    }
    return edited;
}

}  // namespace tessaro_pack
