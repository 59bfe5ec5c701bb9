#include "config/decimal_text.h"

namespace tessaro {

// By hand: std::to_string brings a 200-byte digit table and its helpers into every Tessaro.exe, and the printf
// family far more.
void AppendDecimal(std::string& text, std::uint32_t value, std::size_t width) {
    char digits[10];
    std::size_t count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0 || count < width);
    while (count > 0) {
        text += digits[--count];
    }
}

std::string DecimalText(std::int32_t value) {
    std::string text;
    // The magnitude in unsigned arithmetic, so the most negative number has one too.
    std::uint32_t magnitude = static_cast<std::uint32_t>(value);
    if (value < 0) {
        text += '-';
        magnitude = 0u - magnitude;
    }
    AppendDecimal(text, magnitude);
    return text;
}

}  // namespace tessaro
