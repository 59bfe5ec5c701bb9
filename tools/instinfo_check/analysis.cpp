#include "instinfo_check/analysis.h"

#include <algorithm>
#include <array>
#include <map>
#include <span>

#include "app/texts.h"
#include "config/file_format.h"
#include "config/inst_info_line.h"
#include "config/utf8.h"
#include "instinfo_check/files.h"
#include "instinfo_check/program_kind.h"
#include "instinfo_check/texts.h"
#include "platform/picture_check.h"
#include "platform/windows_paths.h"

namespace instinfo_check {
namespace {

constexpr std::string_view kReplacementChar = "\xEF\xBF\xBD";
constexpr std::string_view kFullWidthEquals = "\xEF\xBC\x9D";
constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";
using tessaro::CorelFolder;
using tessaro::FindFolder;
using tessaro::FolderWord;
using tessaro::kImportWorkspaceTarget;
using tessaro::kRequiredFlag;

TextRef FolderDescription(CorelFolder folder) {
    switch (folder) {
        case CorelFolder::UserData:
            return &Texts::folderUserData;
        case CorelFolder::Gms:
            return &Texts::folderGms;
        case CorelFolder::UserGms:
            return &Texts::folderUserGms;
        case CorelFolder::Application:
            break;
    }
    return &Texts::folderApplication;
}

bool IsKeyWord(std::string_view lowerWord) {
    return tessaro::FindKey(lowerWord) != tessaro::ConfigKey::None;
}
// Ways of writing "required" that people use and the installer does not take.
constexpr std::array<std::string_view, 11> kRequiredLookalikes = {"1",  "01", "001",  "true",     "yes",         "y",
                                                                  "on", "是", "必需", "required", "\xEF\xBC\x91"};

template <std::size_t N>
bool OneOf(std::string_view value, const std::array<std::string_view, N>& choices) {
    return std::find(choices.begin(), choices.end(), value) != choices.end();
}

// Blanks in the wide sense: what a person sees as empty space (space, tab, the ideographic space).
std::string TrimWide(std::string_view text) {
    for (;;) {
        if (text.starts_with(' ') || text.starts_with('\t')) {
            text.remove_prefix(1);
        } else if (text.starts_with(kIdeographicSpace)) {
            text.remove_prefix(kIdeographicSpace.size());
        } else if (text.ends_with(' ') || text.ends_with('\t')) {
            text.remove_suffix(1);
        } else if (text.ends_with(kIdeographicSpace)) {
            text.remove_suffix(kIdeographicSpace.size());
        } else {
            return std::string(text);
        }
    }
}

// The key without its tabs, and with `spacesToo` without any kind of blank at all.
std::string RemoveBlanks(std::string_view text, bool spacesToo) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\t' || (spacesToo && text[i] == ' ')) {
            continue;
        }
        if (spacesToo && text.substr(i).starts_with(kIdeographicSpace)) {
            i += kIdeographicSpace.size() - 1;
            continue;
        }
        out += text[i];
    }
    return out;
}

std::string TrimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

bool HasOuterBlanks(std::string_view text) {
    return !text.empty() && TrimWide(text).size() != text.size();
}

std::size_t EditDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::string JoinFields(const std::vector<std::string>& fields, std::size_t from) {
    std::string joined;
    for (std::size_t i = from; i < fields.size(); ++i) {
        joined += (i == from ? "" : "|") + fields[i];
    }
    return joined;
}

class Analyser {
  public:
    Analyser(Report& report, int codePage, bool unattended)
        : report_(report), reading_(report.reading), codePage_(std::to_string(codePage)), unattended_(unattended) {}

