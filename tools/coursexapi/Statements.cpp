#include "Statements.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>

namespace coursexapi {

namespace {

using nlohmann::json;

std::string Hex(const unsigned char* bytes, size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

std::string Sha1Hex(const std::string& text) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    EVP_Digest(text.data(), text.size(), digest, &n, EVP_sha1(), nullptr);
    return Hex(digest, n);
}

// The ADL verbs, with their English display.
json Verb(const std::string& name) {
    return {{"id", "http://adlnet.gov/expapi/verbs/" + name}, {"display", {{"en-US", name}}}};
}

std::string Iso8601(int64_t seconds) {
    const time_t t = static_cast<time_t>(seconds);
    struct tm utc {};
    gmtime_r(&t, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

// The history line as the learner's file holds it, without the line end.
std::string LineText(const report::HistoryLine& line) {
    if (line.abandon) return "~-1:-1";
    return "#F" + std::to_string(line.f) + " E" + std::to_string(line.level) + " Q" +
           std::to_string(line.step) + " " + std::to_string(line.expected) + ":" +
           std::to_string(line.given) + " N" + std::to_string(line.series) + " " + line.directory;
}

const report::StepText* FindStep(const std::vector<report::StepText>& steps, int level, int step) {
    for (const report::StepText& s : steps)
        if (s.level == level && s.step == step) return &s;
    return nullptr;
}

std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

// The global index of a step (level, step) in the score file, -1 when out of range.
int GlobalIndex(const std::vector<int>& level_steps, int level, int step) {
    if (level < 1 || level > int(level_steps.size()) || step < 1 || step > level_steps[level - 1])
        return -1;
    int index = step - 1;
    for (int l = 1; l < level; ++l) index += level_steps[l - 1];
    return index;
}

}  // namespace

std::string NameUuid(const std::string& ns, const std::string& name) {
    std::string hex;
    for (char c : ns)
        if (c != '-') hex += c;
    std::string input;
    for (size_t i = 0; i + 1 < hex.size() && input.size() < 16; i += 2)
        input += char(std::stoi(hex.substr(i, 2), nullptr, 16));
    input += name;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    EVP_Digest(input.data(), input.size(), digest, &n, EVP_sha1(), nullptr);
    digest[6] = (digest[6] & 0x0f) | 0x50;
    digest[8] = (digest[8] & 0x3f) | 0x80;
    const std::string h = Hex(digest, 16);
    return h.substr(0, 8) + "-" + h.substr(8, 4) + "-" + h.substr(12, 4) + "-" + h.substr(16, 4) +
           "-" + h.substr(20, 12);
}

std::string LanguageTag(const std::string& folder) {
    static const std::map<std::string, std::string> tags = {
        {"GB", "en-GB"}, {"US", "en-US"}, {"F", "fr-FR"},  {"FR", "fr-FR"}, {"D", "de-DE"},
        {"DE", "de-DE"}, {"E", "es-ES"},  {"ES", "es-ES"}, {"I", "it-IT"},  {"IT", "it-IT"},
        {"NL", "nl-NL"}, {"P", "pt-PT"},  {"PT", "pt-PT"}, {"PL", "pl-PL"}, {"CZ", "cs-CZ"}};
    const auto at = tags.find(folder);
    if (at != tags.end()) return at->second;
    // An unknown folder name still gives a valid tag: a private use one.
    std::string tag = "und-x-";
    for (char c : folder)
        if (std::isalnum(static_cast<unsigned char>(c)) && tag.size() < 14)
            tag += char(std::tolower(static_cast<unsigned char>(c)));
    return tag == "und-x-" ? "und" : tag;
}

std::string LearnerKey(const report::Learner& learner) {
    return std::to_string(learner.record.GroupNo) + ":" + std::to_string(learner.record.UserNo);
}

std::vector<Pending> LearnerStatements(const Settings& settings,
                                       const std::vector<LanguageTexts>& languages,
                                       const std::vector<int>& level_steps,
                                       const report::Learner& learner,
                                       const LearnerProgress& before) {
    std::vector<Pending> out;
    const std::string key = LearnerKey(learner);
    LearnerProgress progress = before;

    // The history lines already sent must still be the file's first lines; if not, the file
    // was rewritten and is sent again from its start under a new generation.
    std::string prefix_text;
    const int64_t have = int64_t(learner.history.size());
    for (int64_t i = 0; i < std::min(progress.lines, have); ++i)
        prefix_text += LineText(learner.history[size_t(i)]) + "\n";
    if (progress.lines > 0 && (progress.lines > have || Sha1Hex(prefix_text) != progress.prefix)) {
        progress = LearnerProgress{};
        progress.generation = before.generation + 1;
        prefix_text.clear();
    }

    const std::string site_ns = NameUuid("6ba7b811-9dad-11d1-80b4-00c04fd430c8", settings.site);
    const std::string place =
        settings.course_id + "/" + key + "/" + std::to_string(progress.generation) + "/";
    json actor = {{"objectType", "Agent"},
                  {"name", learner.record.UserName},
                  {"account", {{"homePage", settings.site}, {"name", key}}}};
    const std::string course_iri = settings.iri + "/" + settings.course_id;
    const std::string timestamp =
        Iso8601(learner.last_active ? *learner.last_active : int64_t(std::time(nullptr)));
    const std::string registration =
        NameUuid(site_ns, place + "series" + std::to_string(learner.record.Series));

    json names = json::object(), course_names = json::object();
    for (const LanguageTexts& l : languages) course_names[l.tag] = l.course_name;
    json parent = {{"objectType", "Activity"},
                   {"id", course_iri},
                   {"definition",
                    {{"type", "http://adlnet.gov/expapi/activities/course"},
                     {"name", course_names},
                     {"description", course_names}}}};
    auto level_activity = [&](int level) {
        json name = json::object();
        for (const LanguageTexts& l : languages)
            name[l.tag] = l.course_name + " " + std::to_string(level);
        return json{{"objectType", "Activity"},
                    {"id", course_iri + "/level/" + std::to_string(level)},
                    {"definition",
                     {{"type", "http://adlnet.gov/expapi/activities/module"},
                      {"name", name},
                      {"description", name}}}};
    };
    auto context = [&](const json& parents) {
        return json{
            {"registration", registration},
            {"platform", "courseware"},
            {"contextActivities", {{"parent", parents}, {"grouping", json::array({parent})}}}};
    };

    for (int64_t i = progress.lines; i < have; ++i) {
        const report::HistoryLine& line = learner.history[size_t(i)];
        prefix_text += LineText(line) + "\n";
        progress.lines = i + 1;
        progress.prefix = Sha1Hex(prefix_text);
        if (line.abandon) {
            // A step left with Exit records no answer; it only moves the place on.
            if (!out.empty())
                out.back().after = progress;
            else
                out.push_back({key, json(), progress});
            continue;
        }
        const int index = GlobalIndex(level_steps, line.level, line.step);
        json definition = json::object();
        json step_names = json::object(), step_texts = json::object();
        json choices = json::array();
        int expected = 0;
        for (const LanguageTexts& l : languages) {
            const report::StepText* s = FindStep(l.steps, line.level, line.step);
            if (!s) continue;
            step_names[l.tag] = FirstLine(s->question);
            step_texts[l.tag] = s->question;
            expected = s->expected;
            for (size_t c = 0; c < s->answers.size(); ++c) {
                if (choices.size() <= c)
                    choices.push_back(
                        {{"id", std::to_string(c + 1)}, {"description", json::object()}});
                choices[c]["description"][l.tag] = s->answers[c];
            }
        }
        if (step_names.empty()) step_names["und"] = "step " + std::to_string(line.step);
        definition["type"] = "http://adlnet.gov/expapi/activities/cmi.interaction";
        definition["name"] = step_names;
        definition["description"] = step_texts.empty() ? step_names : step_texts;
        if (!choices.empty()) {
            definition["interactionType"] = "choice";
            definition["choices"] = choices;
            definition["correctResponsesPattern"] =
                json::array({std::to_string(expected ? expected : line.expected)});
        } else {
            definition["interactionType"] = "other";
        }
        json result = {{"success", line.given == line.expected},
                       {"response", std::to_string(line.given)}};
        // The score file tells a step's state after its latest answer only: the earlier
        // answers to the same step carry no score or time.
        bool latest = true;
        for (size_t later = size_t(i) + 1; later < learner.history.size(); ++later)
            if (!learner.history[later].abandon && learner.history[later].level == line.level &&
                learner.history[later].step == line.step)
                latest = false;
        if (latest && index >= 0 && index < int(learner.scores.size())) {
            const report::StepScore& s = learner.scores[size_t(index)];
            if (s.worth > 0) {
                const int raw = std::clamp(s.score, 0, s.worth);
                result["score"] = {
                    {"raw", raw}, {"min", 0}, {"max", s.worth}, {"scaled", double(raw) / s.worth}};
            }
            result["duration"] = "PT" + std::to_string(std::max(0, s.time)) + "S";
        }
        json statement = {{"id", NameUuid(site_ns, place + "line" + std::to_string(i + 1))},
                          {"actor", actor},
                          {"verb", Verb("answered")},
                          {"object",
                           {{"objectType", "Activity"},
                            {"id", course_iri + "/level/" + std::to_string(line.level) + "/step/" +
                                       std::to_string(line.step)},
                            {"definition", definition}}},
                          {"result", result},
                          {"context", context(json::array({level_activity(line.level), parent}))},
                          {"timestamp", timestamp}};
        out.push_back({key, statement, progress});
    }

    // A level is finished when every one of its steps was evaluated, or the lesson ended.
    const bool lesson_done = learner.record.State == data::kStateFinished;
    int total_raw = 0, total_worth = 0, total_time = 0;
    bool all_levels = !level_steps.empty();
    for (int level = 1; level <= int(level_steps.size()) && level <= 32; ++level) {
        int raw = 0, worth = 0, time = 0;
        bool done = level_steps[level - 1] > 0;
        for (int step = 1; step <= level_steps[level - 1]; ++step) {
            const int index = GlobalIndex(level_steps, level, step);
            if (index >= int(learner.scores.size())) {
                done = false;
                break;
            }
            const report::StepScore& s = learner.scores[size_t(index)];
            if (s.status != 3) done = false;
            raw += std::max(0, s.score);
            worth += std::max(0, s.worth);
            time += std::max(0, s.time);
        }
        total_raw += raw;
        total_worth += worth;
        total_time += time;
        done = done || (lesson_done && !learner.scores.empty());
        all_levels = all_levels && done;
        const uint32_t bit = 1u << (level - 1);
        if (!done || (progress.levels & bit)) continue;
        progress.levels |= bit;
        // Passed with at least half of the points at stake.
        const bool passed = worth > 0 ? 2 * raw >= worth : true;
        json result = {{"success", passed},
                       {"completion", true},
                       {"duration", "PT" + std::to_string(time) + "S"}};
        if (worth > 0)
            result["score"] = {{"raw", std::min(raw, worth)},
                               {"min", 0},
                               {"max", worth},
                               {"scaled", double(std::min(raw, worth)) / worth}};
        out.push_back({key,
                       {{"id", NameUuid(site_ns, place + "level" + std::to_string(level))},
                        {"actor", actor},
                        {"verb", Verb(passed ? "passed" : "failed")},
                        {"object", level_activity(level)},
                        {"result", result},
                        {"context", context(json::array({parent}))},
                        {"timestamp", timestamp}},
                       progress});
    }
    if ((lesson_done || all_levels) && !learner.scores.empty() && !progress.lesson) {
        progress.lesson = true;
        json result = {{"completion", true}, {"duration", "PT" + std::to_string(total_time) + "S"}};
        if (total_worth > 0)
            result["score"] = {{"raw", std::min(total_raw, total_worth)},
                               {"min", 0},
                               {"max", total_worth},
                               {"scaled", double(std::min(total_raw, total_worth)) / total_worth}};
        json c = context(json::array());
        c["contextActivities"].erase("parent");
        c["contextActivities"].erase("grouping");
        c.erase("contextActivities");
        out.push_back({key,
                       {{"id", NameUuid(site_ns, place + "lesson")},
                        {"actor", actor},
                        {"verb", Verb("completed")},
                        {"object", parent},
                        {"result", result},
                        {"context", c},
                        {"timestamp", timestamp}},
                       progress});
    }
    return out;
}

}  // namespace coursexapi
