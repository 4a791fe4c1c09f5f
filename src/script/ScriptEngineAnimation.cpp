// The animation half of the tick: erase, advance, draw.
#include <QTimer>

#include "data/Course.h"
#include "script/Animation.h"
#include "script/ImageControl.h"
#include "script/Raster.h"
#include "script/ScriptEngine.h"

namespace script {

namespace {
// Kinds whose objects are drawn on the stage picture, bottom first.
constexpr int kDrawnKinds[] = {kBmp, kVar};
// Kinds whose moving lists are advanced: panels move too, so nothing waits on them forever.
constexpr int kAnimatedKinds[] = {kPanel, kBmp, kVar};
}  // namespace

void ScriptEngine::Animate() {
    if (list_update_) return;
    const long now = Tracing() ? static_cast<long>(Now()) : 0;
    const int drawn = static_cast<int>(kinds_[kBmp].order.size());
    Trace("bkg (%d) %ld", drawn, now);
    for (int kind : kDrawnKinds) {
        for (int slot : kinds_[kind].order) {
            if (StageObject* o = kinds_[kind].objects[slot].get()) EraseObject(*o);
        }
    }
    Trace("sprite start (%d) %ld", static_cast<int>(kinds_[kBmp].moving.size()), now);
    for (int kind : kAnimatedKinds) {
        auto& moving = kinds_[kind].moving;
        for (int i = static_cast<int>(moving.size()) - 1; i >= 0; --i) {
            if (i >= static_cast<int>(moving.size())) continue;
            StageObject* o = kinds_[kind].objects[moving[i]].get();
            if (!o || AdvanceObject(*o)) moving.erase(moving.begin() + i);
        }
    }
    Trace("sprite end (%d) %ld", drawn, now);
    for (int kind : kDrawnKinds) {
        for (int slot : kinds_[kind].order) {
            StageObject* o = kinds_[kind].objects[slot].get();
            if (!o || o->rec.display_class != kClassImage) continue;
            DrawObject(*o, *picture_);
            if (!o->rec.sleeping) {
                // Where it was drawn is where the next tick erases.
                o->rec.prev_x = o->rec.x;
                o->rec.prev_y = o->rec.y;
                o->rec.prev_width = o->working.isNull() ? o->rec.width : o->working.width();
                o->rec.prev_height = o->working.isNull() ? o->rec.height : o->working.height();
            }
        }
    }
    Trace("end %ld", now);
    if (ended_ && timer_active_ && !AnythingMoving()) {
        timer_active_ = false;
        if (timer_) timer_->stop();
    }
    if (picture_changed_) picture_changed_();
}

// Advances one object by one step; true when it leaves the moving list.
bool ScriptEngine::AdvanceObject(StageObject& o) {
    ObjectRecord& r = o.rec;
    switch (r.type) {
        case kAnimMove:
            r.finished = AdvanceMove(r);
            SyncControl(o);
            return r.finished;
        case kAnimHeight:
        case kAnimFlat: {
            const int v = StepToward(r.height, r.step_height, r.target_height);
            r.finished = r.type == kAnimHeight ? SetHeight(o, v, false) : Flatten(o, v, false);
            return r.finished;
        }
        case kAnimWidth:
        case kAnimNarrow: {
            const int v = StepToward(r.width, r.step_width, r.target_width);
            r.finished = r.type == kAnimWidth ? SetWidth(o, v, false) : NarrowTo(o, v, false);
            return r.finished;
        }
        case kAnimLinear:
        case kAnimProgressive:
            if (NumberPeriodDue(r)) {
                AdvanceNumber(r);
                DrawNumber(o, r.value);
            }
            r.finished = r.value == r.target_value;
            return r.finished;
        case kAnimRandom:
            if (NumberPeriodDue(r)) DrawNumber(o, RandomShownValue(r, course_.Random()()));
            return false;
        case kAnimBlink:
        case kAnimSeries:
            switch (AdvanceBlink(r, o.pictures_are_series && r.type == kAnimSeries)) {
                case BlinkAction::kHide:
                    SetVisible(o, false);
                    break;
                case BlinkAction::kShow:
                    SetVisible(o, true);
                    break;
                case BlinkAction::kToggle:
                    SetVisible(o, !r.visible);
                    break;
                case BlinkAction::kNextPicture: {
                    if (r.index < 0 || r.index >= static_cast<int>(o.pictures.size())) r.index = 0;
                    if (!o.pictures.empty()) {
                        o.working = o.pictures[r.index];
                        o.pristine = o.working;
                        r.width = o.working.width();
                        r.height = o.working.height();
                    }
                    ++r.index;
                    break;
                }
                case BlinkAction::kNone:
                    break;
            }
            return r.finished && !r.daemon;
        default:
            r.finished = true;
            return true;
    }
}

void ScriptEngine::StartNumberDisplay(StageObject& o, int op, const Arguments& args) {
    ObjectRecord& r = o.rec;
    if (o.pictures.empty() || o.pictures_are_series) LoadPictures(o, false, {});
    if (!course_.RandomSeeded() && op == kOpAlea) {
        course_.SeedRandom(static_cast<uint32_t>(Now()));
    }
    if (op == kOpAlea) {
        SetupRandom(r, args.Real(0), args.Real(1), args.Int(2), args.Int(3));
        AddMoving(o);
        return;
    }
    // A pace (or divisor) of 0 shows the target at once: reduced motion asks for that.
    const int pace = reduce_motion_ ? 0 : args.Int(3);
    if (op == kOpMetrixLin) {
        SetupLinear(r, args.Real(0), args.Real(1), args.Int(2), pace, args.Int(4));
    } else {
        SetupProgressive(r, args.Real(0), args.Real(1), args.Int(2), pace, args.Int(4));
    }
    r.daemon = false;
    r.finished = AdvanceNumber(r);
    DrawNumber(o, r.value);
    AddMoving(o);
}

}  // namespace script
