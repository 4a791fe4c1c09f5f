// Execution of the 88 commands.
#include <QCursor>
#include <QFile>
#include <QGuiApplication>
#include <QSlider>
#include <QTimer>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "data/ConfigTable.h"
#include "data/Course.h"
#include "data/CoursePaths.h"
#include "data/OptionFlags.h"
#include "platform/AsciiCase.h"
#include "platform/Notifier.h"
#include "platform/Path.h"
#include "script/Animation.h"
#include "script/CustomCursors.h"
#include "script/ImageControl.h"
#include "script/Raster.h"
#include "script/ScriptEngine.h"
#include "text/LineFile.h"
#include "text/MessageFile.h"

namespace script {

namespace {

bool IsSpatial(const StageObject& o) {
    return o.rec.display_class == kClassPanel || o.rec.display_class == kClassImage;
}

Qt::CursorShape ShapeFor(int32_t code) {
    switch (code) {
        case -11:
            return Qt::WaitCursor;
        case -3:
            return Qt::CrossCursor;
        case -13:
            return Qt::ForbiddenCursor;
        default:
            return Qt::ArrowCursor;
    }
}

bool HaveGuiApplication() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance());
}

}  // namespace

void ScriptEngine::ExecuteCommand(int op, int slot, const Arguments& args, int id, int kind) {
    if (IsGlobal(op)) {
        ExecuteGlobal(op, slot, args);
        return;
    }
    StageObject* o = FindObject(kind, id);
    const bool needs_target =
        !(op == kOpBmp || op == kOpAvi || op == kOpAviPlay || op == kOpRandom0 ||
          op == kOpRandom1 || op == kOpFadeTo || op == kOpFadeBack || op == kOpReadMetrixValue);
    if (!o && needs_target) {
        ReportError(kErrNotFound, op, id, args.text);
        return;
    }
    ExecuteObject(op, slot, args, id, kind, o);
}

