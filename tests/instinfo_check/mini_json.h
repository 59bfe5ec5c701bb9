#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// Just enough of a JSON reader to take the checker's output apart in tests: it accepts only well-formed JSON
// and throws std::runtime_error at the first fault.
namespace minijson {

struct Value;
using Object = std::map<std::string, Value>;
using Array = std::vector<Value>;

struct Value {
    std::variant<std::nullptr_t, bool, double, std::string, std::shared_ptr<Array>, std::shared_ptr<Object>> data;

    bool IsNull() const { return std::holds_alternative<std::nullptr_t>(data); }
    bool IsBool() const { return std::holds_alternative<bool>(data); }
    bool IsNumber() const { return std::holds_alternative<double>(data); }
    bool IsString() const { return std::holds_alternative<std::string>(data); }
    bool IsArray() const { return std::holds_alternative<std::shared_ptr<Array>>(data); }
    bool IsObject() const { return std::holds_alternative<std::shared_ptr<Object>>(data); }

    bool Bool() const { return std::get<bool>(data); }
    double Number() const { return std::get<double>(data); }
    const std::string& String() const { return std::get<std::string>(data); }
    const Array& Items() const { return *std::get<std::shared_ptr<Array>>(data); }
    const Object& Members() const { return *std::get<std::shared_ptr<Object>>(data); }
    bool Has(const std::string& key) const { return IsObject() && Members().count(key) != 0; }
    const Value& operator[](const std::string& key) const {
        const auto it = Members().find(key);
        if (it == Members().end()) {
            throw std::runtime_error("no member " + key);
        }
        return it->second;
    }
    const Value& operator[](std::size_t index) const { return Items().at(index); }
};

class Parser {
  public:
    explicit Parser(std::string_view text) : text_(text) {}

    Value ParseDocument() {
        Value value = ParseValue();
        SkipBlanks();
        if (pos_ != text_.size()) {
            Fail("text after the value");
        }
        return value;
    }

  private:
    [[noreturn]] void Fail(const std::string& what) const {
        throw std::runtime_error("JSON: " + what + " at " + std::to_string(pos_));
    }
    void SkipBlanks() {
        while (pos_ < text_.size() &&
               (text_[pos_] == ' ' || text_[pos_] == '\n' || text_[pos_] == '\r' || text_[pos_] == '\t')) {
            ++pos_;
        }
    }
    char Peek() {
        SkipBlanks();
        if (pos_ >= text_.size()) {
            Fail("unexpected end");
        }
        return text_[pos_];
    }
    void Expect(char c) {
        if (Peek() != c) {
            Fail(std::string("expected ") + c);
        }
        ++pos_;
    }
    bool Literal(std::string_view word) {
        if (text_.substr(pos_).starts_with(word)) {
            pos_ += word.size();
            return true;
        }
        return false;
    }

    Value ParseValue() {
        const char c = Peek();
        if (c == '{') {
            return ParseObject();
        }
        if (c == '[') {
            return ParseArray();
        }
        if (c == '"') {
            return Value{ParseString()};
        }
        if (Literal("true")) {
            return Value{true};
        }
        if (Literal("false")) {
            return Value{false};
        }
        if (Literal("null")) {
            return Value{nullptr};
        }
        return ParseNumber();
    }

    Value ParseObject() {
        Expect('{');
        auto object = std::make_shared<Object>();
        if (Peek() == '}') {
            ++pos_;
            return Value{object};
        }
        for (;;) {
            if (Peek() != '"') {
                Fail("expected a key");
            }
            std::string key = ParseString();
            Expect(':');
            if (!object->emplace(key, ParseValue()).second) {
                Fail("duplicate key " + key);
            }
            if (Peek() == ',') {
                ++pos_;
                continue;
            }
            Expect('}');
            return Value{object};
        }
    }

    Value ParseArray() {
        Expect('[');
        auto array = std::make_shared<Array>();
        if (Peek() == ']') {
            ++pos_;
            return Value{array};
        }
        for (;;) {
            array->push_back(ParseValue());
            if (Peek() == ',') {
                ++pos_;
                continue;
            }
            Expect(']');
            return Value{array};
        }
    }

    Value ParseNumber() {
        const std::size_t start = pos_;
        if (pos_ < text_.size() && text_[pos_] == '-') {
            ++pos_;
        }
        while (pos_ < text_.size() &&
               ((text_[pos_] >= '0' && text_[pos_] <= '9') || text_[pos_] == '.' || text_[pos_] == 'e' ||
                text_[pos_] == 'E' || text_[pos_] == '+' || text_[pos_] == '-')) {
            ++pos_;
        }
        if (start == pos_) {
            Fail("unexpected character");
        }
        return Value{std::stod(std::string(text_.substr(start, pos_ - start)))};
    }

    unsigned Hex4() {
        if (pos_ + 4 > text_.size()) {
            Fail("short \\u escape");
        }
        unsigned value = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text_[pos_++];
            value <<= 4;
            if (c >= '0' && c <= '9') {
                value |= static_cast<unsigned>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                value |= static_cast<unsigned>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                value |= static_cast<unsigned>(c - 'A' + 10);
            } else {
                Fail("bad \\u escape");
            }
        }
        return value;
    }

    static void AppendUtf8(std::string& out, unsigned c) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }

    std::string ParseString() {
        Expect('"');
        std::string out;
        for (;;) {
            if (pos_ >= text_.size()) {
                Fail("unterminated string");
            }
            const char c = text_[pos_++];
            if (c == '"') {
                return out;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                Fail("raw control character in a string");
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= text_.size()) {
                Fail("unterminated escape");
            }
            const char e = text_[pos_++];
            switch (e) {
                case '"':
                case '\\':
                case '/':
                    out += e;
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'u':
                    AppendUtf8(out, Hex4());
                    break;
                default:
                    Fail("unknown escape");
            }
        }
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

inline Value Parse(std::string_view text) {
    return Parser(text).ParseDocument();
}

}  // namespace minijson
