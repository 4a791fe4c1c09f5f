#include "data/UserRecord.h"

#include <cstring>

#include "data/RecordBytes.h"
#include "text/Codepage.h"
#include "text/MessageCodec.h"

namespace data {

UserRecord UserTemplate() {
    return UserRecord{};
}

UserRecord DecodeUserRecord(const uint8_t* b) {
    UserRecord r;
    r.length = LoadLe32(b + 0);
    r.UserNo = LoadLe32(b + 4);
    r.GroupNo = LoadLe32(b + 8);
    r.UserName = LoadText(b + 12, kUserNameSize);
    r.Level = LoadLe32(b + 36);
    r.FirstLevel = LoadLe32(b + 40);
    r.Series = LoadLe32(b + 44);
    r.Step = LoadLe32(b + 48);
    r.Retries = LoadLe32(b + 52);
    r.StepCount = LoadLe32(b + 56);
    r.StepsBefore = LoadLe32(b + 60);
    r.AskLeft = LoadLe32(b + 64);
    r.State = LoadLe32(b + 68);
    r.Total = LoadLe32(b + 72);
    r.TotalWorth = LoadLe32(b + 76);
    r.reserved = LoadLe32(b + 80);
    r.StepStart = LoadLe32(b + 84);
    r.MayConfigure = LoadLe16(b + 88);
    r.password = LoadText(b + kPasswordOffset, kPasswordSize);
    r.Kind = LoadLe16(b + 112);
    std::memcpy(r.after_kind.data(), b + 114, r.after_kind.size());
    r.MaxLevel = LoadLe32(b + 116);
    std::memcpy(r.tail.data(), b + 120, r.tail.size());
    return r;
}

void EncodeUserRecord(const UserRecord& r, uint8_t* b) {
    StoreLe32(b + 0, r.length);
    StoreLe32(b + 4, r.UserNo);
    StoreLe32(b + 8, r.GroupNo);
    StoreText(b + 12, kUserNameSize, r.UserName);
    StoreLe32(b + 36, r.Level);
    StoreLe32(b + 40, r.FirstLevel);
    StoreLe32(b + 44, r.Series);
    StoreLe32(b + 48, r.Step);
    StoreLe32(b + 52, r.Retries);
    StoreLe32(b + 56, r.StepCount);
    StoreLe32(b + 60, r.StepsBefore);
    StoreLe32(b + 64, r.AskLeft);
    StoreLe32(b + 68, r.State);
    StoreLe32(b + 72, r.Total);
    StoreLe32(b + 76, r.TotalWorth);
    StoreLe32(b + 80, r.reserved);
    StoreLe32(b + 84, r.StepStart);
    StoreLe16(b + 88, r.MayConfigure);
    StoreText(b + kPasswordOffset, kPasswordSize, r.password);
    StoreLe16(b + 112, r.Kind);
    std::memcpy(b + 114, r.after_kind.data(), r.after_kind.size());
    StoreLe32(b + 116, r.MaxLevel);
    std::memcpy(b + 120, r.tail.data(), r.tail.size());
}

static std::string Upper(std::string_view typed) {
    std::string s(typed);
    for (char& c : s) c = text::Cp1252Upper(c);
    return s;
}

std::string ScramblePassword(std::string_view typed) {
    std::string s = Upper(typed);
    text::Scramble(s.data(), s.size(), kPasswordSeed);
    return s;
}

std::string UnscramblePassword(std::string_view stored) {
    std::string s(stored);
    text::Unscramble(s.data(), s.size(), kPasswordSeed);
    return s;
}

bool PasswordMatches(std::string_view typed, std::string_view stored) {
    return Upper(typed) == UnscramblePassword(stored);
}

}  // namespace data