void ScriptEngine::ExecuteGlobal(int op, int slot, const Arguments& args) {
    switch (op) {
        case kOpDisplay:
            if (host_)
                host_->ShowPicture(NativeOf(Substitute(data::Course::BitmapName(args.text))), 0, 0,
                                   0);
            break;
        case kOpDisplayStretch:
            if (host_)
                host_->ShowPicture(NativeOf(Substitute(data::Course::BitmapName(args.text))),
                                   args.Int(0), args.Int(1), 0);
            break;
        case kOpDisplayZoom:
            if (host_)
                host_->ShowPicture(NativeOf(Substitute(data::Course::BitmapName(args.text))), 0, 0,
                                   args.Real(0));
            break;
        case kOpShowMask:
        case kOpHideMask:
            for (int s : kinds_[kBmp].order) {
                StageObject* o = kinds_[kBmp].objects[s].get();
                if (o && (o->rec.type == kAnimBlink || o->rec.type == kAnimSeries)) {
                    o->rec.blink_period = op == kOpShowMask ? -1 : 0;
                }
            }
            break;
        case kOpClearAllAvi:
        case kOpClearAllBmp:
        case kOpClearAllMask: {
            const int kind = op == kOpClearAllAvi ? kAvi : kBmp;
            std::vector<int> order = kinds_[kind].order;
            for (int s : order) {
                StageObject* o = kinds_[kind].objects[s].get();
                if (!o) continue;
                if (op == kOpClearAllMask && o->rec.type != kAnimBlink &&
                    o->rec.type != kAnimSeries)
                    continue;
                RemoveObject(*o);
            }
            break;
        }
        case kOpSuspend:
            wake_up_ = Now() + static_cast<int64_t>(interval_) * args.Int(0);
            break;
        case kOpCursor:
            SetScreenCursor(args.text);
            break;
        case kOpHideCursor:
            if (HaveGuiApplication() && !cursor_hidden_)
                QGuiApplication::setOverrideCursor(Qt::BlankCursor);
            cursor_hidden_ = true;
            break;
        case kOpShowCursor:
            if (HaveGuiApplication() && cursor_hidden_) QGuiApplication::restoreOverrideCursor();
            cursor_hidden_ = false;
            break;
        case kOpClipCursor:
        case kOpUnclipCursor:
            // The desktop offers no cursor confinement; the request is accepted and ignored.
            break;
        case kOpCursorPos:
            if (HaveGuiApplication() && stage_) QCursor::setPos(args.Int(0), args.Int(1));
            break;
        case kOpPlay: {
            const int mode = args.Int(0);
            if (mode < 0 || mode >= static_cast<int>(kSoundModes.size())) break;
            int flags = kSoundModes[mode].value;
            std::string name = args.text;
            if (flags == 8) flags = 9;
            if (flags == 16) name.clear();
            if (host_) host_->PlaySound(name, flags);
            break;
        }
        case kOpSync:
            running_ = false;
            break;
        case kOpExit:
            file_.Seek(0, 2);
            break;
        case kOpDialogBox:
        case kOpDialogBoxAt:
            StoreResult(slot, AskDialog(args, op == kOpDialogBoxAt));
            break;
        case kOpReadMessage:
        case kOpReadMessageFrom: {
            std::string name = op == kOpReadMessage ? file_.Name() : args.text;
            std::string path = course_.SubStepMessage(name);
            text::MessageFile mf;
            course_.Prepare(mf);
            if (mf.Open(path)) {
                StoreResult(slot, mf.GetText(args.Int(0)));
                mf.Close();
            }
            break;
        }
        case kOpCall:
        case kOpCallBack:
            CallScript(args.text);
            break;
        case kOpTimer:
            interval_ = std::max(1, static_cast<int>(args.Int(0)));
            if (timer_active_ && QCoreApplication::instance()) timer_->setInterval(interval_);
            break;
        case kOpRefresh:
            Refresh();
            break;
        case kOpSwap: {
            StageObject* a = FindObject(kBmp, args.Int(0));
            StageObject* b = FindObject(kBmp, args.Int(1));
            if (!a || !b) {
                ReportError(kErrNotFound, op, !a ? args.Int(0) : args.Int(1), args.text);
                break;
            }
            auto& order = kinds_[kBmp].order;
            auto ia = std::find(order.begin(), order.end(), a->slot);
            auto ib = std::find(order.begin(), order.end(), b->slot);
            if (ia != order.end() && ib != order.end()) std::iter_swap(ia, ib);
            break;
        }
        case kOpBmpExist:
            StoreResult(slot, FindObject(kBmp, args.Int(0)) ? "TRUE" : "FALSE");
            break;
        default:
            break;
    }
}

std::string ScriptEngine::AskDialog(const Arguments& args, bool placed) {
    if (AutoPlay()) return "OK";
    const int mode = args.Int(0);
    Question q;
    q.text = Substitute(args.text);
    q.caption = course_.Title();
    q.icon = 48;
    q.buttons = mode >= 0 && mode < static_cast<int>(kDialogButtons.size())
                    ? kDialogButtons[mode].value
                    : 3;
    q.placed = placed;
    q.x = args.Int(1);
    q.y = args.Int(2);
    dialog_open_ = true;
    const bool hidden = cursor_hidden_;
    if (hidden && HaveGuiApplication()) QGuiApplication::restoreOverrideCursor();
    int answer = host_ ? host_->Ask(q) : windows::kResultOk;
    if (hidden && HaveGuiApplication()) QGuiApplication::setOverrideCursor(Qt::BlankCursor);
    dialog_open_ = false;
    switch (answer) {
        case windows::kResultOk:
            return "OK";
        case windows::kResultYes:
            return "YES";
        case windows::kResultNo:
            return "NO";
        default:
            return "CANCEL";
    }
}

void ScriptEngine::CallScript(const std::string& name) {
    if (calls_.size() >= static_cast<size_t>(kMaxCallDepth)) {
        ReportError(kErrNesting, current_op_, -1, name);
        return;
    }
    calls_.push_back({file_.Path(), static_cast<int32_t>(file_.Offset()), loop_stack_.size()});
    if (!LoadScript(name, -1, false)) calls_.pop_back();
}

