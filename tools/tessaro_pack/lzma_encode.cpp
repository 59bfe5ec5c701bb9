#include "tessaro_pack/lzma_encode.h"

#include <cstdlib>

extern "C" {
#include "LzmaEnc.h"
}

namespace tessaro_pack {
namespace {

void* Allocate(void*, size_t size) {
    return std::malloc(size);
}
void Release(void*, void* address) {
    std::free(address);
}

constexpr std::size_t kPropsBytes = 5;
constexpr std::size_t kSizeBytes = 8;

}  // namespace

std::optional<std::string> EncodePayload(std::string_view archive) {
    CLzmaEncProps props;
    LzmaEncProps_Init(&props);
    props.level = 9;
    props.dictSize = 1u << 24;
    props.reduceSize = static_cast<UInt32>(archive.size());
    // Room for data that does not compress, plus the stream's own overhead.
    std::string payload(kPropsBytes + kSizeBytes + archive.size() + archive.size() / 3 + 1024, '\0');
    SizeT propsSize = kPropsBytes;
    SizeT streamSize = payload.size() - kPropsBytes - kSizeBytes;
    ISzAlloc allocator{Allocate, Release};
    const SRes result =
        LzmaEncode(reinterpret_cast<Byte*>(payload.data() + kPropsBytes + kSizeBytes), &streamSize,
                   reinterpret_cast<const Byte*>(archive.data()), archive.size(), &props,
                   reinterpret_cast<Byte*>(payload.data()), &propsSize, 0, nullptr, &allocator, &allocator);
    if (result != SZ_OK || propsSize != kPropsBytes) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < kSizeBytes; ++i) {
        payload[kPropsBytes + i] = static_cast<char>((static_cast<std::uint64_t>(archive.size()) >> (8 * i)) & 0xFF);
    }
    payload.resize(kPropsBytes + kSizeBytes + streamSize);
    return payload;
}

}  // namespace tessaro_pack
