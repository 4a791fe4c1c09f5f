#pragma once

#include <string>

namespace data {
class ConfigTable;
class OptionFlags;
}  // namespace data
namespace text {
class MessageFile;
}

namespace windows {

// The run's settings as the windows read them: the configuration table, the option flags and
// the common message file, all owned by the main window, which registers them at creation.
struct Settings {
    const data::ConfigTable* config = nullptr;
    const data::OptionFlags* flags = nullptr;
    text::MessageFile* common = nullptr;
};

void SetSettings(const Settings& settings);
const Settings& CurrentSettings();

// Language= ("" before registration), Developer mode, and common text number (a copy; "" before
// registration).
std::string CurrentLanguage();
bool DeveloperMode();
std::string CommonText(int number);

}  // namespace windows
