#include "shell/TStagWinHost.h"

#include <QWidget>

#include "lesson/LessonView.h"
#include "windows/SoundPlayer.h"
#include "windows/TAVIview.h"
#include "windows/TWinBox.h"

namespace shell {

TStagWinHost::TStagWinHost(QWidget& stage, windows::TWinBox& box, windows::SoundPlayer& sounds,
                           PostMessageFunction post)
    : stage_(stage), box_(box), sounds_(sounds), post_(std::move(post)) {}

TStagWinHost::~TStagWinHost() = default;

windows::TAVIview* TStagWinHost::VideoWindow() {
    if (!video_) {
        own_video_ = std::make_unique<windows::TAVIview>();
        video_ = own_video_.get();
    }
    return video_;
}

void TStagWinHost::ScriptEnded() {
    post_(lesson::kMsgScriptDone, 0);
}

void TStagWinHost::Picked(int object_id, int tag) {
    (void)object_id;  // the shell reads the picked entries from the objects themselves
    post_(lesson::kMsgPick, tag);
}

int TStagWinHost::Ask(const script::Question& q) {
    windows::TWinBox& box = box_;
    if (q.placed) {
        QPoint at = stage_.mapToGlobal(QPoint(q.x, q.y));
        box.PlaceBox(at.x(), at.y(), 0, 0);
    }
    return box.Ask(q.text, q.caption, nullptr, 0, q.icon, q.buttons);
}

void TStagWinHost::ShowPicture(const std::string& path, int height, int width, double zoom) {
    windows::TWinBox& box = box_;
    if (zoom != 0)
        box.ShowPictureFileScaled(path, zoom);
    else
        box.ShowPictureFile(path, height, width);
}

void TStagWinHost::PlaySound(const std::string& name, int flags) {
    sounds_.PlaySoundNamed(name.empty() ? nullptr : name.c_str(), flags);
}

void TStagWinHost::PlayVideo(const std::string& path, int x, int y, int mode, bool in_stage) {
    (void)in_stage;  // both play in the video window, placed over the stage
    QPoint at = stage_.mapToGlobal(QPoint(x, y));
    VideoWindow()->PlayVideo(at.x(), at.y(), mode, path);
}

}  // namespace shell
