#pragma once

// Just enough JSON for the driver's line protocol: a writer for the answers and a reader for flat request objects
// whose values are strings, integers, booleans or null. Header-only so the hook DLL can share it.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace uidriver {

class JsonWriter {
  public:
    JsonWriter& BeginObject() {
        Separator();
        out_ += '{';
        first_.push_back(true);
        return *this;
    }
    JsonWriter& EndObject() {
        out_ += '}';
        first_.pop_back();
        return *this;
    }
    JsonWriter& BeginArray() {
        Separator();
        out_ += '[';
        first_.push_back(true);
        return *this;
    }
    JsonWriter& EndArray() {
        out_ += ']';
        first_.pop_back();
        return *this;
    }
    JsonWriter& Key(std::string_view key) {
        Separator();
        AppendString(key);
        out_ += ':';
        afterKey_ = true;
        return *this;
    }
    JsonWriter& String(std::string_view value) {
        Separator();
        AppendString(value);
        return *this;
    }
    JsonWriter& Int(std::int64_t value) {
        Separator();
        out_ += std::to_string(value);
        return *this;
    }
    JsonWriter& UInt(std::uint64_t value) {
        Separator();
        out_ += std::to_string(value);
        return *this;
    }
    JsonWriter& Bool(bool value) {
        Separator();
        out_ += value ? "true" : "false";
        return *this;
    }
    JsonWriter& Null() {
        Separator();
        out_ += "null";
        return *this;
    }
    // Splices in a value that is already valid JSON (the hook's answers arrive that way).
    JsonWriter& Raw(std::string_view json) {
        Separator();
        out_ += json;
        return *this;
    }

    JsonWriter& Field(std::string_view key, std::string_view value) { return Key(key).String(value); }
    JsonWriter& Field(std::string_view key, const char* value) { return Key(key).String(value); }
    JsonWriter& Field(std::string_view key, const std::string& value) { return Key(key).String(value); }
    JsonWriter& Field(std::string_view key, bool value) { return Key(key).Bool(value); }
    JsonWriter& Field(std::string_view key, int value) { return Key(key).Int(value); }
    JsonWriter& Field(std::string_view key, long value) { return Key(key).Int(value); }
    JsonWriter& Field(std::string_view key, long long value) { return Key(key).Int(value); }
    JsonWriter& Field(std::string_view key, unsigned value) { return Key(key).UInt(value); }
    JsonWriter& Field(std::string_view key, unsigned long value) { return Key(key).UInt(value); }
    JsonWriter& Field(std::string_view key, unsigned long long value) { return Key(key).UInt(value); }

    const std::string& Str() const { return out_; }

  private:
    void Separator() {
        if (afterKey_) {
            afterKey_ = false;
            return;
        }
        if (!first_.empty()) {
            if (!first_.back()) {
                out_ += ',';
            }
            first_.back() = false;
        }
    }

    void AppendString(std::string_view value) {
        static constexpr char kHex[] = "0123456789abcdef";
        out_ += '"';
        for (char ch : value) {
            auto byte = static_cast<unsigned char>(ch);
            switch (ch) {
                case '"':
                    out_ += "\\\"";
                    break;
                case '\\':
                    out_ += "\\\\";
                    break;
                case '\n':
                    out_ += "\\n";
                    break;
                case '\r':
                    out_ += "\\r";
                    break;
                case '\t':
                    out_ += "\\t";
                    break;
                default:
                    if (byte < 0x20) {
                        out_ += "\\u00";
                        out_ += kHex[byte >> 4];
                        out_ += kHex[byte & 0xF];
                    } else {
                        // UTF-8 passes through untouched: the reader on the other end decodes it.
                        out_ += ch;
                    }
            }
        }
        out_ += '"';
    }

    std::string out_;
    std::vector<bool> first_;
    bool afterKey_ = false;
};

struct JsonValue {
    enum class Kind { Null, Bool, Int, String };
    Kind kind = Kind::Null;
    bool boolean = false;
    std::int64_t integer = 0;
    std::string text;
};

