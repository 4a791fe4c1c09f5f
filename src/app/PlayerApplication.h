// The player's application object: an exception that reaches the event loop is shown in the
// toolkit's standard error box instead of ending the run.
#pragma once

#include <QApplication>

namespace app {

class PlayerApplication : public QApplication {
  public:
    PlayerApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace app
