// What an operation that can fail for several reasons gives back: success, or
// a failure with a short reason in plain words ("manifest signature: unknown
// key"), so that the caller can tell the user or the diagnostic log why.
#pragma once

#include <string>
#include <string_view>
#include <utility>

class [[nodiscard]] Outcome {
 public:
  static Outcome Success() { return Outcome(true, {}); }
  // `reason` says what went wrong, without a leading capital or a full stop.
  static Outcome Failure(std::string reason) { return Outcome(false, std::move(reason)); }

  bool ok() const { return ok_; }
  explicit operator bool() const { return ok_; }
  // Empty for a success.
  const std::string& reason() const { return reason_; }

  // The same outcome with `context` before a failure's reason ("item a/b.js: " + reason).
  Outcome Within(std::string_view context) const {
    return ok_ ? *this : Failure(std::string(context) + ": " + reason_);
  }

 private:
  Outcome(bool ok, std::string reason) : ok_(ok), reason_(std::move(reason)) {}

  bool ok_;
  std::string reason_;
};
