#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// One Setup.exe per add-on: a Tessaro.exe whose marker tessaro-pack has filled in, followed by the add-on's files.
// docs/bundle.md describes the layout.
namespace tessaro::bundle {

// Lives in the installer's read-only data. Unfilled (version 0) in a plain Tessaro.exe; tessaro-pack finds it by
// its magic and writes where the payload lies and its CRC-32. Little-endian, 40 bytes.
struct Marker {
    char magic[16];
    std::uint32_t version;
    std::uint32_t crc32;
    std::uint64_t offset;
    std::uint64_t size;
};
static_assert(sizeof(Marker) == 40);

inline constexpr std::string_view kMarkerMagic{"TessaroBundle01", 16};  // the terminating NUL included
inline constexpr std::uint32_t kFormatVersion = 2;
// What the payload may unpack to at most: an add-on with a big workspace is a few MB.
inline constexpr std::uint64_t kMaxUnpackedBytes = 512ull * 1024 * 1024;

// The marker's 40 bytes as they go into the file.
std::string EncodeMarker(const Marker& marker);

struct File {
    std::string name;  // relative to the add-on folder, parts separated by "\", UTF-8
    std::string bytes;
};

std::uint32_t Crc32(std::string_view bytes);

// The archive inside the payload: the file count, how many of the first files the window needs (InstInfo.ini and
// the cover picture: the installer shows its window as soon as those are out and unpacks the rest meanwhile), then
// each file's name and size, then the contents in order.
std::string SerializeFiles(const std::vector<File>& files, std::uint32_t windowFiles);

struct ArchiveEntry {
    std::string name;
    std::uint64_t offset = 0;  // where its contents start in the archive
    std::uint64_t size = 0;
};

struct ArchiveIndex {
    std::vector<ArchiveEntry> entries;
    std::uint32_t windowFiles = 0;
};

enum class IndexState { Complete, NeedMore, Damaged };

// Reads the index from `prefix`, the front of an archive of `archiveBytes` in all. NeedMore when the index runs
// past the prefix; Damaged when it names a file outside its folder (absolute, "..", a drive, a NUL), or its
// contents would not fill the archive exactly.
IndexState ParseIndex(std::string_view prefix, std::uint64_t archiveBytes, ArchiveIndex& index);

// The whole archive at once; nothing when it is damaged.
std::optional<std::vector<File>> ParseFiles(std::string_view archive);

// Whether `name` stays inside the folder it is unpacked into.
bool IsSafeRelativeName(std::string_view name);

// The compressed payload: the LZMA properties (5 bytes), the unpacked size (8 bytes), the LZMA stream.
// Nothing when the stream is damaged, or claims more than kMaxUnpackedBytes.
std::optional<std::string> DecodePayload(std::string_view payload);

// The same payload unpacked a piece at a time, into one buffer of its unpacked size. The payload's bytes must
// outlive the decoder.
class PayloadDecoder {
  public:
    PayloadDecoder();
    ~PayloadDecoder();
    PayloadDecoder(const PayloadDecoder&) = delete;
    PayloadDecoder& operator=(const PayloadDecoder&) = delete;

    // False when the header is damaged or claims more than kMaxUnpackedBytes.
    bool Begin(std::string_view payload);
    // Unpacks until at least `end` bytes (at most the whole) are out. False once the stream proves damaged.
    bool DecodeTo(std::uint64_t end);
    // Unpacks the rest; true only when every byte came out and the stream ends exactly where the payload does.
    bool Finish();
    std::uint64_t TotalBytes() const;
    // What is out so far.
    std::string_view Decoded() const;
    // Gives the buffer back; nothing is decoded any more.
    void Discard();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

enum class BundleState { NotABundle, Damaged, Ready };

struct OpenedBundle {
    BundleState state = BundleState::NotABundle;
    std::vector<File> files;
};

// Where a PE file's Authenticode certificate table lies (file offset, size); both zero when it is unsigned.
// Nothing when `exe` is no PE file.
std::optional<std::pair<std::uint64_t, std::uint64_t>> CertificateTable(std::string_view exe);

// The compressed payload carried by `exe`, the whole Setup.exe, as `marker` (the running copy's own) describes
// it, once its place and its CRC are right. The payload must end the file, or be followed only by the
// certificate table that signing adds. `state` says which: NotABundle, Damaged or Ready.
std::string_view FindPayload(std::string_view exe, const Marker& marker, BundleState& state);

// FindPayload, then every file unpacked at once.
OpenedBundle OpenBundle(std::string_view exe, const Marker& marker);

}  // namespace tessaro::bundle
