// Everything the main window shows of a lesson, as the lesson flow decides it. The window
// draws this state and forwards clicks, keys and the posted messages back to the flow.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "text/MessageFile.h"

namespace lesson {

// A finished text with its styled spans.
struct RichText {
    std::string text;
    std::vector<text::TextSpan> spans;
};

// Where the keyboard focus goes.
enum class Focus { kNone, kAnswer1, kNext, kStop };

// Colours (0x00BBGGRR).
inline constexpr int32_t kColourRed = 0x0000FF;
inline constexpr int32_t kColourGreen = 0x00FF00;

// The learner's standing in the status bar.
struct LearnerStanding {
    std::string group_name;
    std::string user_name;
    int level = 0;
    int step = 0;
    int steps = 0;  // steps of the level
    int total = 0;
    int total_worth = 0;
};

// The answer window after an answer to a practical or estimate step: this step's own texts and
// what happened to this answer, never an earlier step's.
struct AnswerWindow {
    std::string caption;  // the window's title
    RichText question;    // the step's question
    RichText answer;      // what was answered: the slider's text, or the picked menu entry
    std::string verdict;  // right (with the points earned) or wrong
    std::string stake;    // after a wrong pick: what the step is still worth, the picks left
    int32_t verdict_colour = 0;
    bool slider = false;  // an estimate's: its slider stays shown
    RichText comment;     // the step's comment on this answer
};

struct LessonScreen {
    bool window_visible = false;
    bool control_panel = false;  // Panel1: question, answers and command buttons
    RichText question;
    std::array<RichText, 6> answers;
    std::array<bool, 6> answer_visible{};  // answer label and button j + 1
    std::array<bool, 6> button_enabled{};
    int marked_answer = 0;      // the answer framed in the verdict's colour, 0 for none
    bool marked_right = false;  // the marked answer is the right one
    std::string verdict;        // Panel2; empty when cleared
    int32_t verdict_colour = 0;
    bool next_enabled = false;
    bool prev_enabled = false;
    bool stop_enabled = false;
    Focus focus = Focus::kNone;
    bool side_panel = false;  // Panel11
    bool side_buttons_enabled = false;
    std::string hint;            // the hint label of practical steps
    AnswerWindow answer_window;  // as last shown after a practical or estimate answer

    bool info_visible = false;  // PanelInfo
    std::string info_text;
    std::string info_placement;  // "X%d Y%d W%d", "X%d Y%d" or "Y%d"
    int info_p_number = 0;
    bool info_hand_cursor = false;
    std::string comment_name = "-";

    bool status_simple = true;  // simple status bar with status_text
    std::string status_text;
    LearnerStanding standing;
    std::string standing_text;  // the panel after the points
    std::string status_note;    // the last panel: saved context, upload

    bool config_menu = false;
    bool timer_enabled = false;
    int timer_interval_ms = 3000;
};

}  // namespace lesson
