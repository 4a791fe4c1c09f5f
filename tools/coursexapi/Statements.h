// The xAPI statements of a course's learners: one for every recorded answer, every finished
// level and every finished lesson, each with an id that the same event always gets again.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "report/CourseReader.h"

namespace coursexapi {

// A name-based (version 5, SHA-1) UUID of name in namespace ns (a UUID text).
std::string NameUuid(const std::string& ns, const std::string& name);

// The texts of the lesson in one language: its steps and the course's name.
struct LanguageTexts {
    std::string tag;  // as xAPI wants it (en-GB)
    std::string course_name;
    std::vector<report::StepText> steps;
};

struct Settings {
    std::string site;  // the site's address: the actors' homePage
    std::string iri;   // the base of the activity ids, without a trailing '/'
    std::string course_id;
};

// How far one learner's files have been sent.
struct LearnerProgress {
    int64_t lines = 0;       // history lines sent
    std::string prefix;      // SHA-1 of those lines, to notice a rewritten file
    int64_t generation = 0;  // grows whenever the learner's files were rewritten
    uint32_t levels = 0;     // bit L-1: the end of level L was sent
    bool lesson = false;     // the end of the lesson was sent
    bool operator==(const LearnerProgress&) const = default;
};

// One statement and the progress of its learner once it is delivered.
struct Pending {
    std::string key;  // "group:user"
    nlohmann::json statement;
    LearnerProgress after;
};

// The BCP 47 tag of a course language folder's name (GB -> en-GB).
std::string LanguageTag(const std::string& folder);

// The statements of learner that progress has not covered, in order. progress is the state
// before; a rewritten history (its sent lines changed) starts again from its first line with
// a new generation.
std::vector<Pending> LearnerStatements(const Settings& settings,
                                       const std::vector<LanguageTexts>& languages,
                                       const std::vector<int>& level_steps,
                                       const report::Learner& learner,
                                       const LearnerProgress& progress);

std::string LearnerKey(const report::Learner& learner);

}  // namespace coursexapi
