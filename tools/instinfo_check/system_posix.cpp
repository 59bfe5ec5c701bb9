#include <errno.h>
#include <iconv.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "config/utf8.h"
#include "instinfo_check/cli.h"
#include "instinfo_check/system.h"

namespace instinfo_check::system {
namespace {

constexpr uint32_t kReplacement = 0xFFFD;

void WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;  // a closed pipe: nobody reads the rest
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

// Owns one iconv conversion descriptor.
class Iconv {
  public:
    explicit Iconv(iconv_t descriptor) : descriptor_(descriptor) {}
    ~Iconv() {
        if (Valid()) {
            ::iconv_close(descriptor_);
        }
    }
    Iconv(Iconv&& other) noexcept : descriptor_(other.descriptor_) { other.descriptor_ = Invalid(); }
    Iconv& operator=(Iconv&&) = delete;
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    static Iconv Open(const std::string& fromCharset) { return Iconv(::iconv_open("UTF-8", fromCharset.c_str())); }
    bool Valid() const { return descriptor_ != Invalid(); }
    iconv_t Get() const { return descriptor_; }

  private:
    static iconv_t Invalid() { return reinterpret_cast<iconv_t>(-1); }
    iconv_t descriptor_;
};

// glibc names Windows code pages "CP<N>"; UTF-8 has its own name.
std::string CharsetName(int codePage) {
    return codePage == 65001 ? "UTF-8" : "CP" + std::to_string(codePage);
}

// Decodes like MultiByteToWideChar without MB_ERR_INVALID_CHARS: a byte that starts no valid character becomes
// a replacement character and decoding goes on with the next byte. Windows instead turns a lead byte with a bad
// second byte into one "?" and takes both bytes, so text around a broken pair can differ by that one character.
std::string Decode(const std::string& charset, std::string_view input) {
    const Iconv converter = Iconv::Open(charset);
    std::string out;
    if (!converter.Valid()) {
        return out;
    }
    std::string buffer(4 * input.size() + 16, '\0');
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    while (inLeft > 0) {
        char* outPtr = buffer.data();
        std::size_t outLeft = buffer.size();
        const std::size_t result = ::iconv(converter.Get(), &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer.data(), buffer.size() - outLeft);
        if (result != static_cast<std::size_t>(-1)) {
            break;
        }
        if (errno == E2BIG) {
            continue;
        }
        // EILSEQ or EINVAL (a cut-off character at the end): skip one byte and start afresh.
        tessaro::utf8::AppendCodePoint(out, kReplacement);
        ++in;
        --inLeft;
        ::iconv(converter.Get(), nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

}  // namespace

void WriteOut(std::string_view utf8) {
    WriteAll(STDOUT_FILENO, utf8);
}

void WriteError(std::string_view utf8) {
    WriteAll(STDERR_FILENO, utf8);
}

Language DefaultLanguage() {
    return LanguageFromLocale(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"));
}

std::optional<tessaro::AnsiDecoder> MakeAnsiDecoder(int codePage) {
    const std::string charset = CharsetName(codePage);
    if (!Iconv::Open(charset).Valid()) {
        return std::nullopt;
    }
    return [charset](std::string_view ansi) { return Decode(charset, ansi); };
}

}  // namespace instinfo_check::system
