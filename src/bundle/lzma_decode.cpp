// The payload's decoder: the LZMA SDK's own (Debian's lzma-dev), not one of ours.
#include <algorithm>
#include <cstdlib>
#include <new>

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

ISzAlloc allocator{Allocate, Release};

constexpr std::size_t kSizeBytes = 8;

}  // namespace

// The SDK's one-call LzmaDecode, cut into steps: the whole output buffer is the decoder's dictionary, so nothing
// beyond it and the probability tables is allocated, whatever dictionary size the stream was packed with.
struct PayloadDecoder::State {
    CLzmaDec lzma;
    // Not zeroed first: for a big add-on that alone would cost the window a noticeable moment, and the decoder
    // writes every byte before anything reads it.
    std::unique_ptr<char[]> out;
    std::size_t outSize = 0;
    std::string_view stream;  // what is left of the compressed bytes
    bool damaged = false;

    State() { LzmaDec_Construct(&lzma); }
    ~State() { LzmaDec_FreeProbs(&lzma, &allocator); }
    State(const State&) = delete;
    State& operator=(const State&) = delete;

    bool Step(std::uint64_t end, ELzmaFinishMode finish) {
        if (damaged) {
            return false;
        }
        end = std::min<std::uint64_t>(end, outSize);
        if (lzma.dicPos >= end && finish == LZMA_FINISH_ANY) {
            return true;
        }
        SizeT consumed = stream.size();
        ELzmaStatus status = LZMA_STATUS_NOT_SPECIFIED;
        const SRes result = LzmaDec_DecodeToDic(
            &lzma, static_cast<SizeT>(end), reinterpret_cast<const Byte*>(stream.data()), &consumed, finish, &status);
        stream.remove_prefix(consumed);
        damaged = result != SZ_OK || lzma.dicPos < end;
        if (!damaged && finish == LZMA_FINISH_END) {
            // Every byte must come out, and the stream must end exactly where the payload does.
            const bool complete =
                status == LZMA_STATUS_FINISHED_WITH_MARK || status == LZMA_STATUS_MAYBE_FINISHED_WITHOUT_MARK;
            damaged = !complete || lzma.dicPos != outSize || !stream.empty();
        }
        return !damaged;
    }
};

PayloadDecoder::PayloadDecoder() : state_(std::make_unique<State>()) {}
PayloadDecoder::~PayloadDecoder() = default;

bool PayloadDecoder::Begin(std::string_view payload) {
    if (payload.size() < LZMA_PROPS_SIZE + kSizeBytes) {
        return false;
    }
    std::uint64_t unpacked = 0;
    for (std::size_t i = kSizeBytes; i-- > 0;) {
        unpacked = unpacked << 8 | static_cast<unsigned char>(payload[LZMA_PROPS_SIZE + i]);
    }
    if (unpacked > kMaxUnpackedBytes ||
        LzmaDec_AllocateProbs(&state_->lzma, reinterpret_cast<const Byte*>(payload.data()), LZMA_PROPS_SIZE,
                              &allocator) != SZ_OK) {
        return false;
    }
    state_->outSize = static_cast<std::size_t>(unpacked);
    state_->out.reset(new (std::nothrow) char[std::max<std::size_t>(state_->outSize, 1)]);
    if (!state_->out) {
        return false;
    }
    state_->stream = payload.substr(LZMA_PROPS_SIZE + kSizeBytes);
    state_->lzma.dic = reinterpret_cast<Byte*>(state_->out.get());
    state_->lzma.dicBufSize = state_->outSize;
    LzmaDec_Init(&state_->lzma);
    return true;
}

bool PayloadDecoder::DecodeTo(std::uint64_t end) {
    return state_->Step(end, LZMA_FINISH_ANY);
}

bool PayloadDecoder::Finish() {
    return state_->Step(state_->outSize, LZMA_FINISH_END);
}

std::uint64_t PayloadDecoder::TotalBytes() const {
    return state_->outSize;
}

std::string_view PayloadDecoder::Decoded() const {
    return state_->out ? std::string_view(state_->out.get(), state_->lzma.dicPos) : std::string_view();
}

void PayloadDecoder::Discard() {
    state_ = std::make_unique<State>();
}

std::optional<std::string> DecodePayload(std::string_view payload) {
    PayloadDecoder decoder;
    if (!decoder.Begin(payload) || !decoder.Finish()) {
        return std::nullopt;
    }
    return std::string(decoder.Decoded());
}

}  // namespace tessaro::bundle
