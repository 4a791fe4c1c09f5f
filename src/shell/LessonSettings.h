// The course settings the lesson flow and its files read: configuration, option flags, common
// texts, trace log and the product's folders.
#pragma once

#include <cstdint>
#include <string>

#include "data/ConfigTable.h"
#include "data/OptionFlags.h"
#include "text/MessageFile.h"
#include "text/TraceLog.h"

namespace shell {

struct LessonSettings {
    data::ConfigTable* config = nullptr;
    data::OptionFlags* flags = nullptr;
    text::MessageFile* common = nullptr;  // the language's COMMON texts
    text::TraceLog* trace = nullptr;      // may be closed
    std::string data_dir;                 // the product's data directory
    std::string app_name;                 // product field 1, for the remote login
    int32_t common_seed = 0;              // seed and check modulus of step files
    bool removable_media = false;         // nothing is saved
    std::string quit_caption;             // the Quit menu's caption, without its first character

    bool Has(data::OptionFlag flag) const { return flags && flags->Has(flag); }
    const std::string& Config(int key) const {
        static const std::string empty;
        return config ? config->Get(key) : empty;
    }
    // Common text number with arguments, or "" without a common file.
    template <class... A>
    std::string Common(int number, const A&... args) const {
        return common ? common->GetText(number, args...) : std::string();
    }
    // Writes a trace line when tracing is on.
    template <class... A>
    void Trace(const char* format, const A&... args) const {
        if (trace && Has(data::Trace)) trace->AppendFormatted(format, args...);
    }
    // Per-user files are written only for a learner's own session on writable media.
    bool SavesProgress() const { return !Has(data::PresetSession) && !removable_media; }
};

}  // namespace shell