void ScriptEngine::SetScreenCursor(const std::string& name) {
    std::string key;
    for (char c : name) {
        if (c != ' ') key.push_back(platform::UpperAscii(c));
    }
    for (const OptionWord& w : kCursors) {
        if (key == w.word) {
            if (stage_) stage_->setCursor(ShapeFor(w.value));
            return;
        }
    }
}

bool ScriptEngine::SetObjectCursor(StageObject& o, const std::string& name) {
    const std::string key = platform::ToUpperAscii(name);
    for (const OptionWord& w : kCursors) {
        if (key == w.word) {
            if (o.control) o.control->setCursor(ShapeFor(w.value));
            if (o.panel_control) o.panel_control->setCursor(ShapeFor(w.value));
            return true;
        }
    }
    int n = 0;
    char extra = 0;
    if (std::sscanf(name.c_str(), "curs%02d%c", &n, &extra) != 1 || n < 1 || n > 50) return false;
    QCursor cursor;
    if (!CustomCursor(n, &cursor)) return false;
    if (o.control) o.control->setCursor(cursor);
    if (o.panel_control) o.panel_control->setCursor(cursor);
    return true;
}

void ScriptEngine::TagMenu(StageObject& o, const std::string& name, int op) {
    o.rec.tag = name.substr(0, 20);
    std::string path = course_.SubStepMessage(o.rec.tag);
    text::MessageFile mf;
    course_.Prepare(mf);
    if (!mf.Open(path)) {
        const bool from_file = EngineHasText(3);
        std::string message = from_file
                                  ? vte_->GetText(3, path)
                                  : text::FormatString("Message file %s not found", path.c_str());
        course_.Notifier().ShowSystemError(message, -1);
        Trace("LDE# **error** %s not found @ %d (idx %d, Tag %s, id %d, type %d)", path.c_str(),
              source_line_, op, o.rec.tag.c_str(), o.rec.id, o.kind);
        return;
    }
    if (o.rec.display_class != kClassImage) {
        mf.Close();
        return;
    }
    const std::string text0 = mf.GetText(0);
    const std::string text1 = mf.GetText(1);
    mf.Close();
    const size_t colon = text0.find(':');
    MenuEntry title;
    title.caption = o.rec.tag + (colon == std::string::npos ? std::string() : text0.substr(colon));
    title.visible = Developer();
    o.menu.push_back(title);
    SetHint(o, colon == std::string::npos ? text0 : text0.substr(0, colon));
    MenuEntry hint;
    hint.caption = o.rec.hint;
    hint.is_default = true;
    o.menu.push_back(hint);
    o.menu.push_back(MenuEntry{"-", {}, true, false});
    size_t pos = 0;
    bool first = true;
    while (pos <= text1.size()) {
        size_t end = text1.find('\n', pos);
        std::string line =
            text1.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        pos = end == std::string::npos ? text1.size() + 1 : end + 1;
        if (first) {
            first = false;
            continue;
        }
        MenuEntry e;
        size_t c = line.find(':');
        e.caption = c == std::string::npos ? line : line.substr(0, c);
        if (c != std::string::npos) {
            std::string picture = NativeOf(data::Course::BitmapName(line.substr(c + 1)));
            if (platform::FileExists(picture)) e.picture = picture;
        }
        o.menu.push_back(e);
    }
    if (o.control) o.control->MenuChanged();
}

void ScriptEngine::PickMenuEntry(int kind, int id, int index) {
    StageObject* o = FindObject(kind, id);
    if (!o) return;
    if (o->control) o->control->update();
    o->control_tag = MenuTag(o->menu, index);
    ++try_count_;
    if (host_) host_->Picked(o->rec.id, o->control_tag);
}

void ScriptEngine::ClearPick(int kind, int id) {
    if (StageObject* o = FindObject(kind, id)) o->control_tag = -1;
}

