#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "app/texts.h"

// The words of InstInfo.ini, once: the installer, instinfo-check and tessaro-pack all read them from here, so a
// new key or target is added in one place.
namespace tessaro {

enum class ConfigKey { None, SetupTitle, FlagsPicture, FileItem, HomePage, WebSite1, WebSite2 };

struct KeyWord {
    std::string_view word;  // as compared: lower case
    ConfigKey key;
};

inline constexpr KeyWord kKeyWords[] = {
    {"setuptitle", ConfigKey::SetupTitle},
    {"flagspicture", ConfigKey::FlagsPicture},
    {"fileitem", ConfigKey::FileItem},
    // The maker's branding: the page the cover picture opens (its tool tip shows it) and the two addresses of
    // the label under the picture.
    {"homepage", ConfigKey::HomePage},
    {"website1", ConfigKey::WebSite1},
    {"website2", ConfigKey::WebSite2},
};

// The key a lower-cased word names; ConfigKey::None for any other word.
ConfigKey FindKey(std::string_view lowerWord);

// A task's kind (field 0, compared lower-cased).
enum class TaskKind { None, Copy, Delete, Run, RemoveToolbar };

struct KindWord {
    std::string_view word;
    TaskKind kind;
};

inline constexpr KindWord kKindWords[] = {
    {"c", TaskKind::Copy},
    {"k", TaskKind::Delete},
    {"r", TaskKind::Run},
    {"m", TaskKind::RemoveToolbar},
};

TaskKind FindKind(std::string_view lowerWord);

// The CorelDRAW X3 folders a copy or a delete can target (field 3, compared lower-cased).
enum class CorelFolder { UserData, Gms, UserGms, Application };

struct FolderWord {
    std::string_view word;
    CorelFolder folder;
    bool perUser;  // inside the profile of the account that runs the installer
};

inline constexpr FolderWord kFolderWords[] = {
    {"userdatapath", CorelFolder::UserData, true},
    {"gmspath", CorelFolder::Gms, false},
    {"usergmspath", CorelFolder::UserGms, true},
    {"applicationpath", CorelFolder::Application, false},
};

const FolderWord* FindFolder(std::string_view lowerWord);

// A copy task with this target imports its file into CorelDRAW as a workspace instead.
inline constexpr text::Text kImportWorkspaceTarget = "importworkspace";
// Field 2: exactly this text makes a task required; anything else leaves it optional.
inline constexpr text::Text kRequiredFlag = "1";

// Only a plain http:// or https:// address is ever opened: a click on the picture must never start a program
// or open a local file. At most this long, with no blank or control character in it.
inline constexpr std::size_t kMaxWebAddressLength = 2048;
bool IsWebPageAddress(std::string_view address);
// What the label may show: a web page address as above, or a bare host name such as "www.example.com".
bool IsLabelAddress(std::string_view address);

}  // namespace tessaro
