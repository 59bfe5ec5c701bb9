#include "platform/virtual_store_path.h"

namespace tessaro {
namespace {

char Fold(char c) {
    if (c == '/') {
        return '\\';
    }
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string_view WithoutTrailingSeparators(std::string_view path) {
    while (!path.empty() && Fold(path.back()) == '\\') {
        path.remove_suffix(1);
    }
    return path;
}

// True when `path` lies somewhere inside `folder` (not the folder itself).
bool IsInside(std::string_view path, std::string_view folder) {
    folder = WithoutTrailingSeparators(folder);
    path = WithoutTrailingSeparators(path);
    if (folder.size() < 3 || path.size() <= folder.size()) {
        return false;
    }
    for (size_t i = 0; i < folder.size(); ++i) {
        if (Fold(path[i]) != Fold(folder[i])) {
            return false;
        }
    }
    return Fold(path[folder.size()]) == '\\';
}

bool HasDriveLetter(std::string_view path) {
    return path.size() >= 3 && path[1] == ':' && Fold(path[2]) == '\\' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

}  // namespace

std::optional<std::string> VirtualStorePath(std::string_view path,
                                            const std::vector<std::string>& virtualizedFolders,
                                            std::string_view localAppData) {
    localAppData = WithoutTrailingSeparators(localAppData);
    if (localAppData.empty() || !HasDriveLetter(path)) {
        return std::nullopt;
    }
    for (const std::string& folder : virtualizedFolders) {
        if (HasDriveLetter(folder) && IsInside(path, folder)) {
            std::string copy(localAppData);
            copy.append("\\VirtualStore");
            for (const char c : path.substr(2)) {
                copy.push_back(c == '/' ? '\\' : c);
            }
            return copy;
        }
    }
    return std::nullopt;
}

}  // namespace tessaro
