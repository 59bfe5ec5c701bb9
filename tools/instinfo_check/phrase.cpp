#include "instinfo_check/phrase.h"

#include "instinfo_check/texts.h"

namespace instinfo_check {

std::string Format(std::string_view pattern, const std::vector<std::string>& args) {
    std::string out;
    out.reserve(pattern.size());
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const bool placeholder = pattern[i] == '{' && i + 2 < pattern.size() && pattern[i + 1] >= '0' &&
                                 pattern[i + 1] <= '9' && pattern[i + 2] == '}';
        const auto index = placeholder ? static_cast<std::size_t>(pattern[i + 1] - '0') : args.size();
        if (index < args.size()) {
            out += args[index];
            i += 2;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

std::string Render(const Texts& texts, const Phrase& phrase) {
    std::vector<std::string> args;
    args.reserve(phrase.args.size());
    for (const Phrase::Arg& arg : phrase.args) {
        if (const auto* text = std::get_if<std::string>(&arg)) {
            args.push_back(*text);
        } else {
            args.emplace_back(texts.*std::get<TextRef>(arg));
        }
    }
    return Format(texts.*phrase.text, args);
}

std::string Visible(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\t') {
            out += "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace instinfo_check
