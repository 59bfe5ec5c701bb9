#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "platform/result.h"

namespace tessaro {

class AutomationObject;
using AutomationRef = std::shared_ptr<AutomationObject>;

// The values that cross a late-bound automation call. Empty stands for VT_EMPTY and for a call's missing result.
using AutomationValue = std::variant<std::monostate, bool, int32_t, std::string, AutomationRef>;

// An automation object reached by member names at run time, never through a type library. An empty member name
// means the object's default member (what a caller reaches by indexing the object itself).
class AutomationObject {
  public:
    virtual ~AutomationObject() = default;

    virtual Result<AutomationValue> Get(std::string_view member, std::span<const AutomationValue> args = {}) = 0;
    virtual Status Put(std::string_view member, const AutomationValue& value) = 0;
    virtual Result<AutomationValue> Call(std::string_view member, std::span<const AutomationValue> args = {}) = 0;

    // The platform's own object behind this one, so that the platform can take it back as an argument; objects
    // of any other origin have none. (The Windows build has no RTTI to ask with.)
    virtual void* PlatformObject() const noexcept { return nullptr; }
};

class AutomationServices {
  public:
    virtual ~AutomationServices() = default;

    // Creates a local automation server by its programmatic identifier. An identifier that is not registered
    // fails with 429, an object without automation support with 430; other failures keep their own number.
    virtual Result<AutomationRef> CreateObject(std::string_view progId) = 0;
};

}  // namespace tessaro
