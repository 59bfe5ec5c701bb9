#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace instinfo_check {

struct Texts;

// Names one message of the text tables; the language is chosen only when the report is written.
using TextRef = std::string_view Texts::*;

// A message with its arguments. An argument is either text taken from the file (names, values, numbers) or
// another message of the same table, such as a folder's description.
struct Phrase {
    using Arg = std::variant<std::string, TextRef>;

    TextRef text = nullptr;
    std::vector<Arg> args;
};

// Fills "{0}" to "{9}" in `pattern` with `args`; a placeholder without an argument stays as it is.
std::string Format(std::string_view pattern, const std::vector<std::string>& args);

std::string Render(const Texts& texts, const Phrase& phrase);

// Text from the file as it goes into a message: tabs and other control characters made visible.
std::string Visible(std::string_view text);

}  // namespace instinfo_check
