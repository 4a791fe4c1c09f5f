// The stage widget: the background picture the script engine draws on, shown at its own size
// with white where the picture does not reach.
#pragma once

#include <QImage>
#include <QWidget>

namespace script {

class StageView : public QWidget {
  public:
    // picture is the engine's drawing surface; it must outlive the view.
    StageView(const QImage& picture, QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    const QImage& picture_;
};

}  // namespace script
