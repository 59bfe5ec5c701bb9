#include "fake_platform.h"

#include <gtest/gtest.h>

#include "config/utf8.h"
#include "platform/virtual_store_path.h"
#include "platform/windows_paths.h"

namespace tessaro::testing {
namespace {

class FakeLogWriter final : public LineWriter {
  public:
    explicit FakeLogWriter(std::string& content) : content_(content) {}
    void WriteLine(std::string_view utf8Line) override { content_.append(utf8Line).append("\r\n"); }

  private:
    std::string& content_;
};

enum class FakeObjectKind { Application, GMSManager, CommandBars, CommandBar };

class FakeCorelObject final : public AutomationObject, public std::enable_shared_from_this<FakeCorelObject> {
  public:
    FakeCorelObject(FakePlatform& host, FakeObjectKind kind, std::string prefix, std::string barName = {})
        : host_(host), kind_(kind), prefix_(std::move(prefix)), barName_(std::move(barName)) {}

    Result<AutomationValue> Get(std::string_view member, std::span<const AutomationValue> args) override {
        FakeCorelServer& corel = host_.corel;
        if (kind_ == FakeObjectKind::CommandBars && member.empty() && args.size() == 1) {
            const std::string name = std::get<std::string>(args[0]);
            const std::string entry = "CommandBars(" + name + ")";
            if (auto failure = Begin(entry)) {
                return *failure;
            }
            for (const std::string& bar : corel.commandBars) {
                if (bar == name) {
                    return AutomationValue(Make(FakeObjectKind::CommandBar, "", name));
                }
            }
            corel.journal.back() += " not found";
            return RunFailure{-2147024809, "参数不正确。"};
        }
        const std::string entry = prefix_ + std::string(member);
        if (auto failure = Begin(entry)) {
            return *failure;
        }
        if (kind_ == FakeObjectKind::Application) {
            if (member == "UserDataPath")
                return AutomationValue(corel.userDataPath);
            if (member == "Path")
                return AutomationValue(corel.applicationPath);
            if (member == "GMSManager")
                return AutomationValue(Make(FakeObjectKind::GMSManager, "GMSManager."));
            if (member == "Application")
                return AutomationValue(Make(FakeObjectKind::Application, "Application."));
            if (member == "CommandBars")
                return AutomationValue(Make(FakeObjectKind::CommandBars, "CommandBars."));
        }
        if (kind_ == FakeObjectKind::GMSManager) {
            if (member == "GMSPath")
                return AutomationValue(corel.gmsPath);
            if (member == "UserGMSPath")
                return AutomationValue(corel.userGmsPath);
        }
        return RunFailure{-2147352570, "未知名称。"};
    }

    Status Put(std::string_view member, const AutomationValue& value) override {
        const bool visible = std::get<bool>(value);
        if (auto failure = Begin(prefix_ + std::string(member) + (visible ? "=True" : "=False"))) {
            return *failure;
        }
        host_.corel.visible = visible;
        return {};
    }

    Result<AutomationValue> Call(std::string_view member, std::span<const AutomationValue> args) override {
        if (kind_ == FakeObjectKind::CommandBar && member == "Delete") {
            if (auto failure = Begin("CommandBars(" + barName_ + ").Delete")) {
                return *failure;
            }
            std::erase(host_.corel.commandBars, barName_);
            return AutomationValue();
        }
        std::string entry = prefix_ + std::string(member);
        if (!args.empty()) {
            entry += " " + std::get<std::string>(args[0]);
        }
        if (auto failure = Begin(entry)) {
            return *failure;
        }
        return AutomationValue();
    }

  private:
    // Journals the call, then fails it when the test asked for that (by the exact journal entry or by the member
    // name before any argument) or when the platform-wide fault injection picks it.
    std::optional<RunFailure> Begin(const std::string& entry) {
        FakeCorelServer& corel = host_.corel;
        corel.journal.push_back(entry);
        host_.events.push_back("corel:" + entry);
        if (auto injected = host_.Intercept()) {
            return injected;
        }
        const std::string member = entry.substr(0, entry.find(' '));
        for (const std::string& key : {entry, member}) {
            if (auto it = corel.failures.find(key); it != corel.failures.end()) {
                return it->second;
            }
        }
        return std::nullopt;
    }

