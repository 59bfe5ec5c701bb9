#include "tessaro_pack/pack.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <set>

#include "config/config_text.h"
#include "config/inst_info.h"
#include "config/utf8.h"
#include "instinfo_check/cli.h"
#include "instinfo_check/config_reading.h"
#include "instinfo_check/files.h"
#include "tessaro_pack/lzma_encode.h"

namespace tessaro_pack {
namespace {

namespace fs = std::filesystem;
using instinfo_check::Lookup;
using instinfo_check::Presence;
using instinfo_check::TaskAction;

std::string WindowsName(std::string_view foundAs) {
    std::string name(foundAs);
    std::replace(name.begin(), name.end(), '/', '\\');
    return name;
}

}  // namespace

FolderPlan PlanFolder(const fs::path& folder, const tessaro::AnsiDecoder& decoder) {
    FolderPlan plan;
    const fs::path ini = folder / std::string(tessaro::kConfigFileName);
    plan.report = instinfo_check::Analyse(instinfo_check::ReadConfig(instinfo_check::Utf8FromPath(ini), decoder),
                                          instinfo_check::kDefaultCodePage);
    if (plan.report.refusal) {
        return plan;
    }
    std::set<std::string> packed{std::string(tessaro::kConfigFileName)};
    // The name a file goes into the bundle under, as found beside InstInfo.ini; nothing when it is not there.
    const auto take = [&](std::string_view name) -> std::optional<std::string> {
        const Lookup found = instinfo_check::FindBeside(folder, name);
        if (found.presence != Presence::File) {
            return std::nullopt;
        }
        std::string packedAs = WindowsName(found.foundAs);
        packed.insert(packedAs);
        return packedAs;
    };
    // The window needs InstInfo.ini and its picture; they go first, so that Setup.exe can show it before the
    // rest is out.
    plan.packed.push_back(std::string(tessaro::kConfigFileName));
    if (const auto picture = plan.report.pictureExists ? take(plan.report.picture) : std::nullopt;
        picture && *picture != plan.packed.front()) {
        plan.packed.push_back(*picture);
    }
    plan.windowFiles = static_cast<std::uint32_t>(plan.packed.size());
    const std::set<std::string> forTheWindow(plan.packed.begin(), plan.packed.end());
    for (const instinfo_check::TaskRow& row : plan.report.tasks) {
        const bool namesSource = row.action == TaskAction::Copy || row.action == TaskAction::ImportWorkspace ||
                                 row.action == TaskAction::Run;
        if (namesSource && !take(row.fields[1]) && row.required) {
            plan.missingRequired.push_back(row.fields[1]);
        }
    }
    for (const std::string& name : packed) {
        if (!forTheWindow.contains(name)) {
            plan.packed.push_back(name);
        }
    }
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (!it->is_regular_file()) {
            continue;
        }
        const std::string name = WindowsName(instinfo_check::Utf8FromPath(fs::relative(it->path(), folder)));
        if (!packed.contains(name)) {
            plan.leftOut.push_back(name);
        }
    }
    std::sort(plan.leftOut.begin(), plan.leftOut.end());
    return plan;
}

std::string BuildSetup(std::string_view stub,
                       const std::vector<tessaro::bundle::File>& files,
                       std::uint32_t windowFiles,
                       std::string& error) {
    namespace bundle = tessaro::bundle;
    // The unfilled marker: the magic followed by version 0.
    std::string unfilled(bundle::kMarkerMagic);
    unfilled.append(4, '\0');
    const std::size_t at = stub.find(unfilled);
    if (at == std::string_view::npos || stub.find(unfilled, at + 1) != std::string_view::npos) {
        error = "the stub is no plain Tessaro.exe: it has no unfilled bundle marker, or more than one";
        return {};
    }
    const std::optional<std::string> payload = EncodePayload(bundle::SerializeFiles(files, windowFiles));
    if (!payload) {
        error = "the files could not be compressed";
        return {};
    }
    bundle::Marker marker{};
    bundle::kMarkerMagic.copy(marker.magic, sizeof(marker.magic));
    marker.version = bundle::kFormatVersion;
    marker.crc32 = bundle::Crc32(*payload);
    marker.offset = stub.size();
    marker.size = payload->size();
    std::string setup(stub);
    setup.replace(at, sizeof(marker), bundle::EncodeMarker(marker));
    setup += *payload;
    return setup;
}

}  // namespace tessaro_pack
