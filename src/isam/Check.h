// Offline tools over the files of an ISAM name: a checker that trusts nothing it reads, a repair
// that rebuilds every index and both free lists from the live records, and a description.
#pragma once

#include <string>
#include <vector>

namespace isam {

// Verifies the files; problems are appended as lines. True when the files are consistent.
// Space that is merely unreachable (nodes or slots on no list) is reported in notes only.
bool CheckFiles(const char* name, std::vector<std::string>* problems,
                std::vector<std::string>* notes = nullptr);
// Rebuilds the indexes and free lists from the data file; record numbers stay as they are.
// Needs the files to itself, and refuses (105) a data file that does not fit the index file.
// Returns 0, or -1 with last_error set and, where there is more to say, the reason in *why.
int RepairFiles(const char* name, std::string* why = nullptr);
// The path of one of the files of an ISAM name (".idx", ".dat", ".lck"), after the name's link
// file, if any, has redirected it.
std::string FilePathOf(const char* name, const char* ext);
// Header fields, indexes with their key descriptions, record and node counts; false when the
// index file cannot be read (the reason in *out).
bool DescribeFiles(const char* name, std::string* out);

}  // namespace isam
