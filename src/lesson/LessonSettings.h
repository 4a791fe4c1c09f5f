// The running course as the lesson flow and its files read it: settings, option flags,
// common texts, trace log and the course's paths.
#pragma once

#include <cstdint>
#include <string>

#include "data/CommonTexts.h"
#include "data/Course.h"

namespace lesson {

struct LessonSettings {
    data::Course* course = nullptr;

    bool Has(data::OptionFlag flag) const { return course->Has(flag); }
    const std::string& Config(int key) const { return course->Config().Get(key); }
    int ConfigInt(int key) const { return course->Config().GetInt(key); }
    const data::OptionFlags& Flags() const { return course->Flags(); }
    // Common text number with arguments.
    template <class... A>
    std::string Common(int number, const A&... args) const {
        return course->CommonText(number, args...);
    }
    // Writes a trace line when tracing is on.
    template <class... A>
    void Trace(const char* format, const A&... args) const {
        if (Has(data::Trace)) course->Trace().AppendFormatted(format, args...);
    }
    // The Quit menu's caption (its common text) without its first character, in the course's
    // code page: the caption of the leaving questions.
    std::string QuitCaption() const {
        std::string caption = Common(data::kTextQuit);
        if (!caption.empty()) caption.erase(0, 1);
        return caption;
    }
    int32_t CommonSeed() const { return course->CommonSeed(); }
    const std::string& AppName() const { return course->Product().app_name; }
    bool RemovableMedia() const { return course->RemovableMedia(); }
    // Per-user files are written only for a learner's own session on writable media.
    bool SavesProgress() const { return !Has(data::PresetSession) && !RemovableMedia(); }
};

}  // namespace lesson
