#include "app/PlayerApplication.h"

#include <gtest/gtest.h>

#include <QTimer>
#include <stdexcept>

#include "data/Course.h"
#include "windows/StandardBoxes.h"

namespace app {
namespace {

// An exception thrown by an event handler is shown in the standard error box and the event
// loop goes on.
TEST(PlayerApplicationTest, ExceptionInTheEventLoopIsShownAndTheLoopGoesOn) {
    int argc = 1;
    char name[] = "player_test";
    char* argv[] = {name, nullptr};
    data::Course course("/nonexistent/player");
    PlayerApplication application(argc, argv, course);
    std::vector<std::string> shown;
    windows::SetStandardBoxHandler(
        [&](windows::BoxKind kind, const std::string&, const std::string& text) {
            shown.push_back((kind == windows::BoxKind::Error ? "error:" : "info:") + text);
        });
    bool after = false;
    QTimer::singleShot(0, &application, [] { throw std::runtime_error("disk on fire"); });
    QTimer::singleShot(5, &application, [&] { throw 42; });
    QTimer::singleShot(10, &application, [&] {
        after = true;
        application.quit();
    });
    application.exec();
    windows::SetStandardBoxHandler(nullptr);
    EXPECT_TRUE(after);
    EXPECT_EQ(shown, (std::vector<std::string>{"error:disk on fire", "error:Unknown exception"}));
}

}  // namespace
}  // namespace app
