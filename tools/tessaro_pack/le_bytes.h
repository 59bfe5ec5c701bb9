#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Little-endian numbers at byte offsets of a file image, as PE and .ico files store them. Callers check bounds.
namespace tessaro_pack::le {

inline std::uint32_t Get(std::string_view bytes, std::size_t at, int width) {
    std::uint32_t value = 0;
    for (int i = width; i-- > 0;) {
        value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    }
    return value;
}

inline std::uint16_t Get16(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint16_t>(Get(bytes, at, 2));
}

inline std::uint32_t Get32(std::string_view bytes, std::size_t at) {
    return Get(bytes, at, 4);
}

inline void Put(std::string& bytes, std::size_t at, std::uint32_t value, int width) {
    for (int i = 0; i < width; ++i) {
        bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

inline void Put16(std::string& bytes, std::size_t at, std::uint32_t value) {
    Put(bytes, at, value, 2);
}

inline void Put32(std::string& bytes, std::size_t at, std::uint32_t value) {
    Put(bytes, at, value, 4);
}

inline void Append(std::string& bytes, std::uint32_t value, int width) {
    bytes.append(static_cast<std::size_t>(width), '\0');
    Put(bytes, bytes.size() - static_cast<std::size_t>(width), value, width);
}

inline void PadTo(std::string& bytes, std::size_t alignment) {
    bytes.resize((bytes.size() + alignment - 1) / alignment * alignment, '\0');
}

}  // namespace tessaro_pack::le
