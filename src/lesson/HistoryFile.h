// The learner's history journal HST<user>.<group>: one text line per evaluated answer,
//   "#F<F> E<level> Q<step> <expected>:<given> N<series> <Directory=>"
// and "~-1:-1" for a step the learner left with Exit. It lies at <groups dir>\HST<user>.<group>
// (data::HistoryPath).
#pragma once

#include <string>

#include "text/LineFile.h"

namespace lesson {

class HistoryFile {
  public:
    // append: keeps what is there (a returning learner); otherwise the file starts empty. A
    // file that cannot be opened leaves the object closed, and later records are dropped.
    bool OpenHistory(const std::string& path, bool append);
    void Close() { file_.Close(); }
    bool IsOpen() const { return file_.IsOpen(); }
    // Why the last open or write failed (an errno, or platform::kErrorNotRegularFile).
    int LastError() { return file_.LastError(); }

    bool WriteAnswerRecord(int f_number, int level, int step, int expected, int given, int series,
                           const std::string& directory);
    bool WriteAbandonRecord();

  private:
    text::LineFile file_;
};

}  // namespace lesson
