#include "tessaro_pack/pack_cli.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "config/utf8.h"
#include "instinfo_check/cli.h"
#include "instinfo_check/files.h"
#include "instinfo_check/phrase.h"
#include "tessaro_pack/branding.h"
#include "tessaro_pack/pack.h"
#include "tessaro_pack/pe_sections.h"
#include "tessaro_pack/version_info.h"

namespace tessaro_pack {
namespace {

namespace fs = std::filesystem;

// The program's own words, in the two languages of the checker.
struct PackTexts {
    std::string_view usage;
    std::string_view warning;
    std::string_view refused;
    std::string_view requiredMissing;
    std::string_view packed;
    std::string_view leftOut;
    std::string_view cannotRead;
    std::string_view cannotWrite;
    std::string_view noDecoder;
    std::string_view wrote;
    std::string_view unknownKey;
    std::string_view badIcon;
    std::string_view notUtf8;
};

constexpr PackTexts kEnglish{
    "usage: tessaro-pack [--arch x86|x64] [--stub Tessaro.exe] [--icon FILE.ico] [--version KEY=VALUE]... FOLDER\n"
    "                    [-o Setup.exe]\n"
    "  --icon     the icon Explorer and the window show\n"
    "  --version  KEY is ProductName, ProductVersion, CompanyName, FileDescription or LegalCopyright\n",
    "warning: line {0} [{1}] {2}\n",
    "refused: ",
    "refused: the required file {0} is not in the folder\n",
    "packed: {0}\n",
    "left out (no task names it): {0}\n",
    "cannot read {0}\n",
    "cannot write {0}\n",
    "this system cannot decode code page 936\n",
    "wrote {0}: {1} bytes, {2} of them the installer\n",
    "refused: --version knows no key {0}; it takes ProductName, ProductVersion, CompanyName, FileDescription, "
    "LegalCopyright\n",
    "refused: {0} is no usable icon: {1}\n",
    "refused: the value of --version {0} is not UTF-8 text\n",
};

constexpr PackTexts kChinese{
    "用法：tessaro-pack [--arch x86|x64] [--stub Tessaro.exe] [--icon 图标.ico] [--version 键=值]... 文件夹\n"
    "                   [-o Setup.exe]\n"
    "  --icon     资源管理器和窗口显示的图标\n"
    "  --version  键为 ProductName、ProductVersion、CompanyName、FileDescription 或 LegalCopyright\n",
    "警告：第 {0} 行 [{1}] {2}\n",
    "拒绝：",
    "拒绝：必需的文件 {0} 不在文件夹中\n",
    "已打包：{0}\n",
    "未打包（没有任务用到）：{0}\n",
    "无法读取 {0}\n",
    "无法写入 {0}\n",
    "本系统不能解码代码页 936\n",
    "已生成 {0}：共 {1} 字节，其中安装程序 {2} 字节\n",
    "拒绝：--version 没有键 {0}；可用的键为 ProductName、ProductVersion、CompanyName、FileDescription、"
    "LegalCopyright\n",
    "拒绝：{0} 不是可用的图标：{1}\n",
    "拒绝：--version {0} 的值不是 UTF-8 文本\n",
};

std::string Fill(std::string_view text, std::initializer_list<std::string> values) {
    std::string out(text);
    std::size_t index = 0;
    for (const std::string& value : values) {
        const std::string slot = "{" + std::to_string(index++) + "}";
        if (const std::size_t at = out.find(slot); at != std::string::npos) {
            out.replace(at, slot.size(), value);
        }
    }
    return out;
}

bool ReadFile(const fs::path& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

struct Arguments {
    std::string arch = "x86";
    std::string stub;
    std::string folder;
    std::string output;
    std::string icon;
    std::vector<std::pair<std::string, std::string>> versions;  // as given: the key in any letter case
};

std::optional<Arguments> Parse(std::span<const std::string> args) {
    Arguments parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (option == "--arch" || option == "--stub" || option == "-o" || option == "--icon") {
            if (i + 1 == args.size()) {
                return std::nullopt;
            }
            const std::string& value = args[++i];
            (option == "--arch"   ? parsed.arch
             : option == "--stub" ? parsed.stub
             : option == "-o"     ? parsed.output
                                  : parsed.icon) = value;
        } else if (option == "--version") {
            const std::size_t equals = i + 1 < args.size() ? args[i + 1].find('=') : std::string::npos;
            if (equals == std::string::npos || equals == 0) {
                return std::nullopt;
            }
            const std::string& pair = args[++i];
            parsed.versions.emplace_back(pair.substr(0, equals), pair.substr(equals + 1));
        } else if (parsed.folder.empty() && !option.starts_with("-")) {
            parsed.folder = option;
        } else {
            return std::nullopt;
        }
    }
    if (parsed.folder.empty() || (parsed.arch != "x86" && parsed.arch != "x64")) {
        return std::nullopt;
    }
    return parsed;
}

}  // namespace

int RunPack(std::span<const std::string> args, const PackEnvironment& environment) {
    const bool chinese = environment.language == instinfo_check::Language::Chinese;
    const PackTexts& words = chinese ? kChinese : kEnglish;
    const instinfo_check::Texts& texts = instinfo_check::TextsFor(environment.language);
    const std::optional<Arguments> parsed = Parse(args);
    if (!parsed) {
        environment.writeError(words.usage);
        return kExitUsage;
    }
    Branding branding;
    for (const auto& [key, value] : parsed->versions) {
        const std::optional<std::string_view> canonical = CanonicalVersionKey(key);
        if (!canonical) {
            environment.writeError(Fill(words.unknownKey, {key}));
            return kExitRefused;
        }
        if (tessaro::utf8::Sanitize(value) != value) {
            environment.writeError(Fill(words.notUtf8, {std::string(*canonical)}));
            return kExitRefused;
        }
        branding.versions.emplace_back(*canonical, value);
    }
    if (!parsed->icon.empty()) {
        std::string icon;
        if (!ReadFile(instinfo_check::PathFromUtf8(parsed->icon), icon)) {
            environment.writeError(Fill(words.cannotRead, {parsed->icon}));
            return kExitFiles;
        }
        std::string why;
        std::optional<std::vector<IconImage>> images = ReadIconFile(icon, why);
        if (!images) {
            environment.writeError(Fill(words.badIcon, {parsed->icon, why}));
            return kExitRefused;
        }
        branding.icon = std::move(*images);
    }

    const fs::path folder = instinfo_check::PathFromUtf8(parsed->folder);
    std::string output = parsed->output;
    if (output.empty()) {
        fs::path beside = folder.lexically_normal();
        if (!beside.has_filename()) {
            beside = beside.parent_path();
        }
        output = instinfo_check::Utf8FromPath(beside) + "-Setup.exe";
    }
    std::string stubName = parsed->stub;
    if (stubName.empty()) {
        stubName = parsed->arch == "x86" ? environment.stubX86 : environment.stubX64;
    }

    const std::optional<tessaro::AnsiDecoder> decoder = environment.makeDecoder(instinfo_check::kDefaultCodePage);
    if (!decoder) {
        environment.writeError(words.noDecoder);
        return kExitFiles;
    }
    const FolderPlan plan = PlanFolder(folder, *decoder);
    if (plan.report.refusal) {
        environment.writeError(std::string(words.refused) +
                               instinfo_check::Render(texts, plan.report.refusal->message) + "\n");
        return kExitRefused;
    }
    for (const instinfo_check::Finding& warning : plan.report.warnings) {
        environment.writeOut(Fill(words.warning, {std::to_string(warning.line), std::string(warning.code),
                                                  instinfo_check::Render(texts, warning.message)}));
    }
    if (!plan.missingRequired.empty()) {
        for (const std::string& name : plan.missingRequired) {
            environment.writeError(Fill(words.requiredMissing, {name}));
        }
        return kExitRefused;
    }

    std::vector<tessaro::bundle::File> files;
    for (const std::string& name : plan.packed) {
        std::string relative = name;
        std::replace(relative.begin(), relative.end(), '\\', '/');
        tessaro::bundle::File file{name, {}};
        if (!ReadFile(folder / instinfo_check::PathFromUtf8(relative), file.bytes)) {
            environment.writeError(Fill(words.cannotRead, {name}));
            return kExitFiles;
        }
        files.push_back(std::move(file));
        environment.writeOut(Fill(words.packed, {name}));
    }
    for (const std::string& name : plan.leftOut) {
        environment.writeOut(Fill(words.leftOut, {name}));
    }
    std::string stub;
    if (!ReadFile(instinfo_check::PathFromUtf8(stubName), stub) || stub.empty()) {
        environment.writeError(Fill(words.cannotRead, {stubName}));
        return kExitFiles;
    }
    std::string error;
    if (!branding.Empty()) {
        std::optional<std::string> branded = ApplyBranding(stub, branding, error);
        if (!branded) {
            environment.writeError(error + "\n");
            return kExitFiles;
        }
        stub = std::move(*branded);
    }
    std::string setup = BuildSetup(stub, files, plan.windowFiles, error);
    if (setup.empty()) {
        environment.writeError(error + "\n");
        return kExitFiles;
    }
    if (!branding.Empty()) {
        // The checksum covers the whole file, the payload too; a plain Setup.exe keeps the stub's as it was.
        StampPeChecksum(setup);
    }
    std::ofstream out(instinfo_check::PathFromUtf8(output), std::ios::binary | std::ios::trunc);
    out.write(setup.data(), static_cast<std::streamsize>(setup.size()));
    if (!out.flush()) {
        environment.writeError(Fill(words.cannotWrite, {output}));
        return kExitFiles;
    }
    environment.writeOut(Fill(words.wrote, {output, std::to_string(setup.size()), std::to_string(stub.size())}));
    return kExitWritten;
}

}  // namespace tessaro_pack
