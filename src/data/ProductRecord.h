// The product catalogue PRODUCT.DAT: one line per product and language, with bracketed fields
//   [app name][field 2][data dir][product file][version a:b][field 6][field 7][language]
// The first line whose language and version match the program's gives the product record.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Status.h"

namespace data {

class ConfigTable;

// The program's version, 1100:0800.
inline constexpr uint32_t kProgramVersionMajor = 0x1100;
inline constexpr uint32_t kProgramVersionMinor = 0x0800;

struct ProductRecord {
    std::string app_name;      // field 1: captions, user list title, remote login
    std::string field2;        // field 2: kept, unused by the shell
    std::string data_dir;      // field 3: base of CFG, CTX, LDE, GROUP, USERS, FLUID.DAT
    std::string product_file;  // field 4
    std::string product_name;  // field 4 up to its first '.'
    std::string version;       // field 5
    std::string field7;        // field 7: kept, unused by the shell
    std::string language;      // field 8
    int value1 = 1;
    int value0 = 0;
};

// Reduces a version text "a:b" (hexadecimal parts, optional 0x prefix) to
// ((a & ~0xFF) << 16) + (b & ~0xFF) in 32-bit arithmetic; a part that is missing or holds a
// non-hexadecimal character counts as 0.
uint32_t ReduceVersion(std::string_view text);

// Field k (1-based) of a catalogue line: the text after the k-th '[' up to the next ']' (or
// the end of the line when no ']' follows); empty when the line has fewer '['.
std::string CatalogueField(std::string_view line, int k);

// Every field of a catalogue line in order (views into line), found in one pass.
std::vector<std::string_view> CatalogueFields(std::string_view line);

// Replaces a leading '?' of path by the drive letter of program_path. A program path without a
// drive letter (any native path) has no drive: "?:" (or a lone "?") is then removed, so
// "?:\\COURSE" names \\COURSE on the program's own file system.
std::string ReplaceDriveMark(std::string_view path, std::string_view program_path);

// The catalogue path: RootDir= (or "." when empty) + "\\PRODUCT.DAT", drive mark replaced.
std::string CataloguePath(const ConfigTable& config, std::string_view program_path);

// "PRODUCT.DAT: bad version 1100:800".
std::string BadVersionText();

// Loads the first catalogue line whose field 8 equals Language= (ignoring case) and whose
// field 5 reduces to the program's version into record (its data directory's drive mark
// replaced). Empty lines and lines starting with '#' are skipped; a trailing CR is ignored.
// The catalogue is read inside root (the course folder). Failures: (path, 2) when it cannot be
// opened, (path, EISDIR) for a folder, (path and line, 19) when the matching line has fewer
// than 8 fields before the first empty one. When no line is taken: a line for the language
// with another version gives ("PRODUCT.DAT: bad version 1100:800", 13); no line for the
// language names it (13), and names the first line too short to hold a language, if any (19).
platform::Status LoadProduct(const ConfigTable& config, std::string_view program_path,
                             ProductRecord& record, std::string_view root);

}  // namespace data
