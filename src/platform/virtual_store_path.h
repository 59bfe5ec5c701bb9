#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaro {

// Where UAC file virtualization keeps a program's per-user copy of `path`: the path without its drive, under
// "<local application data>\VirtualStore". Only files inside one of `virtualizedFolders` (Program Files, the
// Windows folder, ProgramData) are redirected, and only on the system drive that those folders name. Folder
// names compare without regard to ASCII letter case, as Windows compares them; '/' counts as '\'. Nothing for
// any other path, or when a folder is unknown (empty).
std::optional<std::string> VirtualStorePath(std::string_view path,
                                            const std::vector<std::string>& virtualizedFolders,
                                            std::string_view localAppData);

}  // namespace tessaro
