// The payload's decoder: the LZMA SDK's own (Debian's lzma-dev), not one of ours.
#include <cstdlib>

#include "bundle/bundle_format.h"

extern "C" {
#include "LzmaDec.h"
}

namespace tessaro::bundle {
namespace {

void* Allocate(void*, size_t size) {
    return std::malloc(size);
}
void Release(void*, void* address) {
    std::free(address);
}

constexpr std::size_t kSizeBytes = 8;

}  // namespace

std::optional<std::string> DecodePayload(std::string_view payload) {
    if (payload.size() < LZMA_PROPS_SIZE + kSizeBytes) {
        return std::nullopt;
    }
    std::uint64_t unpacked = 0;
    for (std::size_t i = kSizeBytes; i-- > 0;) {
        unpacked = unpacked << 8 | static_cast<unsigned char>(payload[LZMA_PROPS_SIZE + i]);
    }
    if (unpacked > kMaxUnpackedBytes) {
        return std::nullopt;
    }
    std::string out(static_cast<std::size_t>(unpacked), '\0');
    const std::string_view stream = payload.substr(LZMA_PROPS_SIZE + kSizeBytes);
    SizeT outSize = out.size();
    SizeT inSize = stream.size();
    ELzmaStatus status = LZMA_STATUS_NOT_SPECIFIED;
    ISzAlloc allocator{Allocate, Release};
    const SRes result = LzmaDecode(
        reinterpret_cast<Byte*>(out.data()), &outSize, reinterpret_cast<const Byte*>(stream.data()), &inSize,
        reinterpret_cast<const Byte*>(payload.data()), LZMA_PROPS_SIZE, LZMA_FINISH_END, &status, &allocator);
    // Every byte must come out, and the stream must end exactly where the payload does.
    const bool complete = status == LZMA_STATUS_FINISHED_WITH_MARK || status == LZMA_STATUS_MAYBE_FINISHED_WITHOUT_MARK;
    if (result != SZ_OK || !complete || outSize != out.size() || inSize != stream.size()) {
        return std::nullopt;
    }
    return out;
}

}  // namespace tessaro::bundle
