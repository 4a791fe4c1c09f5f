// Numbers of the common texts the lesson session shows (the language's COMMON file).
#pragma once

namespace lesson {

inline constexpr int kTextNewLearner = 4;
inline constexpr int kTextSoundClose = 6;
inline constexpr int kTextExitCaption = 30;
inline constexpr int kTextQuitAsk = 32;
inline constexpr int kTextStopAsk = 33;
inline constexpr int kTextExitAsk = 34;
inline constexpr int kTextBadParameters = 59;
inline constexpr int kTextLessonEndCaption = 60;
inline constexpr int kTextLessonEnd = 61;
inline constexpr int kTextNewLearnerCaption = 62;
inline constexpr int kTextPoints = 68;
inline constexpr int kTextWrongAnswer = 69;
inline constexpr int kTextRight = 71;
inline constexpr int kTextWrong = 72;
inline constexpr int kTextFileError = 76;
inline constexpr int kTextScoreFile = 78;
inline constexpr int kTextSubStepMissing = 79;
inline constexpr int kTextContextSaved = 80;
inline constexpr int kTextServerUnreachable = 81;
inline constexpr int kTextUpload = 83;
inline constexpr int kTextUnitSystem = 101;
inline constexpr int kTextLessonCannotOpen = 116;
inline constexpr int kTextScoreKeptAside = 117;
inline constexpr int kTextRecordNotSaved = 118;
inline constexpr int kTextLearnerBusy = 119;
inline constexpr int kTextServerBehind = 120;
inline constexpr int kTextLocalKept = 121;
inline constexpr int kTextRecordDamaged = 122;
inline constexpr int kTextServerWait = 123;

}  // namespace lesson
