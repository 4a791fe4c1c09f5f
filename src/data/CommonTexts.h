// Numbers of the common texts (the language's COMMON message file) the player shows, named
// after their use; kCommonTextsUsed lists every one, so a course can be checked for them.
#pragma once

namespace data {

inline constexpr int kTextCaption = 1;          // the main window's caption
inline constexpr int kTextSplashPicture = 2;    // the splash picture's name
inline constexpr int kTextSplashLine = 3;       // the splash's second line
inline constexpr int kTextNewLearner = 4;       // welcome of a learner who never began
inline constexpr int kTextStartSound = 5;       // the start sound (the product name)
inline constexpr int kTextSoundClose = 6;       // the sound played at the end of the run
inline constexpr int kTextTitle = 7;            // the application title (caption, 4, 7)
inline constexpr int kTextCaptionUser = 8;      // "[<8> - <first line of 9>]" after the caption
inline constexpr int kTextNoUser = 9;           // its first line: no learner chosen yet
inline constexpr int kTextUserListTitle = 13;   // the user list's title
inline constexpr int kTextUserListStatus = 14;  // the user list's status line
inline constexpr int kTextGroup = 16;           // the group label of the user list
inline constexpr int kTextLanguageMenu = 18;    // the Language menu and the options' label
inline constexpr int kTextConfigure = 19;       // the options button and window title
inline constexpr int kTextPrev = 20;            // the Prev button
inline constexpr int kTextNext = 21;            // the Next button
inline constexpr int kTextStop = 22;            // the Stop button
inline constexpr int kTextOptionsMenu = 23;     // the Options menu
inline constexpr int kTextReset = 25;           // the Reset entry and its question
inline constexpr int kTextHelpMenu = 26;        // the Help menu
inline constexpr int kTextTopics = 27;          // the Topics entry
inline constexpr int kTextAbout = 28;           // the About entry
inline constexpr int kTextQuit = 29;            // the Quit entry ("&Quit")
inline constexpr int kTextExitCaption = 30;     // the Exit button and the leaving box
inline constexpr int kTextQuitAsk = 32;         // leave during a lesson?
inline constexpr int kTextStopAsk = 33;         // stop the lesson?
inline constexpr int kTextExitAsk = 34;         // leave the player?
inline constexpr int kTextOk = 35;              // OK of the edit window
inline constexpr int kTextOptionsOk = 36;       // OK of the options window
inline constexpr int kTextCancel = 37;          // Cancel
inline constexpr int kTextUserListHeader = 38;  // the user tree's header
inline constexpr int kTextLearners = 40;        // the learners' column and count label
inline constexpr int kTextLevelColumn = 42;     // the user list's level column
inline constexpr int kTextStatusGroup = 46;     // status bar: the group name
inline constexpr int kTextUnitsLabel = 47;      // options window: unit systems
inline constexpr int kTextSymbolsLabel = 48;    // options window: symbol sets
inline constexpr int kTextUnitChoice1 = 49;     // options window: the unit systems offered
inline constexpr int kTextUnitChoice2 = 50;
inline constexpr int kTextEvaluateLabel = 51;  // options window: evaluation
inline constexpr int kTextSymbolChoice1 = 52;  // options window: the symbol sets offered
inline constexpr int kTextSymbolChoice2 = 53;
inline constexpr int kTextCommentTitle = 54;   // the comment document's window (its name)
inline constexpr int kTextStatusLevel = 55;    // status bar: the level
inline constexpr int kTextStatusScore = 57;    // status bar: total and percentage
inline constexpr int kTextStatusStep = 58;     // status bar (developer): step of steps
inline constexpr int kTextBadParameters = 59;  // a step's parameter line that cannot be read
inline constexpr int kTextLessonEndCaption = 60;
inline constexpr int kTextLessonEnd = 61;
inline constexpr int kTextNewLearnerCaption = 62;
inline constexpr int kTextQuestionTitle = 65;  // the question and comment window's title
inline constexpr int kTextPoints = 68;
inline constexpr int kTextWrongAnswer = 69;
inline constexpr int kTextRight = 71;
inline constexpr int kTextWrong = 72;
inline constexpr int kTextInfoNumber = 75;  // the info panel's number line
inline constexpr int kTextFileError = 76;
inline constexpr int kTextScoreFile = 78;
inline constexpr int kTextSubStepMissing = 79;
inline constexpr int kTextContextSaved = 80;
inline constexpr int kTextServerUnreachable = 81;
inline constexpr int kTextFetching = 82;  // status bar: a file fetched from the server
inline constexpr int kTextUpload = 83;
inline constexpr int kTextBoxCaption = 84;        // the caption of the player's error boxes
inline constexpr int kTextDisplayTooSmall = 88;   // the screen cannot show the stage
inline constexpr int kTextEditTitle = 94;         // the edit window's title
inline constexpr int kTextEditLabel = 95;         // its label
inline constexpr int kTextEditErrorCaption = 96;  // its refusal's caption
inline constexpr int kTextEditError = 97;         // its refusal
inline constexpr int kTextUnitSystem = 101;       // Unit= value selecting the first unit line
inline constexpr int kTextTopicsIcon = 107;       // picture names of the menu entries' icons
inline constexpr int kTextAboutIcon = 108;
inline constexpr int kTextResetIcon = 109;
inline constexpr int kTextPanelShrink = 113;  // tooltips of the panel's collapse button
inline constexpr int kTextPanelGrow = 114;
inline constexpr int kTextLessonCannotOpen = 116;
inline constexpr int kTextScoreKeptAside = 117;
inline constexpr int kTextRecordNotSaved = 118;
inline constexpr int kTextLearnerBusy = 119;
inline constexpr int kTextServerBehind = 120;
inline constexpr int kTextLocalKept = 121;
inline constexpr int kTextRecordDamaged = 122;
inline constexpr int kTextServerWait = 123;
inline constexpr int kTextHistoryNotSaved = 124;
inline constexpr int kTextStillAtStake = 125;  // after a wrong pick: points, picks left

inline constexpr int kCommonTextsUsed[] = {
    kTextCaption,
    kTextSplashPicture,
    kTextSplashLine,
    kTextNewLearner,
    kTextStartSound,
    kTextSoundClose,
    kTextTitle,
    kTextCaptionUser,
    kTextNoUser,
    kTextUserListTitle,
    kTextUserListStatus,
    kTextGroup,
    kTextLanguageMenu,
    kTextConfigure,
    kTextPrev,
    kTextNext,
    kTextStop,
    kTextOptionsMenu,
    kTextReset,
    kTextHelpMenu,
    kTextTopics,
    kTextAbout,
    kTextQuit,
    kTextExitCaption,
    kTextQuitAsk,
    kTextStopAsk,
    kTextExitAsk,
    kTextOk,
    kTextOptionsOk,
    kTextCancel,
    kTextUserListHeader,
    kTextLearners,
    kTextLevelColumn,
    kTextStatusGroup,
    kTextUnitsLabel,
    kTextSymbolsLabel,
    kTextUnitChoice1,
    kTextUnitChoice2,
    kTextEvaluateLabel,
    kTextSymbolChoice1,
    kTextSymbolChoice2,
    kTextCommentTitle,
    kTextStatusLevel,
    kTextStatusScore,
    kTextStatusStep,
    kTextBadParameters,
    kTextLessonEndCaption,
    kTextLessonEnd,
    kTextNewLearnerCaption,
    kTextQuestionTitle,
    kTextPoints,
    kTextWrongAnswer,
    kTextRight,
    kTextWrong,
    kTextInfoNumber,
    kTextFileError,
    kTextScoreFile,
    kTextSubStepMissing,
    kTextContextSaved,
    kTextServerUnreachable,
    kTextFetching,
    kTextUpload,
    kTextBoxCaption,
    kTextDisplayTooSmall,
    kTextEditTitle,
    kTextEditLabel,
    kTextEditErrorCaption,
    kTextEditError,
    kTextUnitSystem,
    kTextTopicsIcon,
    kTextAboutIcon,
    kTextResetIcon,
    kTextPanelShrink,
    kTextPanelGrow,
    kTextLessonCannotOpen,
    kTextScoreKeptAside,
    kTextRecordNotSaved,
    kTextLearnerBusy,
    kTextServerBehind,
    kTextLocalKept,
    kTextRecordDamaged,
    kTextServerWait,
    kTextHistoryNotSaved,
    kTextStillAtStake,
};

// The choices the options window offers, each "Name (CODE)".
inline constexpr int kUnitChoiceTexts[] = {kTextUnitChoice1, kTextUnitChoice2};
inline constexpr int kSymbolChoiceTexts[] = {kTextSymbolChoice1, kTextSymbolChoice2};

}  // namespace data