    void Run() {
        CheckName();
        switch (reading_.outcome) {
            case ReadOutcome::Missing:
                Refuse("config-missing", {&Texts::refusedMissing,
                                          {reading_.messages.empty() ? std::string() : reading_.messages.front()}});
                return;
            case ReadOutcome::Unreadable:
                Refuse("config-unreadable", {&Texts::refusedUnreadable, {}});
                return;
            case ReadOutcome::NoTasks:
                Refuse("no-tasks", {&Texts::refusedNoTasks, {}});
                break;
            case ReadOutcome::Ok:
                break;
        }
        CheckEncoding();
        for (std::size_t i = 0; i < reading_.lines.size(); ++i) {
            CheckLine(static_cast<int>(i) + 1, reading_.lines[i]);
        }
        CheckWindow();
        for (std::size_t task = 0; task < reading_.tasks.size(); ++task) {
            AddTask(task);
        }
        const auto byLine = [](const Finding& a, const Finding& b) { return a.line < b.line; };
        std::stable_sort(report_.warnings.begin(), report_.warnings.end(), byLine);
        std::stable_sort(report_.notes.begin(), report_.notes.end(), byLine);
    }

  private:
    void Warn(int line, std::string_view code, Phrase message) {
        report_.warnings.push_back({line, code, std::move(message)});
    }
    void Note(int line, std::string_view code, Phrase message) {
        report_.notes.push_back({line, code, std::move(message)});
    }
    void Refuse(std::string_view code, Phrase message) { report_.refusal = Finding{0, code, std::move(message)}; }

    void CheckName() {
        const std::string name = Utf8FromPath(PathFromUtf8(reading_.iniPath).filename());
        if (tessaro::utf8::LowerCase(name) != "instinfo.ini") {
            Note(0, "other-file-name", {&Texts::noteFileName, {name}});
        }
    }

    void CheckEncoding() {
        if (reading_.encoding != Encoding::Ansi) {
            return;
        }
        const std::string& bytes = reading_.bytes;
        const bool hasHighBytes =
            std::any_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
        if (bytes.size() >= 2 && std::count(bytes.begin(), bytes.end(), '\0') * 4 >= static_cast<long>(bytes.size())) {
            Warn(0, "utf16-without-bom", {&Texts::warnUtf16NoBom, {codePage_}});
            utf8Mismatch_ = true;
        } else if (hasHighBytes && tessaro::utf8::Sanitize(bytes) == bytes && codePage_ != "65001") {
            Warn(0, "utf8-without-bom", {&Texts::warnUtf8NoBom, {codePage_}});
            utf8Mismatch_ = true;
        }
    }

    void CheckLine(int line, std::string_view text) {
        if (!utf8Mismatch_ && text.find(kReplacementChar) != std::string_view::npos) {
            Warn(line, "undecodable", {&Texts::warnUndecodable, {}});
        }
        const auto equals = text.find('=');
        if (equals == std::string_view::npos) {
            CheckLineWithoutEquals(line, text);
            return;
        }
        const tessaro::ConfigLine parsed = tessaro::ParseConfigLine(text);
        if (parsed.key == tessaro::ConfigKey::None) {
            CheckUnknownKey(line, text.substr(0, equals));
            return;
        }
        const std::string_view value = text.substr(equals + 1);
        if (const auto second = value.find('='); second != std::string_view::npos) {
            Warn(line, "second-equals", {&Texts::warnSecondEquals, {Visible(value.substr(second)), parsed.value}});
        }
        switch (parsed.key) {
            case tessaro::ConfigKey::SetupTitle:
                Setting(line, "setuptitle", parsed.value, report_.titleLine, lastTitle_);
                break;
            case tessaro::ConfigKey::FlagsPicture:
                Setting(line, "flagspicture", parsed.value, report_.pictureLine, lastPicture_);
                break;
            case tessaro::ConfigKey::FileItem:
                CheckTaskLine(line, tessaro::SplitTaskFields(parsed.value));
                break;
            case tessaro::ConfigKey::HomePage:
                CheckAddress(line, "homepage", parsed.value, tessaro::IsWebPageAddress(parsed.value), lastHomePage_);
                break;
            case tessaro::ConfigKey::WebSite1:
                CheckAddress(line, "website1", parsed.value, tessaro::IsLabelAddress(parsed.value), lastWebSite1_);
                break;
            case tessaro::ConfigKey::WebSite2:
                CheckAddress(line, "website2", parsed.value, tessaro::IsLabelAddress(parsed.value), lastWebSite2_);
                break;
            case tessaro::ConfigKey::None:
                break;
        }
    }

