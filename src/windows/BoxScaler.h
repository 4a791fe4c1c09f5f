// Boxes over the main window at the main window's scale. The scale has one source, the main
// window's ScaledScreen: each time a box is shown its design is scaled like that screen (less
// when it would not fit the display, BoxScale) and it is centred over the main window, or kept
// where its caller moved it, always on the display; once hidden it is back at its design, so its
// own code keeps working in design coordinates. While shown it follows the main window's scale
// (full screen and back).
#pragma once

#include <QObject>
#include <QPointer>
#include <QSize>
#include <QWidget>
#include <memory>

class QMenu;

namespace windows {

class FormScale;
class ScaledScreen;

class BoxScaler : public QObject {
    Q_OBJECT

  public:
    // Scales box from now on; the scaler is a child of the box.
    explicit BoxScaler(QWidget* box);
    ~BoxScaler() override;

    // The window the box belongs over, when it is not found through the box's parents.
    void SetMainWindow(QWidget* main_window) { main_window_ = main_window; }
    // Whether the next show centres the box (so after each hide) or keeps the place the box was
    // moved to.
    void SetCentred(bool centred) { centred_ = centred; }
    // The scale of the box as shown; 1 while hidden.
    double Scale() const { return scale_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Shown();
    void Hidden();
    void Fit();
    void Place();
    void FollowScreen(ScaledScreen* screen);

    QWidget* box_;
    QPointer<QWidget> main_window_;
    QPointer<ScaledScreen> screen_;
    std::unique_ptr<FormScale> design_;
    bool centred_ = true;
    double scale_ = 1.0;
    QSize placed_size_;
    QSize hidden_size_;
};

// The scaler of box, made on first use.
BoxScaler* ScaleWithMainWindow(QWidget* box);

// The main window's scaled screen for a widget over it or on its stage: found through the
// widget's parents (and the view that shows a stage widget), else in the visible window that
// shows one; null when there is none.
ScaledScreen* MainScreenOf(const QWidget* widget);

// A pop-up menu opened from opener, at the main window's scale. Called before the menu pops up,
// since a menu takes its size from its font then.
void ScaleMenu(QMenu& menu, const QWidget* opener);

}  // namespace windows
