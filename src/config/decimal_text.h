#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tessaro {

// Appends `value` in decimal, with leading zeros up to `width` digits.
void AppendDecimal(std::string& text, std::uint32_t value, std::size_t width = 1);

// `value` in decimal, with a minus sign when it is negative: failure numbers and automation values in the log and
// in message boxes.
std::string DecimalText(std::int32_t value);

}  // namespace tessaro
