// The script engine's way to the real windows: questions and pictures in the message box,
// sounds through the sound player, clips in the video window, and the engine's two
// notifications posted to the main window.
#pragma once

#include <QPointer>
#include <functional>
#include <memory>

#include "script/StageHost.h"
#include "windows/TAVIview.h"

class QWidget;
namespace windows {
class SoundPlayer;
class TWinBox;
}  // namespace windows

namespace shell {

// Hands a window message (lesson::kMsg*) to the main window's queue.
using PostMessageFunction = std::function<void(int message, long param)>;

class TStagWinHost : public script::StageHost {
  public:
    // stage: where placed questions and videos are positioned; post: queues the engine's two
    // notifications to the main window.
    TStagWinHost(QWidget& stage, windows::TWinBox& box, windows::SoundPlayer& sounds,
                 PostMessageFunction post);
    ~TStagWinHost() override;

    // The video window the engine plays into (created on first use when none is given).
    void SetVideoWindow(windows::TAVIview* view) { video_ = view; }
    windows::TAVIview* VideoWindow();

    void ScriptEnded() override;
    void Picked(int object_id, int tag) override;
    int Ask(const script::Question& question) override;
    void ShowPicture(const std::string& path, int height, int width, double zoom) override;
    void PlaySound(const std::string& name, int flags) override;
    void PlayVideo(const std::string& path, int x, int y, int mode, bool in_stage) override;

  private:
    QWidget& stage_;
    windows::TWinBox& box_;
    windows::SoundPlayer& sounds_;
    PostMessageFunction post_;
    QPointer<windows::TAVIview> video_;
    std::unique_ptr<windows::TAVIview> own_video_;
};

}  // namespace shell
