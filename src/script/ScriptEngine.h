// The lesson script engine: runs a compiled script one instruction per timer tick on the GUI
// thread, interleaved with the animation of the stage objects the script creates.
//
// The engine owns its stage objects, script buffer, call stack and message file. It reaches
// the main window only through StageHost; the tick is a plain method that tests call directly.
#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "script/Arguments.h"
#include "script/CommandTable.h"
#include "script/ScriptFile.h"
#include "script/StageHost.h"
#include "script/StageObject.h"

class QTimer;
class QSlider;

namespace data {
class Course;
}  // namespace data
namespace text {
class MessageFile;
class TraceLog;
}  // namespace text

namespace script {

// Error codes of the engine.
enum EngineError : int {
    kErrUnknownOpcode = 1,
    kErrPicture = 2,
    kErrScript = 3,
    kErrCreate = 8,
    kErrExists = 13,
    kErrNotFound = 15,
    kErrNesting = 20,  // a fifth nested call or a sixth nested loop
};

// The engine's texts (VTE) it shows, each with the kinds of the arguments it passes ('s' a
// text, 'd' a number): the error messages of the codes above and the error box's caption.
struct EngineTextUse {
    int number;
    const char* arguments;
};
inline constexpr EngineTextUse kEngineTextsUsed[] = {
    {1, "s"},    {2, "s"}, {3, "s"},  {4, "sdsd"}, {5, "sdssd"}, {6, "dssd"},
    {7, "dssd"}, {8, ""},  {9, "ss"}, {10, "ss"},  {11, "ss"},   {12, "ssd"},
};

inline constexpr int kMaxObjects = 100;
inline constexpr int kMaxGauges = 5;
inline constexpr int kMaxCallDepth = 4;  // nested calls; call levels 0..4
inline constexpr int kMaxLoopDepth = 5;
inline constexpr int kDefaultInterval = 50;
// Bitmaps are never stretched beyond this many pixels a side.
inline constexpr int kMaxBitmapSide = 2048;

class ScriptEngine {
  public:
    struct CallFrame {
        std::string path;
        int32_t offset = 0;
        size_t loop_depth = 0;
    };

    struct Gauge {
        int object_slot = -1;
        int kind = kBmp;
        bool vertical = false;
        int x = 0, y = 0, width = 0;
        int minimum = 0, maximum = 0, position = 0;
        bool visible = false;
        QPointer<QSlider> slider;
    };

    // The engine reads the course's settings, texts and files, draws its random numbers from
    // the course's generator and traces into its trace log (with the Trace option).
    ScriptEngine(data::Course& course, StageHost* host);
    ~ScriptEngine();
    ScriptEngine(const ScriptEngine&) = delete;
    ScriptEngine& operator=(const ScriptEngine&) = delete;

    data::Course& Course() const { return course_; }
    // Trace lines go to the course's trace log (when the Trace option is set), or to sink when
    // one is given.
    void SetTraceSink(std::function<void(const std::string&)> sink) {
        trace_sink_ = std::move(sink);
    }
    // Millisecond tick counter (default: a monotonic clock).
    void SetClock(std::function<int64_t()> clock) { clock_ = std::move(clock); }

    // The stage: window (parent of the controls; may be null), panel control (may be null),
    // the background picture everything is drawn on, and a callback after each drawing pass.
    void Bind(QWidget* stage, QWidget* panel, QImage* picture,
              std::function<void()> picture_changed = {});

    // Reduced motion: moves, size changes and counting number displays reach their end state
    // at once instead of stepping there tick by tick (for learners who need a calm screen).
    // Read from the program's INI at creation (ReduceMotion=, off by default).
    void SetReduceMotion(bool on) { reduce_motion_ = on; }
    bool ReduceMotion() const { return reduce_motion_; }

    // Resets: timer 50 ms and stopped, every object except background and panel removed.
    void Start();
    // Opens a script by name; offset -1 starts at the beginning.
    void OpenScript(const std::string& name, long offset = -1);
    // Runs compiled bytes as the step's script (the runner's and the fuzzer's entry).
    void OpenScriptData(std::vector<uint8_t> bytes, const std::string& name);
    void Refresh();
    void SetBackgroundColour(int32_t bgr);
    void SetBackgroundSize(int width, int height, int32_t bgr);
    void DrawBackground();
    bool ScriptAtEnd() const;
    bool SaveObjects(const std::string& path);
    bool RestoreObjects(const std::string& path);

    // One timer tick: an interpreter step, then the animation half.
    void Tick();
    void InterpreterStep();
    void Animate();

    // The pop-up menu handler of an image object: entry index of its menu was picked.
    void PickMenuEntry(int kind, int id, int index);
    // Sets an object's picked value back to -1 once the pick has been handled.
    void ClearPick(int kind, int id);
    // The learner's picks in pop-up menus since the last Start.
    int TryCount() const { return try_count_; }

    // State, for the runner and tests.
    bool TimerActive() const;
    int TimerInterval() const;
    bool Running() const { return running_; }
    bool Ended() const { return ended_; }
    bool DialogOpen() const { return dialog_open_; }
    bool CaseTaken() const { return case_taken_; }
    int64_t WakeUp() const { return wake_up_; }
    int SourceLine() const { return source_line_; }
    int CallDepth() const { return static_cast<int>(calls_.size()); }
    size_t LoopDepth() const { return loop_stack_.size(); }
    int LastError() const { return last_error_; }
    const ScriptFile& File() const { return file_; }
    const std::vector<std::string>& Variables(int level) const;
    std::vector<std::string>& MutableVariables(int level);
    const StageObject* Find(int kind, int id) const;
    // Objects of a kind in drawing order.
    std::vector<const StageObject*> ObjectsInOrder(int kind) const;
    const std::vector<int>& Identifiers(int kind) const { return kinds_[kind].ids; }
    const std::vector<int>& MovingList(int kind) const { return kinds_[kind].moving; }
    bool AnythingMoving() const;
    // Every object in the moving lists has finished or runs in the background.
    bool AllMovesDone() const;
    const std::array<Gauge, kMaxGauges>& Gauges() const { return gauges_; }
    const QImage* Picture() const { return picture_; }

