#include "data/ScoreFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <fstream>
#include <iterator>

#include "platform/LittleEndian.h"
#include "platform/Path.h"
#include "platform/ReadFile.h"
#include "platform/ReplaceFile.h"

namespace data {
namespace {

template <typename Array>
void PutArray(std::string& out, const Array& array, int count) {
    for (int i = 0; i < count; ++i) platform::AppendLe32(out, uint32_t(array[i]));
}

template <typename Array>
const unsigned char* GetArray(const unsigned char* p, Array& array, int count) {
    for (int i = 0; i < count; ++i, p += 4) array[i] = platform::LoadLeI32(p);
    return p;
}

}  // namespace

bool IsScoreStepCount(int n) {
    return n > 0 && n < kStepCapacity;
}

size_t ScoreFileSize(int n) {
    return 16 + 24 * static_cast<size_t>(n < 0 ? 0 : n);
}

std::string EncodeScores(const ScoreBook& book, int n) {
    std::string out;
    if (!IsScoreStepCount(n)) return out;
    out.reserve(ScoreFileSize(n));
    PutArray(out, book.LevelSteps, kLevelCapacity);
    PutArray(out, book.LevelState, kLevelCapacity);
    for (const auto* array : {&book.StepScore, &book.StepWorth, &book.StepBonus, &book.StepTime,
                              &book.StepVisits, &book.StepStatus}) {
        PutArray(out, *array, n);
    }
    return out;
}

bool DecodeScores(std::string_view bytes, int n, ScoreBook& book) {
    if (!IsScoreStepCount(n) || bytes.size() != ScoreFileSize(n)) return false;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    p = GetArray(p, book.LevelSteps, kLevelCapacity);
    p = GetArray(p, book.LevelState, kLevelCapacity);
    for (auto* array : {&book.StepScore, &book.StepWorth, &book.StepBonus, &book.StepTime,
                        &book.StepVisits, &book.StepStatus}) {
        p = GetArray(p, *array, n);
    }
    return true;
}

platform::Status ReadScoreFile(std::string_view path, int n, ScoreBook& book) {
    const std::string what(path);
    if (!IsScoreStepCount(n)) return {ERANGE, what};
    // Only a regular file: a FIFO in its place would wait for a writer for ever.
    std::string bytes;
    if (const int error = platform::ReadRegularFile(platform::NativePath(path), bytes))
        return {error, what};
    if (!DecodeScores(bytes, n, book)) return {EBADMSG, what};
    return {};
}

platform::Status WriteScoreFile(std::string_view path, int n, const ScoreBook& book) {
    const std::string what(path);
    if (!IsScoreStepCount(n)) return {ERANGE, what};
    const std::string native = platform::NativePath(path);
    const size_t slash = native.rfind('/');
    if (slash != std::string::npos && slash > 0 &&
        !platform::CreateFolders(native.substr(0, slash))) {
        return {errno != 0 ? errno : ENOENT, what};
    }
    struct stat st;
    if (::stat(native.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return {EISDIR, what};
        if (::access(native.c_str(), W_OK) != 0) return {EACCES, what};
    }
    if (!platform::ReplaceFile(native, EncodeScores(book, n)))
        return {errno != 0 ? errno : EIO, what};
    return {};
}

}  // namespace data
