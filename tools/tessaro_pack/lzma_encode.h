#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tessaro_pack {

// The payload as the installer's DecodePayload reads it: the LZMA properties, the unpacked size, the stream,
// compressed by the LZMA SDK's encoder at its strongest setting.
std::optional<std::string> EncodePayload(std::string_view archive);

}  // namespace tessaro_pack
