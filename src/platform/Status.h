// How a call that touches files or settings says it failed: the error number (a C library
// errno, one of the fixed codes of Path.h, or the storage engine's number) and what failed (a
// path, a path with its line, a setting). The lower layers return it; only the windows, the
// shell and the tools show it, once.
#pragma once

#include <string>
#include <utility>

namespace platform {

class [[nodiscard]] Status {
  public:
    // Success.
    Status() = default;
    // code < 0 takes the current errno, so the number is kept before anything changes it.
    // cause, when given, is the reason in words (the engine's text for its own numbers); else
    // the system's text of code is used.
    Status(int code, std::string what, std::string cause = {});
    // The current errno about what.
    static Status FromErrno(std::string what) { return Status(-1, std::move(what)); }

    bool ok() const { return code_ == 0; }
    explicit operator bool() const { return ok(); }
    int code() const { return code_; }
    const std::string& what() const { return what_; }
    // The reason in words: the given cause, or the system's text of the code.
    std::string Cause() const;
    // "what: cause", for a trace line or a tool's stderr; "" on success.
    std::string Text() const;

  private:
    int code_ = 0;
    std::string what_;
    std::string cause_;
};

}  // namespace platform