void ScriptEngine::CreateGauge(StageObject& o, const Arguments& args, bool vertical) {
    if (o.gauge >= 0) return;
    for (int i = 0; i < kMaxGauges; ++i) {
        Gauge& g = gauges_[i];
        if (g.object_slot >= 0) continue;
        g = Gauge{};
        g.object_slot = o.slot;
        g.kind = o.kind;
        g.vertical = vertical;
        g.x = args.Int(0);
        g.y = args.Int(1);
        g.width = args.Int(2);
        if (stage_) {
            g.slider = new QSlider(vertical ? Qt::Vertical : Qt::Horizontal, stage_);
            g.slider->setGeometry(g.x, g.y, g.width, 30);
            g.slider->hide();
        }
        o.gauge = i;
        return;
    }
}

// Makes a new stage object for a creating command, reporting a bad kind, an identifier
// already in use or a full stage; nullptr when nothing was made.
StageObject* ScriptEngine::CreateObject(int op, int kind, int id, const Arguments& args,
                                        StageObject* existing) {
    if (kind < 0 || kind >= kKindCount) {
        ReportError(kErrNotFound, op, id, args.text);
        return nullptr;
    }
    if (existing) {
        ReportError(kErrExists, op, id, args.text);
        return nullptr;
    }
    StageObject* o = Allocate(kind, id);
    if (!o) {
        ReportError(kErrCreate, op, id, args.text);
        return nullptr;
    }
    o->rec.script = file_.Name().substr(0, 20);
    return o;
}

