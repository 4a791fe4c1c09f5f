// A notifier that records what it was asked to show; tests hand it to the code under test.
#pragma once

#include <string>
#include <vector>

#include "platform/Notifier.h"

namespace support {

struct RecordingNotifier : platform::Notifier {
    struct Error {
        std::string text;
        int code;
    };
    std::vector<Error> errors;
    std::vector<std::string> messages;

    void ShowSystemError(const std::string& text, int code) override {
        errors.push_back({text, code});
    }
    void ShowMessage(const std::string& caption, const std::string& text) override {
        messages.push_back(caption + "|" + text);
    }
};

}  // namespace support
