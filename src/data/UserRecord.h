// The 148-byte record of the USERS file (little-endian; 32-bit fields unless said otherwise):
//   0   length, 148            56  StepCount          84  StepStart (C library time)
//   4   UserNo                 60  StepsBefore        88  MayConfigure (16-bit marker)
//   8   GroupNo                64  AskLeft (-1 none)  90  password, scrambled, NUL-terminated
//   12  UserName (24 bytes)    68  State              112 Kind (16-bit)
//   36  Level                  72  Total              114 2 bytes, kept as found
//   40  FirstLevel             76  TotalWorth         116 MaxLevel
//   44  Series                 80  reserved, kept     120 28 bytes, kept as found
//   48  Step                   52  Retries
// The key is GroupNo then UserNo (bytes 8 to 11, then 4 to 7). The password ends before
// Kind: at most 21 characters and its NUL, so that writing Kind never cuts into it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace data {

constexpr int kUserRecordSize = 148;
constexpr int kUserNameSize = 24;
constexpr int kPasswordOffset = 90;
constexpr int kPasswordSize = 22;  // up to Kind at 112
constexpr int kMaxPasswordLength = kPasswordSize - 1;

// Values of State.
constexpr int kStateFinished = -1;
constexpr int kStateNotStarted = 0;
constexpr int kStateBegun = 1;

struct UserRecord {
    int32_t length = kUserRecordSize;
    int32_t UserNo = 1;
    int32_t GroupNo = 1;
    std::string UserName;
    int32_t Level = 1;
    int32_t FirstLevel = 1;
    int32_t Series = 1;
    int32_t Step = 0;
    int32_t Retries = 0;
    int32_t StepCount = 0;
    int32_t StepsBefore = 0;
    int32_t AskLeft = -1;
    int32_t State = 0;
    int32_t Total = 0;
    int32_t TotalWorth = 0;
    int32_t reserved = 0;
    int32_t StepStart = 0;
    int16_t MayConfigure = 0;
    std::string password;  // as stored: scrambled
    int16_t Kind = 0;
    std::array<uint8_t, 2> after_kind{};
    int32_t MaxLevel = 1;
    std::array<uint8_t, 28> tail{};
};

// The template a new user record starts from: length 148, user 1, group 1, Level, FirstLevel,
// Series and MaxLevel 1, AskLeft -1, everything else 0.
UserRecord UserTemplate();
UserRecord DecodeUserRecord(const uint8_t* bytes);
void EncodeUserRecord(const UserRecord& record, uint8_t* bytes);

// The seed of the stored passwords (the password window unscrambles with it).
constexpr int32_t kPasswordSeed = 7391;
// A typed password as stored: upper-cased (ASCII and Windows-1252 letters) and scrambled.
std::string ScramblePassword(std::string_view typed);
// The stored password made readable again (upper case).
std::string UnscramblePassword(std::string_view stored);
// The comparison the password window makes: typed text upper-cased against the stored one.
bool PasswordMatches(std::string_view typed, std::string_view stored);

}  // namespace data