// Parses one flat object: {"key": "str" | 123 | true | false | null, ...}. Nested values are rejected, which is
// fine because no request needs them.
inline std::optional<std::map<std::string, JsonValue>> ParseFlatObject(std::string_view in, std::string& error) {
    std::size_t pos = 0;
    auto skipBlank = [&] {
        while (pos < in.size() && (in[pos] == ' ' || in[pos] == '\t' || in[pos] == '\r' || in[pos] == '\n')) {
            ++pos;
        }
    };
    auto appendUtf8 = [](std::string& out, std::uint32_t cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    };
    auto hex4 = [&](std::uint32_t& cp) {
        if (pos + 4 > in.size()) {
            return false;
        }
        cp = 0;
        for (int i = 0; i < 4; ++i) {
            char c = in[pos++];
            cp <<= 4;
            if (c >= '0' && c <= '9') {
                cp |= static_cast<std::uint32_t>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                cp |= static_cast<std::uint32_t>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                cp |= static_cast<std::uint32_t>(c - 'A' + 10);
            } else {
                return false;
            }
        }
        return true;
    };
    auto parseString = [&](std::string& out) {
        if (pos >= in.size() || in[pos] != '"') {
            return false;
        }
        ++pos;
        while (pos < in.size()) {
            char c = in[pos++];
            if (c == '"') {
                return true;
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos >= in.size()) {
                return false;
            }
            char esc = in[pos++];
            switch (esc) {
                case '"':
                case '\\':
                case '/':
                    out += esc;
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
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
                case 'u': {
                    std::uint32_t cp = 0;
                    if (!hex4(cp)) {
                        return false;
                    }
                    if (cp >= 0xD800 && cp < 0xDC00 && pos + 6 <= in.size() && in[pos] == '\\' && in[pos + 1] == 'u') {
                        pos += 2;
                        std::uint32_t low = 0;
                        if (!hex4(low) || low < 0xDC00 || low > 0xDFFF) {
                            return false;
                        }
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    }
                    appendUtf8(out, cp);
                    break;
                }
                default:
                    return false;
            }
        }
        return false;
    };

    std::map<std::string, JsonValue> result;
    skipBlank();
    if (pos >= in.size() || in[pos] != '{') {
        error = "expected '{'";
        return std::nullopt;
    }
    ++pos;
    skipBlank();
    if (pos < in.size() && in[pos] == '}') {
        return result;
    }
    while (true) {
        skipBlank();
        std::string key;
        if (!parseString(key)) {
            error = "bad key";
            return std::nullopt;
        }
        skipBlank();
        if (pos >= in.size() || in[pos] != ':') {
            error = "expected ':'";
            return std::nullopt;
        }
        ++pos;
        skipBlank();
        JsonValue value;
        if (pos < in.size() && in[pos] == '"') {
            value.kind = JsonValue::Kind::String;
            if (!parseString(value.text)) {
                error = "bad string";
                return std::nullopt;
            }
        } else if (in.substr(pos, 4) == "true") {
            value.kind = JsonValue::Kind::Bool;
            value.boolean = true;
            pos += 4;
        } else if (in.substr(pos, 5) == "false") {
            value.kind = JsonValue::Kind::Bool;
            pos += 5;
        } else if (in.substr(pos, 4) == "null") {
            pos += 4;
        } else {
            bool negative = false;
            if (pos < in.size() && in[pos] == '-') {
                negative = true;
                ++pos;
            }
            std::size_t start = pos;
            std::int64_t number = 0;
            while (pos < in.size() && in[pos] >= '0' && in[pos] <= '9') {
                number = number * 10 + (in[pos] - '0');
                ++pos;
            }
            if (pos == start) {
                error = "unsupported value for key '" + key + "'";
                return std::nullopt;
            }
            value.kind = JsonValue::Kind::Int;
            value.integer = negative ? -number : number;
        }
        result[key] = std::move(value);
        skipBlank();
        if (pos < in.size() && in[pos] == ',') {
            ++pos;
            continue;
        }
        if (pos < in.size() && in[pos] == '}') {
            return result;
        }
        error = "expected ',' or '}'";
        return std::nullopt;
    }
}

}  // namespace uidriver
