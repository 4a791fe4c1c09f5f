#include "lesson/HistoryFile.h"

namespace lesson {

bool HistoryFile::OpenHistory(const std::string& path, bool append) {
    file_.Close();
    using F = text::StreamFile;
    return file_.Open(path, F::kRead | F::kWrite | (append ? F::kAppend : F::kTruncate));
}

bool HistoryFile::WriteAnswerRecord(int f_number, int level, int step, int expected, int given,
                                    int series, const std::string& directory) {
    return file_.AppendFormatted("#F%d E%d Q%d %d:%d N%d %s", f_number, level, step, expected,
                                 given, series, directory.c_str());
}

bool HistoryFile::WriteAbandonRecord() {
    return file_.AppendFormatted("~%d:%d", -1, -1);
}

}  // namespace lesson
