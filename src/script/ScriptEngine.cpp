#include "script/ScriptEngine.h"

#include "platform/AsciiCase.h"
#include "script/ImageControl.h"
#include "script/MotionSetting.h"

#include <QCoreApplication>
#include <QSlider>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "data/ConfigTable.h"
#include "data/Course.h"
#include "data/OptionFlags.h"
#include "text/MessageFile.h"
#include "text/TraceLog.h"

namespace script {

namespace {

std::string CommandName(int op) {
    if (const CommandInfo* info = FindInstruction(op)) return info->name;
    return "#" + std::to_string(op);
}

// Error texts used when the engine's message file is missing or lacks the record.
const char* FallbackText(int number) {
    switch (number) {
        case 1:
            return "Script %s cannot be opened";
        case 2:
            return "Picture %s cannot be loaded";
        case 3:
            return "Message file %s not found";
        case 4:
            return "Unknown command %s (%d) in %s, line %d";
        case 5:
            return "Object %s (%d) already exists: %s in %s, line %d";
        case 6:
            return "Object %d not found: %s in %s, line %d";
        case 7:
            return "Object %d cannot be created: %s in %s, line %d";
        case 8:
            return "Lesson script error";
        case 9:
            return "Mask of %s missing: %s";
        case 10:
            return "Objects not saved to %s: %s";
        case 11:
            return "Object picture %s not restored: %s";
        case 12:
            return "Nesting too deep: %s in %s, line %d";
        default:
            return "";
    }
}

}  // namespace

ScriptEngine::ScriptEngine(data::Course& course, StageHost* host) : course_(course), host_(host) {
    own_picture_ = QImage(1008, 749, QImage::Format_RGB32);
    own_picture_.fill(Qt::white);
    picture_ = &own_picture_;
    timer_ = std::make_unique<QTimer>();
    QObject::connect(timer_.get(), &QTimer::timeout, [this] { Tick(); });
    EnsureMessageFile();
    reduce_motion_ = ReadReduceMotion(course_.IniPath());
}

ScriptEngine::~ScriptEngine() {
    timer_->stop();
    list_update_ = true;
    for (auto& g : gauges_) delete g.slider;
    for (auto& kt : kinds_) {
        for (auto& o : kt.objects) {
            if (o) delete o->control;
        }
    }
    if (vte_) vte_->Close();
}

void ScriptEngine::EnsureMessageFile() {
    std::string lang = ConfigValue(data::kLanguage);
    if (vte_ && vte_language_ == lang) return;
    vte_language_ = lang;
    vte_ = std::make_unique<text::MessageFile>();
    course_.Prepare(*vte_);
    vte_->InstallFormats(text::MessageFile::EngineFormats());
    if (!lang.empty() && vte_->Open(course_.MessageIn(lang, "VTE"))) {
        vte_->InstallFormats(text::MessageFile::EngineFormats());
        // A version unlike the main file's is reported by the message file; its texts serve.
        text::MessageFile& common = course_.Common();
        if (common.State() == text::MessageFile::kOpen) {
            vte_->CheckVersion(common.MajorVersion(), common.MinorVersion());
        }
    }
}

bool ScriptEngine::EngineHasText(int number) const {
    return vte_ && vte_->State() == text::MessageFile::kOpen && vte_->RecordSize(number) > 5;
}

void ScriptEngine::Bind(QWidget* stage, QWidget* panel, QImage* picture,
                        std::function<void()> picture_changed) {
    stage_ = stage;
    panel_ = panel;
    picture_ = picture ? picture : &own_picture_;
    if (picture_->format() != QImage::Format_RGB32) {
        *picture_ = picture_->convertToFormat(QImage::Format_RGB32);
    }
    picture_changed_ = std::move(picture_changed);
}

// ---- settings -------------------------------------------------------------------------------

bool ScriptEngine::Tracing() const {
    return course_.Has(data::Trace) && (trace_sink_ || course_.Trace().IsOpen());
}
bool ScriptEngine::Developer() const {
    return course_.Has(data::Developer);
}
bool ScriptEngine::AutoPlay() const {
    return course_.Has(data::AutoPlay);
}

void ScriptEngine::Trace(const char* format, ...) {
    if (!Tracing()) return;
    va_list args;
    va_start(args, format);
    std::string line = text::FormatStringV(format, args);
    va_end(args);
    if (trace_sink_) {
        trace_sink_(line);
    } else {
        course_.Trace().AppendLine(line);
    }
}

int64_t ScriptEngine::Now() const {
    if (clock_) return clock_();
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string ScriptEngine::ConfigValue(int index) const {
    if (index < 0 || index >= data::kConfigKeyCount) return {};
    return course_.Config().Get(index);
}

std::string ScriptEngine::Substitute(const std::string& text) const {
    std::string out = text;
    for (size_t i = 0; i < kConfigNames.size(); ++i) {
        std::string key = std::string("%") + kConfigNames[i] + "%";
        size_t at = out.find(key);
        if (at != std::string::npos) out.replace(at, key.size(), ConfigValue(static_cast<int>(i)));
    }
    return out;
}

// ---- timer ----------------------------------------------------------------------------------

bool ScriptEngine::TimerActive() const {
    return timer_active_;
}
int ScriptEngine::TimerInterval() const {
    return interval_;
}

namespace {
void ApplyTimer(QTimer& timer, bool active, int interval) {
    if (!QCoreApplication::instance()) return;
    timer.setInterval(interval);
    if (active && !timer.isActive()) timer.start();
    if (!active) timer.stop();
}
}  // namespace

// ---- lifecycle ------------------------------------------------------------------------------

void ScriptEngine::Start() {
    EnsureMessageFile();
    interval_ = kDefaultInterval;
    timer_active_ = false;
    ApplyTimer(*timer_, false, interval_);
    list_update_ = false;
    running_ = true;
    dialog_open_ = false;
    wake_up_ = 0;
    try_count_ = 0;
    for (auto& kt : kinds_) kt.moving.clear();
    file_.Clear();
    calls_.clear();
    loop_stack_.clear();
    RemoveAll(true);
    CreateBaseObjects();
}

void ScriptEngine::OpenScript(const std::string& name, long offset) {
    // A step's script starts a fresh run: nothing to return to, no loop in progress.
    calls_.clear();
    loop_stack_.clear();
    LoadScript(name, offset, true);
}

// Starts executing the script just loaded, with fresh variables at this call level.
void ScriptEngine::BeginRun() {
    running_ = true;
    dialog_open_ = false;
    wake_up_ = 0;
    ended_ = false;
    case_taken_ = false;
    CurrentVariables().clear();
    timer_active_ = true;
    ApplyTimer(*timer_, true, interval_);
}

void ScriptEngine::OpenScriptData(std::vector<uint8_t> bytes, const std::string& name) {
    calls_.clear();
    loop_stack_.clear();
    file_.Assign(std::move(bytes), name);
    Trace("LDE# open %s @ %ld", name.c_str(), -1L);
    BeginRun();
}

bool ScriptEngine::LoadScript(const std::string& name, long offset, bool top_level) {
    (void)top_level;
    const std::string& data_dir = course_.Product().data_dir;
    ScriptLocation loc =
        LocateScript(name, data_dir.empty() ? "." : data_dir, ConfigValue(data::kDirectory));
    if (loc.ends_step) {
        if (host_) host_->ScriptEnded();
        return false;
    }
    ScriptFile next;
    int error = 0;
    if (!next.Load(course_.Resolve(loc.path), &error)) {
        ReportError(kErrScript, -1, -1, loc.path);
        return false;
    }
    // The script keeps the name the course gave it (traces and returns from calls use it).
    std::vector<uint8_t> bytes = next.Bytes();
    file_.Assign(std::move(bytes), loc.path);
    Trace("LDE# open %s @ %ld", name.c_str(), offset);
    if (offset != -1) file_.Seek(offset, 0);
    BeginRun();
    return true;
}

bool ScriptEngine::ScriptAtEnd() const {
    return running_ && file_.Offset() == file_.Size();
}

std::vector<std::string>& ScriptEngine::CurrentVariables() {
    return variables_[std::min<size_t>(calls_.size(), kMaxCallDepth)];
}

const std::vector<std::string>& ScriptEngine::Variables(int level) const {
    return variables_[static_cast<size_t>(std::clamp(level, 0, kMaxCallDepth))];
}
std::vector<std::string>& ScriptEngine::MutableVariables(int level) {
    return variables_[static_cast<size_t>(std::clamp(level, 0, kMaxCallDepth))];
}

// ---- tick -----------------------------------------------------------------------------------

void ScriptEngine::Tick() {
    Trace("start %ld", static_cast<long>(Now()));
    InterpreterStep();
    Animate();
}

void ScriptEngine::InterpreterStep() {
    if (wake_up_ != 0) {
        if (wake_up_ >= Now()) return;
        wake_up_ = 0;
    }
    if (!running_) running_ = AllMovesDone();
    if (!running_ || dialog_open_ || ended_ || file_.Path().empty()) return;

    const size_t start = file_.Offset();
    Trace("LDE# read %s @ %ld", file_.Name().c_str(), static_cast<long>(start));
    int16_t op = -1;
    if (file_.ReadInt16(op) == 0) {
        EndOfScript();
        return;
    }
    const CommandInfo* info = FindInstruction(op);
    if (!info) {
        current_op_ = op;
        ReportError(kErrUnknownOpcode, op, -1, "");
        return;
    }
    current_op_ = op;
    Arguments args;
    if (IsKeyword(op)) {
        DecodeKeywordArguments(file_, info->signature, args);
        Trace("LDE# ##%s (%s), param %d", info->name, args.trace.c_str(), args.count);
        ExecuteKeyword(op, args);
        return;
    }
    int16_t slot = -1;
    file_.ReadInt16(slot);
    DecodeCommandArguments(file_, info->signature, CurrentVariables(), args);
    if (info->global) {
        Trace("LDE# %s (%s), param %d", info->name, args.trace.c_str(), args.count);
        ExecuteCommand(op, slot, args, -1, -1);
        return;
    }
    int16_t id = -1, kind = -1;
    file_.ReadInt16(id);
    file_.ReadInt16(kind);
    StageObject* o = FindObject(kind, id);
    if (o && !o->rec.finished && !o->rec.daemon) {
        // Wait for the object to finish moving, then run this instruction again.
        running_ = false;
        file_.Seek(static_cast<int64_t>(start), 0);
        return;
    }
    if (o) {
        Trace("LDE# %d.%s (%s), param %d (sync %d, daemon %d)", id, info->name, args.trace.c_str(),
              args.count, o->rec.finished ? 1 : 0, o->rec.daemon ? 1 : 0);
    } else {
        Trace("LDE# %d.%s (%s), param %d (new object)", id, info->name, args.trace.c_str(),
              args.count);
    }
    ExecuteCommand(op, slot, args, id, kind);
}

void ScriptEngine::EndOfScript() {
    if (!calls_.empty()) {
        CallFrame frame = calls_.back();
        calls_.pop_back();
        if (loop_stack_.size() > frame.loop_depth) loop_stack_.resize(frame.loop_depth);
        LoadScript(frame.path, frame.offset, false);
        return;
    }
    if (!AnythingMoving()) {
        timer_active_ = false;
        ApplyTimer(*timer_, false, interval_);
    }
    if (!ended_) {
        ended_ = true;
        if (host_) host_->ScriptEnded();
    }
}

bool ScriptEngine::AllMovesDone() const {
    for (const auto& kt : kinds_) {
        for (int slot : kt.moving) {
            const StageObject* o = kt.objects[slot].get();
            if (o && !o->rec.finished && !o->rec.daemon) return false;
        }
    }
    return true;
}

bool ScriptEngine::AnythingMoving() const {
    for (const auto& kt : kinds_) {
        if (!kt.moving.empty()) return true;
    }
    return false;
}

// ---- keywords -------------------------------------------------------------------------------

std::string ScriptEngine::KeywordValue(int v) const {
    if (v > 399) {
        const auto& vars = variables_[std::min<size_t>(calls_.size(), kMaxCallDepth)];
        int index = v - 401;
        return index >= 0 && index < static_cast<int>(vars.size()) ? vars[index] : std::string();
    }
    return ConfigValue(v - 200);
}

void ScriptEngine::Jump(int target) {
    file_.Seek(target, 0);
}

void ScriptEngine::ExecuteKeyword(int op, const Arguments& args) {
    switch (op) {
        case kKwIf: {
            std::string value = KeywordValue(args.Int(0));
            Trace("LDE# sval:%s data:%s", args.text.c_str(), value.c_str());
            if (!platform::EqualNoCase(args.text, value)) Jump(args.Int(1));
            break;
        }
        case kKwCase: {
            if (case_taken_) break;
            std::string value = KeywordValue(args.Int(0));
            if (!platform::EqualNoCase(args.text, value)) {
                Jump(args.Int(1));
            } else {
                case_taken_ = true;
            }
            break;
        }
        case kKwEndCase:
            Jump(args.Int(0));
            case_taken_ = true;
            break;
        case kKwEndLoop:
        case kKwEndSyncLoop:
        case kKwGoTo:
            Jump(args.Int(0));
            case_taken_ = false;
            break;
        case kKwLoop:
        case kKwSyncLoop: {
            const int count = args.Int(0);
            const int exit = args.Int(1);
            auto it = std::find(loop_stack_.begin(), loop_stack_.end(), exit);
            if (it != loop_stack_.end()) {
                // Loops left by a jump above this one are no longer running.
                loop_stack_.erase(it + 1, loop_stack_.end());
                int& c = loop_counters_[loop_stack_.size()];
                if (c > 0) {
                    if (c == 1) {
                        loop_stack_.pop_back();
                        Jump(exit);
                    }
                    --c;
                }
            } else if (loop_stack_.size() >= static_cast<size_t>(kMaxLoopDepth)) {
                ReportError(kErrNesting, op, -1, "");
                Jump(exit);
            } else {
                loop_stack_.push_back(exit);
                loop_counters_[loop_stack_.size()] = count;
            }
            break;
        }
        case kKwTagEntete:
        case kKwTagEpitete:
            Trace("LDE# ##%s", kKeywords[op - kKeywordBase].name);
            break;
        case kKwSymbol:
            file_.Seek(0, 2);
            break;
        case kKwNumline:
            source_line_ = args.Int(0);
            break;
        default:  // EndIf, Then, Else, Switch, EndSwitch, NOP, Info
            break;
    }
}

void ScriptEngine::StoreResult(int slot, const std::string& value) {
    if (slot < 0) return;
    auto& vars = CurrentVariables();
    if (slot < static_cast<int>(vars.size())) {
        vars[slot] = value;
    } else {
        vars.push_back(value);
    }
}

// ---- errors ---------------------------------------------------------------------------------

std::string ScriptEngine::ErrorText(int code, int opcode, int id, const std::string& str) {
    const std::string name = CommandName(opcode);
    const std::string& script = file_.Name();
    int number = 0;
    switch (code) {
        case kErrUnknownOpcode:
            number = 4;
            break;
        case kErrPicture:
            number = 2;
            break;
        case kErrScript:
            number = 1;
            break;
        case kErrCreate:
            number = 7;
            break;
        case kErrExists:
            number = 5;
            break;
        case kErrNotFound:
            number = 6;
            break;
        default:
            number = 12;
            break;
    }
    const bool from_file = EngineHasText(number);
    switch (code) {
        case kErrUnknownOpcode:
            return from_file ? vte_->GetText(4, name, opcode, script, source_line_)
                             : text::FormatString(FallbackText(4), name.c_str(), opcode,
                                                  script.c_str(), source_line_);
        case kErrPicture:
        case kErrScript:
            return from_file ? vte_->GetText(number, str)
                             : text::FormatString(FallbackText(number), str.c_str());
        case kErrCreate:
        case kErrNotFound:
            return from_file ? vte_->GetText(number, id, name, script, source_line_)
                             : text::FormatString(FallbackText(number), id, name.c_str(),
                                                  script.c_str(), source_line_);
        case kErrExists:
            return from_file ? vte_->GetText(5, str, id, name, script, source_line_)
                             : text::FormatString(FallbackText(5), str.c_str(), id, name.c_str(),
                                                  script.c_str(), source_line_);
        default:
            return from_file ? vte_->GetText(12, name, script, source_line_)
                             : text::FormatString(FallbackText(12), name.c_str(), script.c_str(),
                                                  source_line_);
    }
}

void ScriptEngine::ReportError(int code, int opcode, int id, const std::string& str) {
    last_error_ = code;
    std::string message = ErrorText(code, opcode, id, str);
    if (code == kErrPicture || code == kErrScript) {
        Trace("LDE# **error** %s (errno %d)", message.c_str(), code);
    } else {
        Trace("LDE# **error** %s (errno %d, function %d) @ %d (id %d/%s)", message.c_str(), code,
              opcode, source_line_, id, str.c_str());
    }
    ShowError(code, message);
}

void ScriptEngine::ShowError(int code, const std::string& message) {
    (void)code;
    if (!host_) return;
    const bool was_active = timer_active_;
    ApplyTimer(*timer_, false, interval_);
    Question q;
    q.text = message;
    const bool from_file = EngineHasText(8);
    q.caption = from_file ? vte_->GetText(8) : FallbackText(8);
    q.icon = 16;
    q.buttons = 3;
    host_->Ask(q);
    ApplyTimer(*timer_, was_active && timer_active_, interval_);
}

}  // namespace script
