// tessaro-pack: turns an add-on folder into one Setup.exe.
//   tessaro-pack [--arch x86|x64] [--stub FILE] FOLDER -o Setup.exe
// Exit status: 0 written, 2 refused (the checker refuses the folder, or a required file is missing), 3 usage,
// 4 a file could not be read or written.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "instinfo_check/cli.h"
#include "instinfo_check/files.h"
#include "instinfo_check/phrase.h"
#include "instinfo_check/system.h"
#include "tessaro_pack/pack.h"

namespace {

namespace fs = std::filesystem;

constexpr int kExitRefused = 2;
constexpr int kExitUsage = 3;
constexpr int kExitFiles = 4;

bool ReadFile(const fs::path& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return in.good() || in.eof();
}

int Usage(const std::string& why) {
    std::cerr << "tessaro-pack: " << why << "\n"
              << "usage: tessaro-pack [--arch x86|x64] [--stub Tessaro.exe] FOLDER -o Setup.exe\n";
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    std::string arch = "x86";
    fs::path stubPath;
    fs::path folder;
    fs::path output;
    const std::vector<std::string> args(argv + 1, argv + argc);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const auto next = [&]() -> const std::string* { return i + 1 < args.size() ? &args[++i] : nullptr; };
        const std::string option = args[i];
        if (option == "--arch" || option == "--stub" || option == "-o") {
            const std::string* value = next();
            if (value == nullptr) {
                return Usage(option + " needs a value");
            }
            if (option == "--arch") {
                arch = *value;
            } else if (option == "--stub") {
                stubPath = *value;
            } else {
                output = *value;
            }
        } else if (folder.empty() && !args[i].starts_with("-")) {
            folder = args[i];
        } else {
            return Usage("unexpected argument " + args[i]);
        }
    }
    if (arch != "x86" && arch != "x64") {
        return Usage("--arch takes x86 or x64");
    }
    if (folder.empty() || output.empty()) {
        return Usage("a folder and -o Setup.exe are needed");
    }
    if (stubPath.empty()) {
        stubPath = arch == "x86" ? TESSARO_STUB_X86 : TESSARO_STUB_X64;
    }

    const std::optional<tessaro::AnsiDecoder> decoder =
        instinfo_check::system::MakeAnsiDecoder(instinfo_check::kDefaultCodePage);
    if (!decoder) {
        std::cerr << "tessaro-pack: this system cannot decode code page 936\n";
        return kExitFiles;
    }
    const tessaro_pack::FolderPlan plan = tessaro_pack::PlanFolder(folder, *decoder);
    const instinfo_check::Texts& texts = instinfo_check::kEnglishTexts;
    if (plan.report.refusal) {
        std::cerr << "tessaro-pack: refused: " << instinfo_check::Render(texts, plan.report.refusal->message) << "\n";
        return kExitRefused;
    }
    for (const instinfo_check::Finding& warning : plan.report.warnings) {
        std::cout << "warning: line " << warning.line << " [" << warning.code << "] "
                  << instinfo_check::Render(texts, warning.message) << "\n";
    }
    if (!plan.missingRequired.empty()) {
        for (const std::string& name : plan.missingRequired) {
            std::cerr << "tessaro-pack: refused: the required file " << name << " is not in the folder\n";
        }
        return kExitRefused;
    }

    std::vector<tessaro::bundle::File> files;
    for (const std::string& name : plan.packed) {
        std::string relative = name;
        std::replace(relative.begin(), relative.end(), '\\', '/');
        tessaro::bundle::File file{name, {}};
        if (!ReadFile(folder / instinfo_check::PathFromUtf8(relative), file.bytes)) {
            std::cerr << "tessaro-pack: cannot read " << name << "\n";
            return kExitFiles;
        }
        files.push_back(std::move(file));
        std::cout << "packed: " << name << "\n";
    }
    for (const std::string& name : plan.leftOut) {
        std::cout << "left out (no task names it): " << name << "\n";
    }
    std::string stub;
    if (!ReadFile(stubPath, stub) || stub.empty()) {
        std::cerr << "tessaro-pack: cannot read the installer " << stubPath.string() << "\n";
        return kExitFiles;
    }
    std::string error;
    const std::string setup = tessaro_pack::BuildSetup(stub, files, error);
    if (setup.empty()) {
        std::cerr << "tessaro-pack: " << error << "\n";
        return kExitFiles;
    }
    std::ofstream out(output, std::ios::binary | std::ios::trunc);
    out.write(setup.data(), static_cast<std::streamsize>(setup.size()));
    if (!out.flush()) {
        std::cerr << "tessaro-pack: cannot write " << output.string() << "\n";
        return kExitFiles;
    }
    std::cout << "wrote " << output.string() << ": " << setup.size() << " bytes (" << stub.size()
              << " of them the installer)\n";
    return 0;
}
