#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace instinfo_check {

// Writes one JSON document, indented by two blanks a level. Strings are expected in UTF-8 and kept as they
// are, except for the characters JSON wants escaped.
class JsonWriter {
  public:
    void BeginObject() { Open('{'); }
    void EndObject() { Close('}'); }
    void BeginArray() { Open('['); }
    void EndArray() { Close(']'); }
    void Key(std::string_view key);

    void String(std::string_view value);
    void Number(int64_t value);
    void Bool(bool value);
    void Null();

    // The document, with a line end after it.
    std::string Take();

  private:
    void BeforeValue();
    void Open(char bracket);
    void Close(char bracket);
    void NewLine();

    std::string out_;
    // One entry per open container: whether it has no member yet.
    std::vector<bool> empty_;
    bool afterKey_ = false;
};

std::string JsonQuoted(std::string_view text);

}  // namespace instinfo_check
