// Stage objects: objects, bitmaps, drawing, position and size, save and restore.
#include <QSlider>
#include <QWidget>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "data/Course.h"
#include "data/CoursePaths.h"
#include "data/OptionFlags.h"
#include "platform/Notifier.h"
#include "platform/Path.h"
#include "platform/ReadFile.h"
#include "platform/ReplaceFile.h"
#include "script/Animation.h"
#include "script/ImageControl.h"
#include "script/Raster.h"
#include "script/ScriptEngine.h"
#include "text/FormatString.h"
#include "text/LineFile.h"
#include "text/MessageFile.h"

namespace script {

namespace {

int Abs(int v) {
    return v == INT32_MIN ? INT32_MAX : std::abs(v);
}

std::string BaseWithoutExtension(const std::string& path) {
    std::string base = BaseNameOf(path);
    size_t dot = base.find_last_of('.');
    return dot == std::string::npos ? base : base.substr(0, dot);
}

}  // namespace

std::string ScriptEngine::NativeOf(const std::string& courseware_path) const {
    return course_.Resolve(courseware_path);
}

StageObject* ScriptEngine::FindObject(int kind, int id) {
    if (kind < 0 || kind >= kKindCount) return nullptr;
    KindTable& kt = kinds_[kind];
    for (size_t slot = 0; slot < kt.ids.size(); ++slot) {
        if (kt.ids[slot] == id && kt.objects[slot]) return kt.objects[slot].get();
    }
    return nullptr;
}

const StageObject* ScriptEngine::Find(int kind, int id) const {
    return const_cast<ScriptEngine*>(this)->FindObject(kind, id);
}

std::vector<const StageObject*> ScriptEngine::ObjectsInOrder(int kind) const {
    std::vector<const StageObject*> out;
    if (kind < 0 || kind >= kKindCount) return out;
    for (int slot : kinds_[kind].order) {
        if (kinds_[kind].objects[slot]) out.push_back(kinds_[kind].objects[slot].get());
    }
    return out;
}

StageObject* ScriptEngine::Allocate(int kind, int id) {
    KindTable& kt = kinds_[kind];
    auto free_entry = std::find(kt.ids.begin(), kt.ids.end(), -1);
    size_t slot = static_cast<size_t>(free_entry - kt.ids.begin());
    if (free_entry == kt.ids.end()) {
        if (kt.ids.size() >= static_cast<size_t>(kMaxObjects)) return nullptr;
        kt.ids.push_back(id);
    } else {
        *free_entry = id;
    }
    kt.order.push_back(static_cast<int>(slot));
    kt.objects[slot] = std::make_unique<StageObject>();
    StageObject* o = kt.objects[slot].get();
    o->kind = kind;
    o->slot = static_cast<int>(slot);
    o->rec.id = id;
    return o;
}

void ScriptEngine::AddMoving(StageObject& o) {
    auto& moving = kinds_[o.kind].moving;
    if (o.rec.finished && !o.rec.daemon) return;
    if (std::find(moving.begin(), moving.end(), o.slot) == moving.end()) moving.push_back(o.slot);
}

void ScriptEngine::RemoveMoving(StageObject& o) {
    auto& moving = kinds_[o.kind].moving;
    moving.erase(std::remove(moving.begin(), moving.end(), o.slot), moving.end());
}

void ScriptEngine::EraseObject(const StageObject& o) {
    if (o.rec.display_class != kClassImage || o.rec.sleeping) return;
    const StageObject* bg = Find(kBackground, kBackgroundId);
    if (!bg || bg->working.isNull()) return;
    BlitRect(*picture_, o.rec.prev_x, o.rec.prev_y, bg->working, o.rec.prev_x, o.rec.prev_y,
             o.rec.prev_width, o.rec.prev_height, RasterOp::kCopy);
}

void ScriptEngine::RemoveObject(StageObject& o) {
    list_update_ = true;
    RemoveMoving(o);
    // Restore the background where the object was last drawn.
    EraseObject(o);
    if (o.gauge >= 0) {
        delete gauges_[o.gauge].slider;
        gauges_[o.gauge] = Gauge{};
    }
    delete o.control;
    KindTable& kt = kinds_[o.kind];
    const int slot = o.slot;
    kt.ids[slot] = -1;
    kt.order.erase(std::remove(kt.order.begin(), kt.order.end(), slot), kt.order.end());
    kt.objects[slot].reset();
    while (!kt.ids.empty() && kt.ids.back() == -1) kt.ids.pop_back();
    list_update_ = false;
    if (picture_changed_) picture_changed_();
}

void ScriptEngine::RemoveAll(bool keep_base) {
    for (int kind = 0; kind < kKindCount; ++kind) {
        KindTable& kt = kinds_[kind];
        for (int slot = static_cast<int>(kt.ids.size()) - 1; slot >= 0; --slot) {
            StageObject* o = kt.objects[slot].get();
            if (!o) continue;
            const bool base = (kind == kBackground && o->rec.id == kBackgroundId) ||
                              (kind == kPanel && o->rec.id == kPanelId);
            if (keep_base && base) continue;
            RemoveObject(*o);
        }
        kt.moving.clear();
    }
}

void ScriptEngine::CreateBaseObjects() {
    if (!FindObject(kBackground, kBackgroundId)) {
        StageObject* bg = Allocate(kBackground, kBackgroundId);
        bg->rec.display_class = kClassBackground;
        bg->rec.script = file_.Name().substr(0, 20);
        bg->working = QImage(picture_->size(), QImage::Format_RGB32);
        bg->working.fill(Qt::white);
        bg->rec.colour = 0xFFFFFF;  // the colour it was filled with
        bg->rec.height = bg->rec.target_height = bg->rec.prev_height = picture_->height();
        bg->rec.width = bg->rec.target_width = bg->rec.prev_width = picture_->width();
        background_copy_ = picture_->copy();
    }
    StageObject* panel = FindObject(kPanel, kPanelId);
    if (!panel) {
        panel = Allocate(kPanel, kPanelId);
        panel->rec.display_class = kClassPanel;
    }
    // A panel control bound since the object was made takes it over.
    if (panel->panel_control != panel_) {
        panel->panel_control = panel_;
        if (panel_) {
            const QRect r = panel_->geometry();
            panel->rec.x = panel->rec.target_x = panel->rec.start_x = panel->rec.prev_x = r.x();
            panel->rec.y = panel->rec.target_y = panel->rec.start_y = panel->rec.prev_y = r.y();
            panel->rec.height = panel->rec.target_height = panel->rec.prev_height = r.height();
            panel->rec.width = panel->rec.target_width = panel->rec.prev_width = r.width();
        }
    }
}

bool ScriptEngine::LoadBitmap(StageObject& o, const std::string& path, int x, int y) {
    o.rec.path = path.substr(0, 259);
    o.full_path = Substitute(path);
    o.base_name = BaseWithoutExtension(o.full_path);
    const std::string native = NativeOf(o.full_path);
    if (!platform::FileExists(native)) return false;
    const int ax = Abs(x), ay = Abs(y);
    o.rec.target_x = o.rec.x = o.rec.start_x = o.rec.prev_x = ax;
    o.rec.target_y = o.rec.y = o.rec.start_y = o.rec.prev_y = ay;
    o.rec.visible = x >= 0 && y >= 0;
    if (o.rec.display_class != kClassBackground && o.rec.display_class != kClassImage) return true;
    QImage img = LoadPicture(native);
    if (img.isNull()) return false;
    o.working = img;
    if (o.rec.display_class == kClassBackground) {
        Blit(*picture_, 0, 0, o.working, RasterOp::kCopy);
        if (picture_changed_) picture_changed_();
        return true;
    }
    o.rec.height = o.rec.target_height = o.rec.prev_height = img.height();
    o.rec.width = o.rec.target_width = o.rec.prev_width = img.width();
    o.pristine = img;
    o.rec.masked = LoadMask(o, o.rec.masked);
    return true;
}

bool ScriptEngine::LoadMask(StageObject& o, bool on) {
    if (!on) return false;
    const std::string native = NativeOf(data::Course::MaskName(o.base_name));
    if (!platform::FileExists(native)) return false;
    QImage mask = LoadPicture(native);
    if (mask.isNull()) return false;
    o.mask = mask;
    o.scaled_mask = QImage();
    return true;
}

void ScriptEngine::CreateControl(StageObject& o) {
    if (!stage_ || o.control) return;
    auto* control = new ImageControl(stage_);
    const int kind = o.kind, id = o.rec.id;
    control->on_pick = [this, kind, id](int index) { PickMenuEntry(kind, id, index); };
    control->entries = &o.menu;
    control->setGeometry(o.rec.x, o.rec.y, o.rec.width, o.rec.height);
    control->setUpdatesEnabled(false);
    control->show();
    o.control = control;
    o.control_tag = -1;
}

void ScriptEngine::SyncControl(StageObject& o) {
    const QRect r(o.rec.x, o.rec.y, o.rec.width, o.rec.height);
    if (o.rec.display_class == kClassImage && o.control && o.control->geometry() != r) {
        o.control->setGeometry(r);
    }
    if (o.rec.display_class == kClassPanel && o.panel_control && o.panel_control->geometry() != r) {
        o.panel_control->setGeometry(r);
    }
}

void ScriptEngine::DrawObject(StageObject& o, QImage& target) {
    if (o.rec.display_class != kClassImage || !o.rec.visible || o.rec.sleeping ||
        o.working.isNull()) {
        return;
    }
    if (o.rec.masked) {
        const QImage& mask = o.MaskForDrawing();
        if (!mask.isNull()) {
            Blit(target, o.rec.x, o.rec.y, mask, RasterOp::kAnd);
            Blit(target, o.rec.x, o.rec.y, o.working, RasterOp::kPaint);
            return;
        }
        if (Developer()) {
            // Shown once per object rather than on every tick.
            if (!o.mask_reported) {
                o.mask_reported = true;
                const bool from_file = EngineHasText(9);
                std::string mask_name = data::Course::MaskName(o.base_name);
                std::string message =
                    from_file ? vte_->GetText(9, file_.Path(), mask_name)
                              : text::FormatString("Mask of %s missing: %s", file_.Path().c_str(),
                                                   mask_name.c_str());
                course_.Notifier().ShowMessage(course_.Title(), message);
            }
            return;
        }
    }
    Blit(target, o.rec.x, o.rec.y, o.working, RasterOp::kCopy);
}

void ScriptEngine::SetPosition(StageObject& o, int x, int y) {
    o.rec.finished = true;
    o.rec.start_x = o.rec.x;
    o.rec.start_y = o.rec.y;
    o.rec.x = x;
    o.rec.y = y;
    SyncControl(o);
}

void ScriptEngine::ResizeWorking(StageObject& o) {
    if (o.rec.display_class != kClassImage || o.pristine.isNull()) return;
    if (o.rec.type == kAnimLinear || o.rec.type == kAnimProgressive || o.rec.type == kAnimRandom) {
        return;  // a number display draws its own bitmap
    }
    const int w = std::clamp(o.rec.width, 0, kMaxBitmapSide),
              h = std::clamp(o.rec.height, 0, kMaxBitmapSide);
    if (w == 0 || h == 0) {
        o.working = QImage();
    } else if (o.pristine.width() == w && o.pristine.height() == h) {
        o.working = o.pristine;
    } else {
        o.working = o.pristine.scaled(w, h, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                        .convertToFormat(QImage::Format_RGB32);
    }
}

bool ScriptEngine::SetHeight(StageObject& o, int value, bool remember) {
    if (o.rec.display_class != kClassPanel && o.rec.display_class != kClassImage) return true;
    if (remember) o.rec.before_height = o.rec.height;
    o.rec.height = value;
    ResizeWorking(o);
    SyncControl(o);
    return o.rec.height == o.rec.target_height;
}

bool ScriptEngine::SetWidth(StageObject& o, int value, bool remember) {
    if (o.rec.display_class != kClassPanel && o.rec.display_class != kClassImage) return true;
    if (remember) o.rec.before_width = o.rec.width;
    o.rec.width = value;
    ResizeWorking(o);
    SyncControl(o);
    return o.rec.width == o.rec.target_width;
}

bool ScriptEngine::Flatten(StageObject& o, int value, bool remember) {
    const int bottom = o.rec.y + o.rec.height;
    const bool done = SetHeight(o, value, remember);
    if (o.rec.display_class == kClassPanel || o.rec.display_class == kClassImage) {
        o.rec.y = bottom - o.rec.height;
        SyncControl(o);
    }
    return done;
}

bool ScriptEngine::NarrowTo(StageObject& o, int value, bool remember) {
    const int right = o.rec.x + o.rec.width;
    const bool done = SetWidth(o, value, remember);
    if (o.rec.display_class == kClassPanel || o.rec.display_class == kClassImage) {
        o.rec.x = right - o.rec.width;
        SyncControl(o);
    }
    return done;
}

void ScriptEngine::SetVisible(StageObject& o, bool visible) {
    if (o.rec.display_class == kClassPanel) {
        if (o.panel_control) o.panel_control->setVisible(visible);
    }
    o.rec.visible = visible;
}

void ScriptEngine::SetHint(StageObject& o, const std::string& text) {
    o.rec.hint = text.substr(0, 20);
    EnableHint(o, true);
}

void ScriptEngine::EnableHint(StageObject& o, bool on) {
    o.rec.hint_enabled = on;
    if (o.rec.display_class == kClassImage && o.control) o.control->SetHint(o.rec.hint, on);
    if (o.rec.display_class == kClassPanel && o.panel_control) {
        o.panel_control->setToolTip(on ? QString::fromStdString(o.rec.hint) : QString());
    }
}

void ScriptEngine::Reorder(StageObject& o, int position) {
    auto& order = kinds_[o.kind].order;
    order.erase(std::remove(order.begin(), order.end(), o.slot), order.end());
    position = std::clamp(position, 0, static_cast<int>(order.size()));
    order.insert(order.begin() + position, o.slot);
}

void ScriptEngine::LoadPictures(StageObject& o, bool series, const std::string& name) {
    o.pictures.clear();
    o.pictures_are_series = series;
    if (series) {
        const std::string base = Substitute(data::Course::BitmapName(name));
        for (int i = 0; i < 15; ++i) {
            QImage img =
                LoadPicture(NativeOf(InsertBeforeDot(base, text::FormatString("#%02d", i))));
            if (img.isNull()) break;
            o.pictures.push_back(img);
        }
        return;
    }
    const std::string suffixes = kDigitSuffixes;
    for (size_t i = 0; i <= suffixes.size(); ++i) {
        std::string path =
            i < suffixes.size() ? InsertBeforeDot(o.full_path, suffixes.substr(i, 1)) : o.full_path;
        QImage img = LoadPicture(NativeOf(path));
        if (img.isNull()) break;
        o.pictures.push_back(img);
    }
}

void ScriptEngine::DrawNumber(StageObject& o, float value) {
    const std::string text = FormatNumber(value, o.rec.field_width, o.rec.decimals);
    const size_t n = std::min(text.size(), static_cast<size_t>(std::max(0, o.rec.field_width)));
    int width = 0, height = 0;
    std::vector<const QImage*> glyphs;
    for (size_t i = 0; i < n; ++i) {
        int p = DigitPicture(text[i]);
        if (p < 0 || p >= static_cast<int>(o.pictures.size())) continue;
        glyphs.push_back(&o.pictures[p]);
        width += o.pictures[p].width();
        height = std::max(height, o.pictures[p].height());
    }
    if (width == 0 || height == 0) {
        o.working = QImage();
    } else {
        o.working = QImage(width, height, QImage::Format_RGB32);
        o.working.fill(Qt::white);
        int x = 0;
        for (const QImage* g : glyphs) {
            Blit(o.working, x, 0, *g, RasterOp::kCopy);
            x += g->width();
        }
    }
    o.rec.width = width;
    if (height > 0) o.rec.height = height;
    o.scaled_mask = QImage();
}

void ScriptEngine::FillColour(StageObject& o, int32_t bgr) {
    if (o.working.isNull() && o.rec.width > 0 && o.rec.height > 0 &&
        o.rec.width <= kMaxBitmapSide && o.rec.height <= kMaxBitmapSide) {
        o.working = QImage(o.rec.width, o.rec.height, QImage::Format_RGB32);
    }
    o.working.fill(ColourFromBgr(bgr));
}

void ScriptEngine::Refresh() {
    if (StageObject* bg = FindObject(kBackground, kBackgroundId)) {
        if (bg->rec.path.empty()) {
            FillColour(*bg, bg->rec.colour);
            Blit(*picture_, 0, 0, bg->working, RasterOp::kCopy);
        } else {
            LoadBitmap(*bg, bg->rec.path, bg->rec.x, bg->rec.y);
        }
    }
    for (int slot : std::vector<int>(kinds_[kBmp].order)) {
        StageObject* o = kinds_[kBmp].objects[slot].get();
        if (!o || o->rec.path.empty()) continue;
        QImage img = LoadPicture(NativeOf(o->full_path));
        if (img.isNull()) continue;
        o->pristine = img;
        ResizeWorking(*o);
        DrawObject(*o, *picture_);
    }
    if (picture_changed_) picture_changed_();
}

void ScriptEngine::SetBackgroundColour(int32_t bgr) {
    StageObject* bg = FindObject(kBackground, kBackgroundId);
    if (!bg) return;
    bg->rec.colour = bgr;
    FillColour(*bg, bgr);
    Blit(*picture_, 0, 0, bg->working, RasterOp::kCopy);
    if (picture_changed_) picture_changed_();
}

void ScriptEngine::SetBackgroundSize(int width, int height, int32_t bgr) {
    StageObject* bg = FindObject(kBackground, kBackgroundId);
    if (!bg) return;
    bg->rec.width = std::clamp(width, 1, kMaxBitmapSide);
    bg->rec.height = std::clamp(height, 1, kMaxBitmapSide);
    bg->working = QImage(bg->rec.width, bg->rec.height, QImage::Format_RGB32);
    SetBackgroundColour(bgr);
}

void ScriptEngine::DrawBackground() {
    Blit(*picture_, 0, 0, background_copy_, RasterOp::kCopy);
    if (picture_changed_) picture_changed_();
}

// ---- save and restore -----------------------------------------------------------------------

bool ScriptEngine::SaveObjects(const std::string& path) {
    const std::string native = NativeOf(path);
    std::string bytes;
    for (int kind = 0; kind < kKindCount; ++kind) {
        for (int slot : kinds_[kind].order) {
            const StageObject* o = kinds_[kind].objects[slot].get();
            if (!o) continue;
            auto record = EncodeObjectRecord(o->rec);
            bytes.append(reinterpret_cast<const char*>(record.data()), record.size());
        }
    }
    // Through a temporary file: a save cut short never leaves an empty or partial context.
    if (platform::ReplaceFile(native, bytes)) return true;
    const int error = errno;  // kept for the caller's report
    const bool from_file = EngineHasText(10);
    std::string why = std::strerror(error);
    std::string message =
        from_file ? vte_->GetText(10, path, why)
                  : text::FormatString("Objects not saved to %s: %s", path.c_str(), why.c_str());
    Trace("%s", message.c_str());
    errno = error;
    return false;
}

bool ScriptEngine::RestoreObjects(const std::string& path) {
    const std::string native = NativeOf(path);
    // Only a regular file: a FIFO in its place would wait for a writer for ever.
    std::string read;
    if (platform::ReadRegularFile(native, read) != 0) return false;
    const std::vector<uint8_t> bytes(read.begin(), read.end());

    RemoveAll(true);
    CreateBaseObjects();
    for (size_t at = 0; at + kObjectRecordSize <= bytes.size(); at += kObjectRecordSize) {
        ObjectRecord rec = DecodeObjectRecord(bytes.data() + at);
        if (rec.display_class == kClassBackground) {
            StageObject* bg = FindObject(kBackground, kBackgroundId);
            if (bg && !rec.path.empty()) LoadBitmap(*bg, rec.path, rec.x, rec.y);
            if (bg) bg->rec.colour = rec.colour;
            continue;
        }
        if (rec.display_class == kClassPanel) {
            StageObject* panel = FindObject(kPanel, kPanelId);
            if (!panel) continue;
            const int32_t id = panel->rec.id;
            panel->rec = rec;
            panel->rec.id = id;
            panel->rec.finished = true;
            SyncControl(*panel);
            SetVisible(*panel, rec.visible);
            continue;
        }
        if (rec.display_class != kClassImage && rec.display_class != kClassVideo) continue;
        const int kind = rec.display_class == kClassImage ? kBmp : kAvi;
        if (FindObject(kind, rec.id)) continue;  // a duplicate identifier is dropped
        StageObject* o = Allocate(kind, rec.id);
        if (!o) return false;
        o->rec.display_class = rec.display_class;
        o->rec.masked = rec.masked;
        if (rec.display_class == kClassImage) {
            if (!LoadBitmap(*o, rec.path, rec.x, rec.y)) {
                if (Developer()) {
                    const bool from_file = EngineHasText(11);
                    std::string why = std::strerror(errno ? errno : ENOENT);
                    course_.Notifier().ShowMessage(
                        course_.Title(),
                        from_file ? vte_->GetText(11, o->full_path, why)
                                  : text::FormatString("Object picture %s not restored: %s",
                                                       o->full_path.c_str(), why.c_str()));
                }
                o->rec = rec;
                o->rec.finished = true;
                return false;
            }
            CreateControl(*o);
        } else {
            o->full_path = Substitute(rec.path);
        }
        o->rec = rec;
        ResizeWorking(*o);
        SyncControl(*o);
        if (o->control) o->control->SetHint(o->rec.hint, o->rec.hint_enabled);
        // Re-arm what was running; anything else must not keep a script waiting.
        switch (rec.type) {
            case kAnimLinear:
            case kAnimProgressive:
            case kAnimRandom:
                LoadPictures(*o, false, {});
                DrawNumber(*o, rec.type == kAnimRandom ? rec.minimum : rec.value);
                o->rec.x = rec.x;
                o->rec.y = rec.y;
                if (!o->rec.finished || o->rec.daemon) AddMoving(*o);
                break;
            case kAnimBlink:
            case kAnimMove:
            case kAnimHeight:
            case kAnimWidth:
            case kAnimFlat:
            case kAnimNarrow:
                if (!o->rec.finished || o->rec.daemon) AddMoving(*o);
                break;
            default:
                o->rec.finished = true;
                break;
        }
    }
    if (picture_changed_) picture_changed_();
    return bytes.size() % kObjectRecordSize == 0;
}

}  // namespace script
