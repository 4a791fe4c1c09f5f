// The entries the options window offers: languages found in the language folders, and unit
// systems and symbol sets from the common texts. An entry's source text names it and carries
// its code in parentheses: "English (GB)" is shown as "English" and stored as "GB".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace data {

class Course;

struct OptionChoice {
    std::string code;  // the value stored in the configuration
    std::string name;  // the text shown
};

// code = the text between the first '(' and the next ')' (at most 20 characters; to the end of
// the text when no ')' follows); name = the text before the first " (" (the whole text when
// there is none).
OptionChoice ParseOptionChoice(std::string_view text);

// One entry per language FindLanguages finds (folders under MSG holding
// MSG\<folder>\<common_name>.MSG, read with seed, in folder-name order): its caption's name and
// its code. Unless developer, only the captions that contain "(" + language + ")" are offered.
std::vector<OptionChoice> FindLanguageChoices(const Course& course, const std::string& common_name,
                                              int32_t seed, const std::string& language,
                                              bool developer);

}  // namespace data
