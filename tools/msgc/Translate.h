// A course's texts out to a PO file for translators and back into its message files.
#pragma once

#include <string>
#include <vector>

namespace msgc {

// The PO file of every text of every message and conversion file in the course's language
// folder from, with the texts of language lang (empty where it has none: a template when the
// course lacks lang). False with why when the course or its from folder cannot be read.
// warnings: files of the folder that are no message files, left out.
bool ExportPo(const std::string& course, const std::string& from, const std::string& lang,
              std::string& po, std::vector<std::string>& warnings, std::string& why);

struct ImportReport {
    std::vector<std::string> refused;  // "FILE:LINE: why", entries left out
    std::vector<std::string> fuzzy;    // "FILE:LINE: context", entries left out
    std::vector<std::string> missing;  // contexts with no text in either file
    std::vector<std::string> notes;    // what was created or adjusted
    std::vector<std::string> written;  // message files written
    int changed_texts = 0;
};

// Compiles the translations of the PO text (read from po_name) into language lang of the
// course: every message file of the source language (the PO's X-Source-Language, or from when
// not empty) gets its counterpart, with the target file's seed, modulus, version and formats
// when it exists, else the source file's; a new language also gets its folder, catalogue line
// and language menu entry. False with why when nothing could be done (a malformed PO, no
// source language, a file that cannot be written).
bool ImportPo(const std::string& course, const std::string& lang, const std::string& from,
              const std::string& po_text, const std::string& po_name, ImportReport& report,
              std::string& why);

}  // namespace msgc