    void CheckLineWithoutEquals(int line, std::string_view text) {
        const std::string trimmed = TrimWide(text);
        if (trimmed.empty()) {
            return;  // an empty line is just layout
        }
        if (trimmed.starts_with(';') || trimmed.starts_with('#') || trimmed.starts_with('[') ||
            trimmed.starts_with("//")) {
            Note(line, "comment", {&Texts::noteComment, {}});
        } else if (trimmed.find(kFullWidthEquals) != std::string::npos) {
            Warn(line, "full-width-equals", {&Texts::warnFullWidthEquals, {}});
        } else {
            Warn(line, "no-equals", {&Texts::warnNoEquals, {}});
        }
    }

    void CheckUnknownKey(int line, std::string_view rawKey) {
        const std::string key = TrimSpaces(rawKey);
        if (TrimWide(key).empty()) {
            Warn(line, "empty-key", {&Texts::warnEmptyKey, {}});
            return;
        }
        const std::string wideTrimmed = TrimWide(key);
        if (wideTrimmed.starts_with(';') || wideTrimmed.starts_with('#') || wideTrimmed.starts_with("//")) {
            Note(line, "comment", {&Texts::noteCommentKey, {Visible(key)}});
            return;
        }
        const std::string withoutTabs = tessaro::utf8::LowerCase(TrimSpaces(RemoveBlanks(key, false)));
        if (key.find('\t') != std::string::npos && IsKeyWord(withoutTabs)) {
            Warn(line, "key-tab", {&Texts::warnKeyTab, {Visible(key), withoutTabs}});
            return;
        }
        const std::string withoutBlanks = tessaro::utf8::LowerCase(RemoveBlanks(key, true));
        if (IsKeyWord(withoutBlanks)) {
            Warn(line, "key-blanks", {&Texts::warnKeyBlanks, {Visible(key), withoutBlanks}});
            return;
        }
        for (const tessaro::KeyWord& known : tessaro::kKeyWords) {
            if (EditDistance(withoutBlanks, known.word) <= 2) {
                Warn(line, "key-misspelt", {&Texts::warnKeyMisspelt, {Visible(key), std::string(known.word)}});
                return;
            }
        }
        Warn(line, "unknown-key", {&Texts::warnUnknownKey, {Visible(key)}});
    }

    void Setting(int line, std::string_view key, const std::string& value, int& lastLine, std::string& lastValue) {
        if (lastLine != 0) {
            Warn(line, "repeated-key", {&Texts::warnRepeatedKey, {std::string(key), std::to_string(lastLine)}});
        }
        if (value.empty()) {
            Note(line, "empty-value", {&Texts::noteEmptyValue, {std::string(key)}});
        }
        lastLine = line;
        lastValue = value;
    }

    // A branding address the installer would not take keeps the default, and a later good line still counts.
    void CheckAddress(int line, std::string_view key, const std::string& value, bool valid, int& lastLine) {
        if (lastLine != 0) {
            Warn(line, "repeated-key", {&Texts::warnRepeatedKey, {std::string(key), std::to_string(lastLine)}});
        }
        lastLine = line;
        if (!valid) {
            Warn(line, "bad-address", {&Texts::warnBadAddress, {std::string(key), Visible(value)}});
        }
    }

    void CheckTaskLine(int line, const std::vector<std::string>& fields) {
        const std::string count = std::to_string(fields.size());
        if (fields.size() < tessaro::kMinTaskFields) {
            const bool leavesEmptyTask = !reading_.sources.empty() && reading_.sources.back().trailingEmpty &&
                                         reading_.sources.back().line == line;
            if (leavesEmptyTask) {
                Warn(line, "short-task-last",
                     {&Texts::warnShortTaskLast, {count, std::to_string(reading_.sources.size() - 1)}});
            } else {
                Warn(line, "short-task", {&Texts::warnShortTask, {count}});
            }
            return;
        }
        if (fields.size() == tessaro::kMinTaskFields) {
            Warn(line, "no-caption", {&Texts::warnNoCaption, {std::string(tessaro::text::kCaptionInstalling)}});
        }
        if (fields.size() > static_cast<std::size_t>(tessaro::FileItemsTable::kFieldCount)) {
            Warn(line, "extra-fields",
                 {&Texts::warnExtraFields, {Visible(JoinFields(fields, tessaro::FileItemsTable::kFieldCount))}});
        }
    }

