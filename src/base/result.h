// The outcome of an internal step that can fail, the way the public Status
// reports a whole run: success, or a failure with its message. Running out
// of memory is a failure of its own kind whose message is a literal, so that
// saying so allocates nothing. The lower layers (base/, formats/) and the
// companion programs' common parts report through it.
#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace tavrel {

class [[nodiscard]] Result {
 public:
  // Success.
  Result() = default;
  // A failure saying `message` (no line end).
  static Result failure(std::string message) {
    Result result;
    result.kind_ = Kind::kFailed;
    result.message_ = std::move(message);
    return result;
  }
  // Memory ran out; made without allocating.
  static Result outOfMemory() {
    Result result;
    result.kind_ = Kind::kOutOfMemory;
    return result;
  }

  bool ok() const { return kind_ == Kind::kOk; }
  bool isOutOfMemory() const { return kind_ == Kind::kOutOfMemory; }
  // The failure's message; "out of memory" for that failure, empty on success.
  std::string_view message() const {
    return kind_ == Kind::kOutOfMemory ? std::string_view("out of memory")
                                       : std::string_view(message_);
  }

 private:
  enum class Kind { kOk, kFailed, kOutOfMemory };
  Kind kind_ = Kind::kOk;
  std::string message_;
};

}  // namespace tavrel
