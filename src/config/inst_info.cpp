#include "config/inst_info.h"

#include "app/texts.h"
#include "config/config_text.h"
#include "config/inst_info_line.h"

namespace tessaro {
namespace {

class InstInfoReader {
  public:
    explicit InstInfoReader(InstallerState& state) : state_(state) {}

    void HandleLine(std::string_view line) {
        ConfigLine parsed = ParseConfigLine(line);
        switch (parsed.key) {
            case ConfigKey::SetupTitle:
                state_.SetupTitle = std::move(parsed.value);
                LogLine(state_, text::kLogGotTitle);
                break;
            case ConfigKey::FlagsPicture:
                state_.FlagsPicture = std::move(parsed.value);
                LogLine(state_, text::kLogGotPicture);
                break;
            case ConfigKey::FileItem:
                HandleFileItem(parsed.value);
                break;
            case ConfigKey::HomePage:
                HandleAddress(parsed.value, IsWebPageAddress, state_.homePage);
                break;
            case ConfigKey::WebSite1:
                HandleAddress(parsed.value, IsLabelAddress, state_.webSite1);
                break;
            case ConfigKey::WebSite2:
                HandleAddress(parsed.value, IsLabelAddress, state_.webSite2);
                break;
            case ConfigKey::None:
                break;
        }
    }

  private:
    // An address that is not what its key takes is passed over, and the default stays.
    void HandleAddress(std::string& value, bool (*isValid)(std::string_view), std::string& setting) {
        LogLine(state_, text::kLogGotWebAddress);
        if (!isValid(value)) {
            LogLine(state_, std::string(text::kLogIgnoredWebAddress).append(value));
            return;
        }
        setting = std::move(value);
    }

    // The table always has room for one task more than were accepted: a short line leaves an empty slot that
    // the next accepted line fills, or that stays as an empty last task.
    void HandleFileItem(std::string_view value) {
        LogLine(state_, text::kLogGotFileItem);
        state_.FileItems.ResizeTasks(accepted_ + 1);
        const std::vector<std::string> fields = SplitTaskFields(value);
        if (fields.size() < kMinTaskFields) {
            return;
        }
        LogLine(state_, text::kLogFileItemAccepted);
        TaskFields stored = StoredTaskFields(fields);
        for (int field = 0; field < FileItemsTable::kFieldCount; ++field) {
            state_.FileItems.SetField(field, accepted_, std::move(stored[static_cast<std::size_t>(field)]));
        }
        ++accepted_;
    }

    InstallerState& state_;
    std::size_t accepted_ = 0;
};

bool ReportReadFailure(InstallerState& state, Platform& platform, ReadStatus status) {
    LogLine(state, text::kLogConfigFailed);
    if (status == ReadStatus::NotFound) {
        LogDialogLine(state, text::kMsgConfigMissing);
        platform.dialogs.ShowMessage(text::kMsgConfigMissing, text::kAppTitle, MessageKind::Error);
    }
    return false;
}

}  // namespace

bool ReadInstInfo(InstallerState& state, Platform& platform) {
    LogLine(state, text::kLogReadingConfig);
    LogLine(state, text::kLogGettingConfigPath);
    std::string path = state.AppPath;
    path += kConfigFileName;
    LogLine(state, text::kLogOpeningConfig);
    const FileBytes file = platform.textFiles.ReadAll(path);
    if (file.status != ReadStatus::Ok) {
        return ReportReadFailure(state, platform, file.status);
    }

    const std::string content =
        DecodeConfigBytes(file.bytes, [&](std::string_view ansi) { return platform.textFiles.AnsiToUtf8(ansi); });
    InstInfoReader reader(state);
    for (const std::string_view line : SplitLines(content)) {
        reader.HandleLine(line);
    }
    LogLine(state, text::kLogClosingConfig);

    if (state.FlagsPicture.empty()) {
        state.FlagsPicture = std::string(kDefaultPicture);
        LogLine(state, text::kLogDefaultPicture);
    }
    if (state.SetupTitle.empty()) {
        state.SetupTitle = std::string(text::kAppTitle);
        LogLine(state, text::kLogDefaultTitle);
    }
    return ArrayHasElements(state.FileItems);
}

}  // namespace tessaro
