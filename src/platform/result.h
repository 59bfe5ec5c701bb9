#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace tessaro {

// What a failing step of the install run produces: the number decides what happens next, the description is
// only ever shown to people.
struct RunFailure {
    int32_t number = 0;
    std::string description;
};

// A value or the run failure that kept it from being produced. Platform and automation calls hand their
// failures across the seam this way; the install run decides what to do with them.
template <class T>
class [[nodiscard]] Result {
  public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(RunFailure failure) : state_(std::in_place_index<1>, std::move(failure)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() & { return std::get<0>(state_); }
    const T& value() const& { return std::get<0>(state_); }
    T&& value() && { return std::get<0>(std::move(state_)); }
    const RunFailure& failure() const { return std::get<1>(state_); }

  private:
    std::variant<T, RunFailure> state_;
};

template <>
class [[nodiscard]] Result<void> {
  public:
    Result() = default;
    Result(RunFailure failure) : failure_(std::move(failure)) {}

    bool ok() const { return !failure_.has_value(); }
    explicit operator bool() const { return ok(); }
    const RunFailure& failure() const { return *failure_; }

  private:
    std::optional<RunFailure> failure_;
};

using Status = Result<void>;

}  // namespace tessaro
