#pragma once

#include <QSize>
#include <QWidget>
#include <string>

class QMediaPlayer;
class QVideoWidget;
#include <QVideoWidget>
class QFrame;
class QToolButton;

namespace windows {

// Geometry of the video window for a clip of display size video: Panel1 shows the clip,
// Panel2 (the player's buttons) sits 15 pixels below it with the same width, the buttons
// centred in it.
struct AviLayout {
    QRect panel1;
    QRect panel2;
    QSize window;
    int controls_left = 0;
};
AviLayout LayoutAviView(QSize video, int panel2_height, int controls_width);

// The video window in which scripts play clips. The script engine creates its own.
class TAVIview : public QWidget {
  public:
    static constexpr int kLoopOption = 8;  // the engine's LOOP play option

    explicit TAVIview(QWidget* parent = nullptr);
    ~TAVIview() override;

    // Opens the clip (a courseware or native path), places the window at left, top, and shows it
    // without waiting; with the LOOP option the clip restarts at its end until the window closes.
    void PlayVideo(int left, int top, int option, const std::string& file);

    bool Looping() const { return looping_; }
    int PlayCount() const { return play_count_; }  // starts since the last PlayVideo
    QMediaPlayer* MediaPlayer() const { return player_; }
    QVideoWidget* Panel1() const { return panel1_; }
    QFrame* Panel2() const { return panel2_; }
    // Applies the layout for a display size (called when the clip's size is known).
    void ApplyDisplaySize(QSize video);
    // The player's end notification: a looping clip starts again.
    void MediaPlayerNotify();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void Play();

    QMediaPlayer* player_;
    QVideoWidget* panel1_;
    QFrame* panel2_;
    QWidget* controls_;
    bool looping_ = false;
    int play_count_ = 0;
};

}  // namespace windows