    AutomationRef Make(FakeObjectKind kind, std::string prefix, std::string barName = {}) {
        return std::make_shared<FakeCorelObject>(host_, kind, std::move(prefix), std::move(barName));
    }

    FakePlatform& host_;
    FakeObjectKind kind_;
    std::string prefix_;
    std::string barName_;
};

}  // namespace

FakePlatform::FakePlatform() : platform_{*this, *this, *this, *this, *this, *this, *this, *this} {}

// Like the Win32 calls, the fake stops reading a name at its first NUL.
std::string FakePlatform::Key(const std::string& path) {
    return utf8::LowerCase(path.substr(0, path.find('\0')));
}

std::string FakePlatform::ParentOf(const std::string& path) {
    const auto slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

void FakePlatform::AddFile(const std::string& path, std::string content, bool readOnly) {
    entries_[Key(path)] = Entry{false, readOnly, std::move(content)};
}

void FakePlatform::AddFolder(const std::string& path) {
    entries_[Key(path)] = Entry{true, false, {}};
}

bool FakePlatform::Exists(const std::string& path) const {
    std::string key = Key(path);
    // A folder may be named with a trailing backslash, as Windows allows.
    if (key.size() > 1 && key.back() == '\\') {
        key.pop_back();
    }
    return entries_.contains(key);
}

bool FakePlatform::IsReadOnly(const std::string& path) const {
    const auto it = entries_.find(Key(path));
    return it != entries_.end() && it->second.readOnly;
}

std::string FakePlatform::Content(const std::string& path) const {
    const auto it = entries_.find(Key(path));
    return it == entries_.end() ? std::string() : it->second.content;
}

std::vector<std::string> FakePlatform::LogMessages(const std::string& path) const {
    std::vector<std::string> messages;
    const std::string content = Content(path);
    const std::string stamp = std::string(kTimestamp) + " ";
    std::size_t start = 0;
    while (start < content.size()) {
        const auto end = content.find("\r\n", start);
        EXPECT_NE(end, std::string::npos) << "log line without CR LF";
        const std::string line = content.substr(start, end - start);
        EXPECT_TRUE(line.starts_with(stamp)) << "log line without time stamp: " << line;
        messages.push_back(line.substr(std::min(stamp.size(), line.size())));
        start = end == std::string::npos ? content.size() : end + 2;
    }
    return messages;
}

std::optional<RunFailure> FakePlatform::Intercept() {
    ++callCount;
    if (callCount == failCall) {
        return injectedFailure;
    }
    return std::nullopt;
}

FileBytes FakePlatform::ReadAll(const std::string& path) {
    if (auto it = readFailures.find(path); it != readFailures.end()) {
        return {it->second, {}};
    }
    const auto it = entries_.find(Key(path));
    if (it == entries_.end()) {
        return {ReadStatus::NotFound, {}};
    }
    if (it->second.folder) {
        return {ReadStatus::Failed, {}};
    }
    return {ReadStatus::Ok, it->second.content};
}

std::string FakePlatform::AnsiToUtf8(std::string_view ansiText) {
    return ansiDecoder ? ansiDecoder(ansiText) : std::string(ansiText);
}

std::unique_ptr<LineWriter> FakePlatform::OpenForAppend(const std::string& path) {
    const bool inDriveRoot = Key(ParentOf(path)) == Key("C:");
    if (logCannotOpen || (driveRootRefusesFiles && inDriveRoot)) {
        return nullptr;
    }
    Entry& entry = entries_[Key(path)];
    return std::make_unique<FakeLogWriter>(entry.content);
}

DialogReply FakePlatform::ShowMessage(std::string_view text, std::string_view title, MessageKind kind) {
    boxes.push_back({std::string(text), std::string(title), kind});
    events.push_back("box:" + std::string(text));
    return kind == MessageKind::Confirmation ? confirmationReply : DialogReply::Ok;
}

void FakePlatform::Pause(uint32_t milliseconds) {
    events.push_back("pause:" + std::to_string(milliseconds));
}

void FakePlatform::EndProgram(int exitStatus) {
    events.push_back("end:" + std::to_string(exitStatus));
    throw ProgramEnded{exitStatus};
}

Result<bool> FakePlatform::PathExists(const std::string& path) {
    if (auto failure = Intercept()) {
        return *failure;
    }
    return Exists(path);
}

Result<bool> FakePlatform::CopyReplacing(const std::string& source, const std::string& target) {
    if (auto failure = Intercept()) {
        return *failure;
    }
    events.push_back("copy:" + source + ">" + target);
    const auto from = entries_.find(Key(source));
    const auto to = entries_.find(Key(target));
    const bool targetFolderExists = entries_.contains(Key(ParentOf(target)));
    if (copyRefused || lockedFiles.contains(target) || from == entries_.end() || from->second.folder ||
        !targetFolderExists || (to != entries_.end() && (to->second.readOnly || to->second.folder))) {
        return false;
    }
    entries_[Key(target)] = Entry{false, false, from->second.content};
    return true;
}

Result<bool> FakePlatform::RemoveFile(const std::string& path) {
    if (auto failure = Intercept()) {
        return *failure;
    }
    events.push_back("delete:" + path);
    const auto it = entries_.find(Key(path));
    // The read-only mark is cleared for the deletion; a locked file keeps it, as it was put back.
    if (it == entries_.end() || it->second.folder || lockedFiles.contains(path)) {
        return false;
    }
    entries_.erase(it);
    return true;
}

std::optional<std::string> FakePlatform::VirtualStoreCopyOf(const std::string& path) {
    std::optional<std::string> copy = VirtualStorePath(path, virtualizedFolders, localAppData);
    if (!copy || !Exists(*copy) || entries_.at(Key(*copy)).folder) {
        return std::nullopt;
    }
    return copy;
}

Result<bool> FakePlatform::IsRegularFile(const std::string& path) {
    if (auto failure = Intercept()) {
        return *failure;
    }
    const auto it = entries_.find(Key(path));
    return it != entries_.end() && !it->second.folder && !NamesDevice(path);
}

Status FakePlatform::StartProgram(const std::string& programPath, const std::string& arguments) {
    if (auto failure = Intercept()) {
        return *failure;
    }
    events.push_back("start:" + programPath + arguments);
    if (startRefusal) {
        return *startRefusal;
    }
    return {};
}

Result<std::vector<ProcessEntry>> FakePlatform::Snapshot() {
    if (auto failure = Intercept()) {
        return *failure;
    }
    return processes;
}

void FakePlatform::Terminate(uint32_t processId) {
    events.push_back("terminate:" + std::to_string(processId));
    terminated.push_back(processId);
}

Result<AutomationRef> FakePlatform::CreateObject(std::string_view progId) {
    events.push_back("create:" + std::string(progId));
    if (auto failure = Intercept()) {
        return *failure;
    }
    if (!corelRegistered || progId != "CorelDRAW.Application.13") {
        return RunFailure{429, "ActiveX 部件不能创建对象"};
    }
    if (corelWithoutDispatch) {
        return RunFailure{430, "类不支持自动化或不支持期望的接口"};
    }
    return AutomationRef(std::make_shared<FakeCorelObject>(*this, FakeObjectKind::Application, ""));
}

void FakePlatform::SetEnabled(bool enabled) {
    buttonEnabled = enabled;
    events.push_back(std::string("enabled:") + (enabled ? "1" : "0"));
}

void FakePlatform::SetCaption(std::string_view caption) {
    buttonCaption = caption;
    events.push_back("caption:" + std::string(caption));
}

}  // namespace tessaro::testing
