// The language's COMMON message file and the list of languages a course offers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/Course.h"
#include "text/MessageFile.h"

namespace lesson {

inline constexpr const char* kCommonName = "COMMON";

// Opens the course's MSG\<Language>\COMMON.MSG into common with the built-in main formats,
// check modulus 1009, show-errors following Developer and the product name as link path; seed
// receives the file's seed (given later to the step, sub-step and language files). Failure:
// ShowSystemError(path, 2), or (path + ": the message file is damaged", 13) when its table cannot
// be read, and -1; otherwise 0.
int LoadCommonMessages(const data::Course& course, text::MessageFile& common, int32_t& seed);
// The same into the course's own common texts and seed.
int LoadCommonMessages(data::Course& course);

struct LanguageEntry {
    std::string folder;   // the folder under MSG
    std::string caption;  // text 0 of its common file
    std::string name;     // the caption between its first '(' and the first ')' after it
};

// Every folder under the course's MSG that holds MSG\<folder>\<common_name>.MSG, read with the
// common seed, in folder-name order. A file that does not open is left out.
std::vector<LanguageEntry> FindLanguages(const data::Course& course, const std::string& common_name,
                                         int32_t seed);

}  // namespace lesson
