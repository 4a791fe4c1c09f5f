// The score file SCO<user>.<group>: the score book's image, little-endian 32-bit integers, no
// header, exactly 16 + 24n bytes for a step count n (1 to 1023):
//   offset 0        8   LevelSteps[0..1]
//   offset 8        8   LevelState[0..1]
//   offset 16       4n  StepScore[0..n-1]
//   offset 16 + 4n  4n  StepWorth
//   offset 16 + 8n  4n  StepBonus
//   offset 16 + 12n 4n  StepTime
//   offset 16 + 16n 4n  StepVisits
//   offset 16 + 20n 4n  StepStatus
// n is not stored: the reader takes it from the user record, saved before the score file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "data/ScoreBook.h"

#include "platform/Status.h"

namespace data {

// True for the step counts a score file can hold: 0 < n < 1024.
bool IsScoreStepCount(int n);
// 16 + 24n.
size_t ScoreFileSize(int n);

// The file's bytes for step count n; empty when n is out of range.
std::string EncodeScores(const ScoreBook& book, int n);
// Fills book from bytes written for step count n. False (book untouched) when n is out of
// range or bytes is not exactly ScoreFileSize(n) long: a file written for another step count
// would put every per-step array at the wrong offset.
bool DecodeScores(std::string_view bytes, int n, ScoreBook& book);

// Reads the score file at path (either path form). On failure the status holds an errno value
// (ERANGE for a step count out of range, EBADMSG for a file of the wrong size) and the path, and
// book is untouched.
platform::Status ReadScoreFile(std::string_view path, int n, ScoreBook& book);
// Writes the score file at path, creating missing folders. The bytes go to a temporary file in
// the same folder that is renamed into place, so the old file stays whole until the new one is
// complete. A file that exists read-only is not replaced (EACCES). On failure the status holds
// an errno value (ERANGE for a step count out of range) and the path.
platform::Status WriteScoreFile(std::string_view path, int n, const ScoreBook& book);

}  // namespace data
