#pragma once

#include <QWidget>

class QLabel;
class QTimer;

namespace windows {

// The splash window shown while the player starts: a picture, the application title and a
// second line; it closes itself 4 seconds after it is shown and is then deleted.
class TWinSplash : public QWidget {
  public:
    static constexpr int kLifetimeMs = 4000;

    explicit TWinSplash(QWidget* parent = nullptr);

    // Picture from a file (native path); false when it cannot be loaded (the window stays plain).
    bool SetPicture(const QString& path);
    QLabel* Image1() const { return image_; }
    QLabel* Label1() const { return label1_; }
    QLabel* Label2() const { return label2_; }
    QTimer* Timer1() const { return timer_; }

  private:
    QLabel* image_;
    QLabel* label1_;
    QLabel* label2_;
    QTimer* timer_;
};

}  // namespace windows
