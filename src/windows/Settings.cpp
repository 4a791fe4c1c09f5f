#include "windows/Settings.h"

#include "data/ConfigTable.h"
#include "data/OptionFlags.h"
#include "text/MessageFile.h"

namespace windows {

namespace {
Settings& Current() {
    static Settings settings;
    return settings;
}
}  // namespace

void SetSettings(const Settings& settings) {
    Current() = settings;
}

const Settings& CurrentSettings() {
    return Current();
}

std::string CurrentLanguage() {
    return Current().config ? Current().config->Get(data::kLanguage) : std::string();
}

bool DeveloperMode() {
    return Current().flags && Current().flags->Has(data::Developer);
}

std::string CommonText(int number) {
    return Current().common ? Current().common->GetText(number) : std::string();
}

}  // namespace windows