    // The configuration value of index (LANG = 0 .. RAND = 15); empty beyond the table.
    std::string ConfigValue(int index) const;
    // Replaces the first "%NAME%" of each configuration name by its value.
    std::string Substitute(const std::string& text) const;

  private:
    struct KindTable {
        std::vector<int> ids;     // position = slot; -1 = free
        std::vector<int> order;   // slots, drawn first to last
        std::vector<int> moving;  // slots being animated
        std::array<std::unique_ptr<StageObject>, kMaxObjects> objects;
    };

    // Interpreter (ScriptEngine.cpp).
    bool Tracing() const;
    bool Developer() const;
    bool AutoPlay() const;
    void Trace(const char* format, ...) __attribute__((format(printf, 2, 3)));
    int64_t Now() const;
    bool LoadScript(const std::string& name, long offset, bool top_level);
    void BeginRun();
    void EndOfScript();
    void ExecuteKeyword(int op, const Arguments& args);
    std::string KeywordValue(int v) const;
    void Jump(int target);
    void StoreResult(int slot, const std::string& value);
    std::vector<std::string>& CurrentVariables();
    void ReportError(int code, int opcode, int id, const std::string& str);
    void ShowError(int code, const std::string& text);
    std::string ErrorText(int code, int opcode, int id, const std::string& str);
    void EnsureMessageFile();
    // The engine's message file is open and holds a text numbered number.
    bool EngineHasText(int number) const;

    // Commands (ScriptEngineCommands.cpp).
    void ExecuteCommand(int op, int slot, const Arguments& args, int id, int kind);
    void ExecuteGlobal(int op, int slot, const Arguments& args);
    void ExecuteObject(int op, int slot, const Arguments& args, int id, int kind, StageObject* o);
    std::string AskDialog(const Arguments& args, bool placed);
    std::string ReadMessage(int number, const std::string& file);
    void CallScript(const std::string& name);
    void SetScreenCursor(const std::string& name);
    bool SetObjectCursor(StageObject& o, const std::string& name);
    void TagMenu(StageObject& o, const std::string& name, int op);
    void CreateGauge(StageObject& o, const Arguments& args, bool vertical);

    // Objects (ScriptEngineObjects.cpp).
    StageObject* FindObject(int kind, int id);
    StageObject* Allocate(int kind, int id);
    StageObject* CreateObject(int op, int kind, int id, const Arguments& args,
                              StageObject* existing);
    void RemoveObject(StageObject& o);
    void RemoveAll(bool keep_base);
    void CreateBaseObjects();
    bool LoadBitmap(StageObject& o, const std::string& path, int x, int y);
    bool LoadMask(StageObject& o, bool on);
    void CreateControl(StageObject& o);
    void DrawObject(StageObject& o, QImage& target);
    void EraseObject(const StageObject& o);
    void SetPosition(StageObject& o, int x, int y);
    bool SetHeight(StageObject& o, int value, bool remember);
    bool SetWidth(StageObject& o, int value, bool remember);
    bool Flatten(StageObject& o, int value, bool remember);
    bool NarrowTo(StageObject& o, int value, bool remember);
    void ResizeWorking(StageObject& o);
    void SetVisible(StageObject& o, bool visible);
    void SetHint(StageObject& o, const std::string& text);
    void EnableHint(StageObject& o, bool on);
    void SyncControl(StageObject& o);
    void AddMoving(StageObject& o);
    void RemoveMoving(StageObject& o);
    void Reorder(StageObject& o, int position);
    void LoadPictures(StageObject& o, bool series, const std::string& name);
    void DrawNumber(StageObject& o, float value);
    void FillColour(StageObject& o, int32_t bgr);
    std::string NativeOf(const std::string& courseware_path) const;

    // Animation (ScriptEngineAnimation.cpp).
    bool AdvanceObject(StageObject& o);
    void StartNumberDisplay(StageObject& o, int op, const Arguments& args);

    data::Course& course_;
    StageHost* host_;
    std::function<void(const std::string&)> trace_sink_;
    std::function<int64_t()> clock_;
    std::unique_ptr<text::MessageFile> vte_;
    std::string vte_language_;

    QPointer<QWidget> stage_;
    QPointer<QWidget> panel_;
    QImage own_picture_;
    QImage* picture_ = nullptr;
    std::function<void()> picture_changed_;
    QImage background_copy_;

    ScriptFile file_;
    std::unique_ptr<QTimer> timer_;
    int interval_ = kDefaultInterval;
    bool timer_active_ = false;
    bool list_update_ = false;
    int64_t wake_up_ = 0;
    bool running_ = true;
    bool dialog_open_ = false;
    bool ended_ = false;
    bool case_taken_ = false;
    std::vector<int> loop_stack_;
    std::array<int, kMaxLoopDepth + 1> loop_counters_{};
    std::array<std::vector<std::string>, kMaxCallDepth + 1> variables_;
    std::vector<CallFrame> calls_;
    std::array<KindTable, kKindCount> kinds_;
    std::array<Gauge, kMaxGauges> gauges_;
    int source_line_ = 0;
    int last_error_ = 0;
    int current_op_ = -1;
    bool cursor_hidden_ = false;
    int try_count_ = 0;
    bool reduce_motion_ = false;
};

}  // namespace script