    void CheckWindow() {
        report_.title = reading_.setupTitle;
        report_.titleDefault = lastTitle_.empty();
        report_.picture = reading_.flagsPicture;
        report_.pictureDefault = lastPicture_.empty();

        const int pictureLine = report_.pictureDefault ? 0 : report_.pictureLine;
        if (tessaro::ContainsNul(report_.picture)) {
            Warn(pictureLine, "nul-in-field", {&Texts::warnNulInPicture, {Visible(report_.picture)}});
            return;
        }
        const Lookup picture = FindBeside(PathFromUtf8(reading_.appPath), report_.picture);
        report_.pictureExists = picture.presence == Presence::File;
        const int line = pictureLine;
        if (!report_.pictureExists) {
            if (report_.pictureDefault) {
                Note(0, "picture-missing", {&Texts::notePictureMissingDefault, {report_.picture}});
            } else {
                Warn(line, "picture-missing", {&Texts::warnPictureMissing, {Visible(report_.picture)}});
            }
            return;
        }
        if (picture.caseDiffers) {
            Note(line, "case-differs", {&Texts::noteCaseDiffers, {Visible(report_.picture), picture.foundAs}});
        }
        // What the installer's own check makes of the file decides between the picture and the banner.
        const auto path = PathFromUtf8(reading_.appPath) / PathFromUtf8(picture.foundAs);
        const std::string bytes = ReadHead(path, tessaro::kMaxPictureFileBytes + 1);
        const tessaro::PictureCheck check =
            tessaro::CheckPicture(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
        switch (check.verdict) {
            case tessaro::PictureVerdict::Sound:
                break;
            case tessaro::PictureVerdict::Unknown:
                Warn(line, "picture-format", {&Texts::warnPictureFormat, {Visible(report_.picture)}});
                break;
            case tessaro::PictureVerdict::Damaged:
                Warn(line, "picture-damaged", {&Texts::warnPictureDamaged, {Visible(report_.picture)}});
                break;
            case tessaro::PictureVerdict::TooLarge:
                Warn(line, "picture-too-large",
                     {&Texts::warnPictureTooLarge,
                      {Visible(report_.picture), std::to_string(check.width), std::to_string(check.height),
                       std::to_string(tessaro::kMaxPictureSide), std::to_string(tessaro::kMaxPicturePixels),
                       std::to_string(tessaro::kMaxPictureFileBytes / (1024 * 1024))}});
                break;
        }
    }

    void AddTask(std::size_t index) {
        TaskRow row;
        row.index = index;
        row.fields = reading_.tasks[index];
        if (index < reading_.sources.size()) {
            row.source = reading_.sources[index];
        }
        row.required = row.fields[2] == kRequiredFlag;
        const std::string& kind = row.fields[0];
        if (NamesNoFile(row)) {
            row.action = TaskAction::CaptionOnly;
            row.description.push_back({&Texts::descNul, {}});
        } else if (row.source.trailingEmpty) {
            row.description.push_back({&Texts::descTrailing, {std::to_string(row.source.line)}});
        } else if (kind == "c") {
            CheckCopy(row);
        } else if (kind == "k") {
            CheckDelete(row);
        } else if (kind == "r") {
            CheckRun(row);
        } else if (kind == "m") {
            CheckToolbar(row);
        } else {
            CheckOtherKind(row);
        }
        WarnNul(row);
        report_.tasks.push_back(std::move(row));
    }

    // Windows reads a name only up to a NUL, so the installer takes a file name holding one for a file that is
    // not there: such a copy, delete or run does nothing else worth describing.
    static bool NamesNoFile(const TaskRow& row) {
        const std::string& kind = row.fields[0];
        return (kind == "c" || kind == "k" || kind == "r") && tessaro::ContainsNul(row.fields[1]);
    }

    // A NUL in any field is damage, never intent: said once per line.
    void WarnNul(const TaskRow& row) {
        for (std::size_t field = 0; field < row.fields.size(); ++field) {
            if (tessaro::ContainsNul(row.fields[field])) {
                const std::string number = std::to_string(field + 1);
                if (NamesNoFile(row)) {
                    const TextRef consequence = row.required ? &Texts::consequenceStops : &Texts::consequenceSkipped;
                    Warn(row.source.line, "nul-in-field",
                         {&Texts::warnNulInName, {number, Visible(row.fields[field]), consequence}});
                } else {
                    Warn(row.source.line, "nul-in-field",
                         {&Texts::warnNulInField, {number, Visible(row.fields[field])}});
                }
                return;
            }
        }
    }

    std::string Written(const TaskRow& row, std::size_t field) const {
        return field < row.source.written.size() ? row.source.written[field] : row.fields[field];
    }

    void CheckRequiredFlag(const TaskRow& row) {
        const std::string& flag = row.fields[2];
        if (flag != kRequiredFlag && OneOf(tessaro::utf8::LowerCase(TrimWide(flag)), kRequiredLookalikes)) {
            Warn(row.source.line, "required-flag", {&Texts::warnRequiredFlag, {Visible(flag)}});
        }
    }

    void CheckFileName(const TaskRow& row, TextRef emptyMessage) {
        const std::string& file = row.fields[1];
        if (file.empty()) {
            Warn(row.source.line, "empty-file", {emptyMessage, {}});
        } else if (HasOuterBlanks(file) && row.fields[0] != "r") {
            Warn(row.source.line, "file-blanks", {&Texts::warnFileBlanks, {Visible(file)}});
        }
    }

    // Whether a copy source or a program is beside InstInfo.ini, as the installer's existence test sees it.
    void CheckBeside(const TaskRow& row, TextRef missingMessage) {
        const std::string& file = row.fields[1];
        if (file.empty()) {
            return;
        }
        const Lookup found = FindBeside(PathFromUtf8(reading_.appPath), file);
        const TextRef consequence = row.required ? &Texts::consequenceStops : &Texts::consequenceSkipped;
        if (found.presence == Presence::Missing) {
            Warn(row.source.line, "file-missing", {missingMessage, {Visible(file), consequence}});
        } else if (found.presence == Presence::Folder) {
            Warn(row.source.line, "file-is-folder", {&Texts::warnFileIsFolder, {Visible(file)}});
        } else if (found.caseDiffers) {
            Note(row.source.line, "case-differs", {&Texts::noteCaseDiffers, {Visible(file), found.foundAs}});
        }
    }

    // A target token that is not one of `valid`: blanks around a good one, or something else entirely.
    void CheckTarget(const TaskRow& row, bool allowImport, TextRef unknownMessage) {
        const std::string& target = row.fields[3];
        const std::string trimmed = TrimWide(target);
        const TextRef consequence = row.required ? &Texts::consequenceStopsAnyway : &Texts::consequenceNothing;
        if (trimmed != target && (FindFolder(trimmed) || (allowImport && trimmed == kImportWorkspaceTarget))) {
            Warn(row.source.line, "target-blanks",
                 {&Texts::warnTargetBlanks, {Visible(Written(row, 3)), trimmed, consequence}});
            return;
        }
        Warn(row.source.line, "unknown-target", {unknownMessage, {Visible(Written(row, 3)), consequence}});
    }

    void CheckCopy(TaskRow& row) {
        const std::string& file = row.fields[1];
        const std::string& target = row.fields[3];
        CheckFileName(row, &Texts::warnEmptyFileCopy);
        CheckRequiredFlag(row);
        const FolderWord* folder = FindFolder(target);
        if (target == kImportWorkspaceTarget || (folder && folder->perUser)) {
            NoteProfile(row);
        }
        if (target == kImportWorkspaceTarget) {
            row.action = TaskAction::ImportWorkspace;
            row.description.push_back({&Texts::descImport, {Visible(file)}});
        } else if (folder) {
            row.action = TaskAction::Copy;
            row.description.push_back({&Texts::descCopy, {Visible(file), FolderDescription(folder->folder)}});
            if (file.find_first_of("\\/") != std::string::npos) {
                Warn(row.source.line, "copy-into-subfolder", {&Texts::warnCopySubfolder, {Visible(file)}});
            }
        } else {
            row.action = TaskAction::Copy;
            row.description.push_back({&Texts::descCopyNoTarget, {Visible(file), Visible(target)}});
            row.description.push_back({row.required ? &Texts::reqStopsAnyway : &Texts::reqNothingHappens, {}});
            CheckTarget(row, true, &Texts::warnUnknownTargetCopy);
            CheckBeside(row, &Texts::warnSourceMissing);
            return;
        }
        row.description.push_back({row.required ? &Texts::reqCopyYes : &Texts::reqCopyNo, {}});
        CheckBeside(row, &Texts::warnSourceMissing);
    }

    void CheckDelete(TaskRow& row) {
        const std::string& file = row.fields[1];
        row.action = TaskAction::Delete;
        CheckFileName(row, &Texts::warnEmptyFileDelete);
        CheckRequiredFlag(row);
        if (const FolderWord* folder = FindFolder(row.fields[3])) {
            if (folder->perUser) {
                NoteProfile(row);
            }
            row.description.push_back({&Texts::descDelete, {Visible(file), FolderDescription(folder->folder)}});
            row.description.push_back({row.required ? &Texts::reqDeleteYes : &Texts::reqDeleteNo, {}});
            if (row.required) {
                Warn(row.source.line, "required-delete", {&Texts::warnRequiredDelete, {Visible(file)}});
            }
            CheckDeletedName(row);
        } else {
            row.description.push_back({&Texts::descDeleteNoTarget, {Visible(file), Visible(row.fields[3])}});
            row.description.push_back({row.required ? &Texts::reqStopsAnyway : &Texts::reqNothingHappens, {}});
            CheckTarget(row, false, &Texts::warnUnknownTargetDelete);
        }
    }

    // The installer joins the name to the folder as it stands: ".." or a drive reaches outside the folder, and
    // a device is no file to delete.
    void CheckDeletedName(const TaskRow& row) {
        const std::string& file = row.fields[1];
        if (file.empty()) {
            return;
        }
        if (tessaro::NamesDevice(file)) {
            const TextRef consequence = row.required ? &Texts::consequenceStops : &Texts::consequenceSkipped;
            Warn(row.source.line, "delete-device", {&Texts::warnDeleteDevice, {Visible(file), consequence}});
            return;
        }
        const bool rooted = file.front() == '\\' || file.front() == '/' || file.find(':') != std::string::npos;
        bool climbs = false;
        std::size_t start = 0;
        while (start <= file.size()) {
            const std::size_t end = std::min(file.find_first_of("\\/", start), file.size());
            climbs = climbs || TrimWide(file.substr(start, end - start)) == "..";
            start = end + 1;
        }
        if (rooted || climbs) {
            Warn(row.source.line, "delete-outside-folder", {&Texts::warnDeleteOutside, {Visible(file)}});
        }
    }

    void CheckRun(TaskRow& row) {
        const std::string& program = row.fields[1];
        const std::string& arguments = row.fields[3];
        row.action = TaskAction::Run;
        if (arguments.empty()) {
            row.description.push_back({&Texts::descRunNoArguments, {Visible(program)}});
        } else {
            row.description.push_back({&Texts::descRun, {Visible(program), Visible(arguments)}});
        }
        row.description.push_back({row.required ? &Texts::reqRunYes : &Texts::reqRunNo, {}});
        CheckFileName(row, &Texts::warnEmptyFileRun);
        CheckRequiredFlag(row);
        if (program.find_first_of(" \t\"") != std::string::npos || HasOuterBlanks(program)) {
            Warn(row.source.line, "program-blanks", {&Texts::warnProgramBlanks, {Visible(program)}});
        }
        CheckBeside(row, &Texts::warnProgramMissing);
        CheckProgramUnattended(row);
        const std::string written = Written(row, 3);
        if (written != arguments) {
            Warn(row.source.line, "arguments-lower-cased",
                 {&Texts::warnArgumentsLowerCased, {Visible(written), Visible(arguments)}});
        }
    }

    // Unattended runs (/S): Tessaro starts the program and does not wait for it, so only a program that itself
    // waits for clicks leaves a deployment unfinished; an installer is the one kind the file gives away.
    void CheckProgramUnattended(const TaskRow& row) {
        const std::string& program = row.fields[1];
        const Lookup found = FindBeside(PathFromUtf8(reading_.appPath), program);
        if (!unattended_ || program.empty() || found.presence != Presence::File) {
            return;
        }
        const std::string bytes =
            ReadHead(PathFromUtf8(reading_.appPath) / PathFromUtf8(found.foundAs), kMaxConfigSize);
        const ProgramKind kind = InspectProgram(program, bytes);
        if (kind.installer == InstallerFamily::Nsis) {
            Warn(row.source.line, "unattended-installer", {&Texts::warnUnattendedNsis, {Visible(program)}});
        } else if (kind.installer != InstallerFamily::None && !HasSilentSwitch(kind.installer, row.fields[3])) {
            Warn(row.source.line, "unattended-installer",
                 {&Texts::warnUnattendedInstaller, {Visible(program), std::string(FamilyName(kind.installer))}});
        } else if (kind.installer == InstallerFamily::None && kind.subsystem == Subsystem::Windowed) {
            Note(row.source.line, "unattended-window", {&Texts::noteUnattendedWindow, {Visible(program)}});
        }
    }

    static std::string_view FamilyName(InstallerFamily installer) {
        switch (installer) {
            case InstallerFamily::InnoSetup:
                return "Inno Setup (/VERYSILENT)";
            case InstallerFamily::InstallShield:
                return "InstallShield (/s)";
            case InstallerFamily::WindowsInstaller:
                return "Windows Installer (/qn)";
            case InstallerFamily::Nsis:
            case InstallerFamily::None:
                break;
        }
        return "";
    }

    // What lands in a user's profile, or in a user's CorelDRAW workspace, lands in the profile of whoever runs
    // the installer: under a deployment tool that is often SYSTEM, not the person who uses CorelDRAW.
    void NoteProfile(const TaskRow& row) {
        if (unattended_) {
            Note(row.source.line, "unattended-profile", {&Texts::noteUnattendedProfile, {}});
        }
    }

    void CheckToolbar(TaskRow& row) {
        row.action = TaskAction::RemoveToolbar;
        row.description.push_back({&Texts::descToolbar, {Visible(row.fields[1])}});
        CheckFileName(row, &Texts::warnEmptyToolbar);
    }

    void CheckOtherKind(TaskRow& row) {
        const std::string& kind = row.fields[0];
        row.action = TaskAction::CaptionOnly;
        row.description.push_back({&Texts::descCaptionOnly, {Visible(kind)}});
        const std::string trimmed = TrimWide(kind);
        if (trimmed != kind && tessaro::FindKind(trimmed) != tessaro::TaskKind::None) {
            Warn(row.source.line, "kind-blanks", {&Texts::warnKindBlanks, {Visible(Written(row, 0)), trimmed}});
        } else {
            Warn(row.source.line, "unknown-kind", {&Texts::warnUnknownKind, {Visible(Written(row, 0))}});
        }
    }

    Report& report_;
    const ConfigReading& reading_;
    std::string codePage_;
    bool unattended_ = false;
    bool utf8Mismatch_ = false;
    std::string lastTitle_;
    std::string lastPicture_;
    int lastHomePage_ = 0;
    int lastWebSite1_ = 0;
    int lastWebSite2_ = 0;
};

}  // namespace

Verdict Report::verdict() const {
    if (refusal) {
        return Verdict::Refused;
    }
    return warnings.empty() ? Verdict::Clean : Verdict::Warnings;
}

Report Analyse(ConfigReading reading, int codePage, bool unattended) {
    Report report;
    report.reading = std::move(reading);
    Analyser(report, codePage, unattended).Run();
    return report;
}

std::string_view ActionCode(TaskAction action) {
    switch (action) {
        case TaskAction::Copy:
            return "copy";
        case TaskAction::ImportWorkspace:
            return "import-workspace";
        case TaskAction::Delete:
            return "delete";
        case TaskAction::Run:
            return "run";
        case TaskAction::RemoveToolbar:
            return "remove-toolbar";
        case TaskAction::CaptionOnly:
            break;
    }
    return "caption-only";
}

}  // namespace instinfo_check
