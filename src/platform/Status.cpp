#include "platform/Status.h"

#include <cerrno>

#include "platform/Path.h"

namespace platform {

Status::Status(int code, std::string what, std::string cause)
    : code_(code < 0 ? (errno != 0 ? errno : EIO) : code),
      what_(std::move(what)),
      cause_(std::move(cause)) {}

std::string Status::Cause() const {
    if (!cause_.empty()) return cause_;
    return code_ == 0 ? std::string() : SystemErrorText(code_);
}

std::string Status::Text() const {
    if (ok()) return {};
    return what_.empty() ? Cause() : what_ + ": " + Cause();
}

}  // namespace platform