void ScriptEngine::ExecuteObject(int op, int slot, const Arguments& args, int id, int kind,
                                 StageObject* o) {
    switch (op) {
        case kOpBmp: {
            o = CreateObject(op, kind, id, args, o);
            if (!o) return;
            o->rec.display_class = kClassImage;
            o->rec.type = 0;
            if (!LoadBitmap(*o, data::Course::BitmapName(args.text), args.Int(0), args.Int(1))) {
                ReportError(kErrPicture, op, id, o->full_path);
                return;
            }
            CreateControl(*o);
            return;
        }
        case kOpIdent:
            o->rec.label = args.text.substr(0, 20);
            return;
        case kOpClear:
            RemoveObject(*o);
            return;
        case kOpMoveTo:
        case kOpMoveY:
        case kOpMoveX: {
            if (!IsSpatial(*o)) return;
            int x = o->rec.x, y = o->rec.y, speed = 0;
            if (op == kOpMoveTo) {
                x = args.Int(0);
                y = args.Int(1);
                speed = args.Int(2);
            }
            if (op == kOpMoveY) {
                y = args.Int(0);
                speed = args.Int(1);
            }
            if (op == kOpMoveX) {
                x = args.Int(0);
                speed = args.Int(1);
            }
            if (reduce_motion_) speed = 0;
            SetupMove(o->rec, x, y, speed, op != kOpMoveY, op != kOpMoveX);
            if (speed == 0) {
                SetPosition(*o, o->rec.target_x, o->rec.target_y);
            } else {
                AddMoving(*o);
            }
            return;
        }
        case kOpFix:
            if (StageObject* bg = FindObject(kBackground, kBackgroundId))
                DrawObject(*o, bg->working);
            return;
        case kOpStep:
            o->rec.step_x = o->rec.step_y = o->rec.step_height = o->rec.step_width = args.Int(0);
            return;
        case kOpShow:
        case kOpHide:
            SetVisible(*o, op == kOpShow);
            return;
        case kOpHeight:
        case kOpWidth:
        case kOpFlat:
        case kOpNarrow: {
            if (!IsSpatial(*o)) return;
            const bool height = op == kOpHeight || op == kOpFlat;
            const int value = args.Int(0), speed = reduce_motion_ ? 0 : args.Int(1);
            if (height)
                o->rec.before_height = o->rec.height;
            else
                o->rec.before_width = o->rec.width;
            SetupSize(o->rec, value, speed, height);
            if (speed == 0) {
                if (op == kOpHeight) SetHeight(*o, value, false);
                if (op == kOpWidth) SetWidth(*o, value, false);
                if (op == kOpFlat) Flatten(*o, value, false);
                if (op == kOpNarrow) NarrowTo(*o, value, false);
            } else {
                o->rec.type = op;
                AddMoving(*o);
            }
            return;
        }
        case kOpSetHeight:
            o->rec.target_height = args.Int(0);
            SetHeight(*o, args.Int(0), true);
            return;
        case kOpSetWidth:
            o->rec.target_width = args.Int(0);
            SetWidth(*o, args.Int(0), true);
            return;
        case kOpSetFlat:
            o->rec.target_height = args.Int(0);
            Flatten(*o, args.Int(0), true);
            return;
        case kOpSetNarrow:
            o->rec.target_width = args.Int(0);
            NarrowTo(*o, args.Int(0), true);
            return;
        case kOpSize:
        case kOpTrunc:
            o->rec.target_height = args.Int(0);
            o->rec.target_width = args.Int(1);
            if (op == kOpSize) {
                SetHeight(*o, args.Int(0), true);
                SetWidth(*o, args.Int(1), true);
            } else {
                Flatten(*o, args.Int(0), true);
                NarrowTo(*o, args.Int(1), true);
            }
            return;
        case kOpRestore: {
            const int h = o->rec.before_height, w = o->rec.before_width;
            o->rec.target_height = h;
            o->rec.target_width = w;
            SetHeight(*o, h, true);
            SetWidth(*o, w, true);
            return;
        }
        case kOpSleep:
            o->rec.sleeping = true;
            return;
        case kOpAwake:
            o->rec.sleeping = false;
            return;
        case kOpSetCursor:
            if (!SetObjectCursor(*o, args.text)) ReportError(kErrCreate, op, 50, args.text);
            return;
        case kOpShowHint:
        case kOpHideHint:
            EnableHint(*o, op == kOpShowHint);
            return;
        case kOpHint:
            SetHint(*o, args.text);
            return;
        case kOpBringFront:
            Reorder(*o, static_cast<int>(kinds_[o->kind].order.size()));
            return;
        case kOpSendBack:
            Reorder(*o, 0);
            return;
        case kOpInsert:
            Reorder(*o, args.Int(0));
            return;
        case kOpSetPos:
        case kOpSetPosX:
        case kOpSetPosY:
            if (!IsSpatial(*o)) return;
            SetPosition(*o, op == kOpSetPosY ? o->rec.x : args.Int(0),
                        op == kOpSetPos    ? args.Int(1)
                        : op == kOpSetPosY ? args.Int(0)
                                           : o->rec.y);
            return;
        case kOpMetrixLin:
        case kOpMetrixExp:
        case kOpAlea:
            StartNumberDisplay(*o, op, args);
            return;
        case kOpTag:
            TagMenu(*o, args.text, op);
            return;
        case kOpAleaTerminate:
            RemoveMoving(*o);
            o->rec.finished = true;
            return;
        case kOpZoom:
        case kOpZoomBmp: {
            std::string path = o->rec.path;
            if (op == kOpZoomBmp) {
                path = data::Course::BitmapName(args.text);
                if (!platform::FileExists(NativeOf(Substitute(path)))) return;
            }
            const float factor = args.Real(0);
            o->rec.zoom_path = path.substr(0, 259);
            o->rec.zoom_height = static_cast<int>(static_cast<float>(o->rec.height) * factor);
            o->rec.zoom_width = static_cast<int>(static_cast<float>(o->rec.width) * factor);
            if (o->control) {
                o->control->SetMagnifier(LoadPicture(NativeOf(Substitute(path))), o->rec.zoom_width,
                                         o->rec.zoom_height);
            }
            return;
        }
        case kOpLoad:
        case kOpLoadAt: {
            const int x = op == kOpLoadAt ? args.Int(0) : o->rec.x;
            const int y = op == kOpLoadAt ? args.Int(1) : o->rec.y;
            if (!LoadBitmap(*o, data::Course::BitmapName(args.text), x, y)) {
                ReportError(kErrPicture, op, id, o->full_path);
                return;
            }
            if (o->rec.display_class == kClassImage && !o->control) CreateControl(*o);
            SyncControl(*o);
            return;
        }
        case kOpColor: {
            const int m = args.Int(0);
            if (m < 0 || m >= static_cast<int>(kColours.size())) return;
            o->rec.colour = kColours[m].value;
            FillColour(*o, o->rec.colour);
            return;
        }
        case kOpUpdate:
            if (!o->full_path.empty()) {
                QImage img = LoadPicture(NativeOf(o->full_path));
                if (img.isNull()) {
                    ReportError(kErrPicture, op, id, o->full_path);
                    return;
                }
                o->pristine = img;
                ResizeWorking(*o);
            }
            return;
        case kOpSaveToFile:
            if (!o->working.isNull()) {
                o->working.save(QString::fromStdString(
                                    NativeOf(Substitute(data::Course::BitmapName(args.text)))),
                                "BMP");
            }
            return;
        case kOpSetOpaque:
            o->rec.masked = false;
            return;
        case kOpSetTransparent:
            o->rec.masked = LoadMask(*o, true);
            return;
        case kOpBlink:
            o->rec.type = kAnimBlink;
            o->rec.blink_period = static_cast<int16_t>(args.Int(0));
            o->rec.blink_counter = 0;
            o->rec.finished = false;
            o->rec.daemon = o->rec.blink_period > 0;
            AddMoving(*o);
            return;
        case kOpSeries:
            LoadPictures(*o, true, args.text);
            o->rec.type = kAnimSeries;
            o->rec.blink_period = static_cast<int16_t>(args.Int(0));
            o->rec.blink_counter = 0;
            o->rec.index = 0;
            o->rec.finished = false;
            o->rec.daemon = o->rec.blink_period > 0;
            AddMoving(*o);
            return;
        case kOpGaugeCreateH:
        case kOpGaugeCreateV:
            CreateGauge(*o, args, op == kOpGaugeCreateV);
            return;
        case kOpGaugeDelete:
            if (o->gauge >= 0) {
                delete gauges_[o->gauge].slider;
                gauges_[o->gauge] = Gauge{};
                o->gauge = -1;
            }
            return;
        case kOpGaugeTrackBar:
            if (o->gauge >= 0) {
                Gauge& g = gauges_[o->gauge];
                g.minimum = args.Int(0);
                g.maximum = args.Int(1);
                g.position = args.Int(2);
                g.visible = true;
                if (g.slider) {
                    g.slider->setRange(g.minimum, g.maximum);
                    g.slider->setValue(g.position);
                    g.slider->show();
                }
            }
            return;
        case kOpAviPlay:
            if (host_) {
                host_->PlayVideo(NativeOf(Substitute(data::Course::VideoName(args.text))),
                                 args.Int(0), args.Int(1), 0, true);
            }
            return;
        case kOpAvi: {
            o = CreateObject(op, kind, id, args, o);
            if (!o) return;
            o->rec.display_class = kClassVideo;
            o->rec.type = op;
            o->rec.path = data::Course::VideoName(args.text).substr(0, 259);
            o->full_path = Substitute(o->rec.path);
            o->rec.x = o->rec.target_x = o->rec.start_x = o->rec.prev_x = std::abs(args.Int(0));
            o->rec.y = o->rec.target_y = o->rec.start_y = o->rec.prev_y = std::abs(args.Int(1));
            const std::string native = NativeOf(o->full_path);
            if (!platform::FileExists(native)) {
                ReportError(kErrPicture, op, id, o->full_path);
                return;
            }
            if (host_) host_->PlayVideo(native, o->rec.x, o->rec.y, args.Int(2), false);
            return;
        }
        case kOpReadMetrixValue: {
            if (kind < 0 || kind >= kKindCount) return;
            StageObject* a = FindObject(kind, args.Int(0));
            StageObject* b = FindObject(kind, args.Int(1));
            if (!a || !b) {
                ReportError(kErrNotFound, op, !a ? args.Int(0) : args.Int(1), args.text);
                return;
            }
            if (a->rec.label == "-" || b->rec.label == "-") {
                StoreResult(slot, "0");
            } else {
                long diff = std::labs(static_cast<long>(data::LeadingInt(a->rec.label)) -
                                      data::LeadingInt(b->rec.label));
                StoreResult(slot, std::to_string(diff));
            }
            return;
        }
        default:  // Random, FadeTo, FadeBack: no effect
            return;
    }
}

}  // namespace script
