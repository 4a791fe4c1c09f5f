// A notifier that records what it was asked to show; tests hand it to the code under test.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "platform/Notifier.h"

namespace support {

struct RecordingNotifier : platform::Notifier {
    struct Error {
        std::string text;
        int code;
        bool operator==(const Error&) const = default;
        friend std::ostream& operator<<(std::ostream& os, const Error& e) {
            return os << e.text << "|" << e.code;
        }
    };
    std::vector<Error> errors;
    std::vector<std::string> error_boxes;  // caption|text
    std::vector<std::string> messages;     // caption|text

    void ShowSystemError(const std::string& text, int code) override {
        errors.push_back({text, code});
    }
    void ShowError(const std::string& caption, const std::string& text) override {
        error_boxes.push_back(caption + "|" + text);
    }
    void ShowMessage(const std::string& caption, const std::string& text) override {
        messages.push_back(caption + "|" + text);
    }

    // Reports of any kind so far.
    size_t Count() const { return errors.size() + error_boxes.size() + messages.size(); }
    void Clear() {
        errors.clear();
        error_boxes.clear();
        messages.clear();
    }
};

}  // namespace support
