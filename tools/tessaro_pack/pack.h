#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "bundle/bundle_format.h"
#include "instinfo_check/analysis.h"

namespace tessaro_pack {

// What goes into a Setup.exe: InstInfo.ini, the cover picture and every file a task names, as the installer
// will look for them; what lies in the folder besides is left out.
struct FolderPlan {
    instinfo_check::Report report;
    // Names inside the folder, "\" between parts: InstInfo.ini, then the cover picture, then the rest in order.
    std::vector<std::string> packed;
    std::uint32_t windowFiles = 1;             // the first of them the window needs: InstInfo.ini and the picture
    std::vector<std::string> leftOut;          // files in the folder that nothing names
    std::vector<std::string> missingRequired;  // names required tasks give that are not there
};

FolderPlan PlanFolder(const std::filesystem::path& folder, const tessaro::AnsiDecoder& decoder);

// A Setup.exe: `stub` (a Tessaro.exe) with its marker filled in, followed by the compressed `files`, of which the
// first `windowFiles` are the ones its window needs. Empty, with `error` set, when the stub holds no unfilled
// marker or more than one, or the files cannot be compressed.
std::string BuildSetup(std::string_view stub,
                       const std::vector<tessaro::bundle::File>& files,
                       std::uint32_t windowFiles,
                       std::string& error);

}  // namespace tessaro_pack
