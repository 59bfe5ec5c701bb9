#include "instinfo_check/program_kind.h"

#include <cstdint>

#include "config/utf8.h"

namespace instinfo_check {
namespace {

std::uint32_t Read32(std::string_view bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 4; i-- > 0;) {
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    }
    return value;
}

// The subsystem field of a PE file's optional header: 2 is a windowed program, 3 a console one.
Subsystem SubsystemOf(std::string_view bytes) {
    constexpr std::size_t kPeOffsetAt = 0x3C;
    constexpr std::size_t kSubsystemInOptionalHeader = 68;
    constexpr std::size_t kOptionalHeaderAt = 24;
    if (bytes.size() < kPeOffsetAt + 4 || !bytes.starts_with("MZ")) {
        return Subsystem::Unknown;
    }
    const std::uint32_t pe = Read32(bytes, kPeOffsetAt);
    const std::uint64_t field = std::uint64_t{pe} + kOptionalHeaderAt + kSubsystemInOptionalHeader;
    if (field + 2 > bytes.size() || bytes.substr(pe, 4) != std::string_view("PE\0\0", 4)) {
        return Subsystem::Unknown;
    }
    switch (static_cast<unsigned char>(bytes[field])) {
        case 2:
            return Subsystem::Windowed;
        case 3:
            return Subsystem::Console;
        default:
            return Subsystem::Unknown;
    }
}

bool HasWord(std::string_view arguments, std::string_view word) {
    std::size_t at = arguments.find(word);
    while (at != std::string_view::npos) {
        const std::size_t end = at + word.size();
        const bool starts = at == 0 || arguments[at - 1] == ' ';
        const bool ends = end == arguments.size() || arguments[end] == ' ' || arguments[end] == '=';
        if (starts && ends) {
            return true;
        }
        at = arguments.find(word, at + 1);
    }
    return false;
}

}  // namespace

ProgramKind InspectProgram(std::string_view name, std::string_view bytes) {
    ProgramKind kind;
    if (tessaro::utf8::LowerCase(name).ends_with(".msi")) {
        kind.installer = InstallerFamily::WindowsInstaller;
        return kind;
    }
    kind.subsystem = SubsystemOf(bytes);
    if (kind.subsystem == Subsystem::Unknown) {
        return kind;
    }
    // Each family names itself in its stub's resources or data.
    if (bytes.find("NullsoftInst") != std::string_view::npos || bytes.find("Nullsoft.NSIS") != std::string_view::npos) {
        kind.installer = InstallerFamily::Nsis;
    } else if (bytes.find("Inno Setup") != std::string_view::npos) {
        kind.installer = InstallerFamily::InnoSetup;
    } else if (bytes.find("InstallShield") != std::string_view::npos) {
        kind.installer = InstallerFamily::InstallShield;
    }
    return kind;
}

bool HasSilentSwitch(InstallerFamily installer, std::string_view arguments) {
    switch (installer) {
        case InstallerFamily::None:
            return true;
        case InstallerFamily::Nsis:
            return false;
        case InstallerFamily::InnoSetup:
            return HasWord(arguments, "/verysilent") || HasWord(arguments, "/silent");
        case InstallerFamily::InstallShield:
            return HasWord(arguments, "/s");
        case InstallerFamily::WindowsInstaller:
            return HasWord(arguments, "/qn") || HasWord(arguments, "/quiet") || HasWord(arguments, "/passive");
    }
    return false;
}

}  // namespace instinfo_check
