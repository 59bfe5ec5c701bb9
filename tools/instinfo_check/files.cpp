#include "instinfo_check/files.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

#include "config/utf8.h"

namespace instinfo_check {
namespace fs = std::filesystem;
namespace {

std::vector<std::string> SplitPathParts(std::string_view relative) {
    std::vector<std::string> parts;
    std::string part;
    for (const char c : relative) {
        if (c == '\\' || c == '/') {
            parts.push_back(std::move(part));
            part.clear();
        } else {
            part += c;
        }
    }
    parts.push_back(std::move(part));
    return parts;
}

// Windows drops trailing blanks and dots from each name of a path before it looks anything up.
std::string WindowsName(std::string_view name) {
    const auto last = name.find_last_not_of(" .");
    return std::string(last == std::string_view::npos ? std::string_view() : name.substr(0, last + 1));
}

bool Exists(const fs::path& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

}  // namespace

fs::path PathFromUtf8(std::string_view utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8FromPath(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

tessaro::FileBytes ReadWholeFile(const std::string& utf8Path) {
    tessaro::FileBytes result;
    const fs::path path = PathFromUtf8(utf8Path);
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (status.type() == fs::file_type::not_found) {
        result.status = tessaro::ReadStatus::NotFound;
        return result;
    }
    if (error || status.type() != fs::file_type::regular || fs::file_size(path, error) > kMaxConfigSize || error) {
        return result;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return result;
    }
    result.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        result.bytes.clear();
        return result;
    }
    result.status = tessaro::ReadStatus::Ok;
    return result;
}

Lookup FindBeside(const fs::path& folder, std::string_view relative) {
    Lookup lookup;
    fs::path current = folder;
    std::string foundAs;
    for (const std::string& rawPart : SplitPathParts(relative)) {
        const std::string part = WindowsName(rawPart);
        if (part.empty() || part == ".") {
            continue;  // "a\\b" and "a\.\b" name the same file on Windows
        }
        std::string found;
        if (part == "..") {
            found = part;
        } else if (Exists(current / PathFromUtf8(part))) {
            found = part;
        } else {
            const std::string wanted = tessaro::utf8::LowerCase(part);
            std::error_code error;
            for (fs::directory_iterator it(current, error), end; !error && it != end; it.increment(error)) {
                const std::string name = Utf8FromPath(it->path().filename());
                if (tessaro::utf8::LowerCase(WindowsName(name)) == wanted) {
                    found = name;
                    lookup.caseDiffers = true;
                    break;
                }
            }
            if (found.empty()) {
                return Lookup{};
            }
        }
        current /= PathFromUtf8(found);
        foundAs += (foundAs.empty() ? "" : "/") + found;
    }
    std::error_code error;
    const fs::file_status status = fs::status(current, error);
    if (!fs::exists(status)) {
        return Lookup{};
    }
    lookup.presence = fs::is_directory(status) ? Presence::Folder : Presence::File;
    lookup.foundAs = foundAs;
    return lookup;
}

std::string ReadHead(const fs::path& path, std::size_t count) {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(path, error);
    if (error) {
        return {};
    }
    count = static_cast<std::size_t>(std::min<std::uintmax_t>(count, size));
    std::ifstream in(path, std::ios::binary);
    std::string head(count, '\0');
    in.read(head.data(), static_cast<std::streamsize>(count));
    head.resize(in ? count : static_cast<std::size_t>(in.gcount()));
    return head;
}

}  // namespace instinfo_check
