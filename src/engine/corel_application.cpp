#include "engine/corel_application.h"

#include <array>

#include "app/texts.h"
#include "config/decimal_text.h"

namespace tessaro {
namespace {

constexpr int32_t kObjectNotSet = 91;
constexpr int32_t kTypeMismatch = 13;

RunFailure NoObject() {
    return {kObjectNotSet, std::string(text::kFailNoObject)};
}

RunFailure TypeMismatch() {
    return {kTypeMismatch, std::string(text::kFailTypeMismatch)};
}

// Folder answers are used as text as they come; a number or a boolean turns into its text like any variant would.
Result<std::string> AsText(Result<AutomationValue> value) {
    if (!value) {
        return value.failure();
    }
    return std::visit(
        [](const auto& v) -> Result<std::string> {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::string>) {
                return v;
            } else if constexpr (std::is_same_v<T, std::monostate>) {
                return std::string();
            } else if constexpr (std::is_same_v<T, bool>) {
                return std::string(v ? "True" : "False");
            } else if constexpr (std::is_same_v<T, int32_t>) {
                return DecimalText(v);
            } else {
                return TypeMismatch();
            }
        },
        value.value());
}

Result<AutomationRef> AsObject(Result<AutomationValue> value) {
    if (!value) {
        return value.failure();
    }
    if (auto* object = std::get_if<AutomationRef>(&value.value()); object && *object) {
        return *object;
    }
    return NoObject();
}

Status Discard(Result<AutomationValue> value) {
    if (!value) {
        return value.failure();
    }
    return {};
}

Result<std::string> ReadText(const AutomationRef& object, std::string_view member) {
    if (!object) {
        return NoObject();
    }
    return AsText(object->Get(member));
}

Result<std::string> ReadTextOfChild(const AutomationRef& object, std::string_view child, std::string_view member) {
    if (!object) {
        return NoObject();
    }
    const Result<AutomationRef> childObject = AsObject(object->Get(child));
    if (!childObject) {
        return childObject.failure();
    }
    return ReadText(childObject.value(), member);
}

}  // namespace

Status CorelApplication::SetVisible(bool visible) {
    if (!application_) {
        return NoObject();
    }
    return application_->Put("Visible", AutomationValue(visible));
}

Result<std::string> CorelApplication::UserDataPath() {
    return ReadText(application_, "UserDataPath");
}

Result<std::string> CorelApplication::GMSPath() {
    return ReadTextOfChild(application_, "GMSManager", "GMSPath");
}

Result<std::string> CorelApplication::UserGMSPath() {
    return ReadTextOfChild(application_, "GMSManager", "UserGMSPath");
}

Result<std::string> CorelApplication::ApplicationPath() {
    return ReadTextOfChild(application_, "Application", "Path");
}

Status CorelApplication::ImportWorkspace(const std::string& workspacePath) {
    if (!application_) {
        return NoObject();
    }
    const std::array<AutomationValue, 1> args{workspacePath};
    return Discard(application_->Call("ImportWorkspace", args));
}

Result<AutomationRef> CorelApplication::Application() {
    if (!application_) {
        return NoObject();
    }
    return AsObject(application_->Get("Application"));
}

Status CorelApplication::Quit() {
    if (!application_) {
        return NoObject();
    }
    return Discard(application_->Call("Quit"));
}

Status CorelApplication::DeleteCommandBar(const AutomationRef& application, const std::string& barName) {
    if (!application) {
        return NoObject();
    }
    const Result<AutomationRef> bars = AsObject(application->Get("CommandBars"));
    if (!bars) {
        return bars.failure();
    }
    const std::array<AutomationValue, 1> index{barName};
    const Result<AutomationRef> bar = AsObject(bars.value()->Get("", index));
    if (!bar) {
        return bar.failure();
    }
    return Discard(bar.value()->Call("Delete"));
}

}  // namespace tessaro
