#include "app/PlayerApplication.h"

#include <gtest/gtest.h>

#include <QTimer>
#include <stdexcept>

#include "data/Course.h"
#include "support/RecordingNotifier.h"

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
    support::RecordingNotifier shown;
    course.SetNotifier(&shown);
    bool after = false;
    QTimer::singleShot(0, &application, [] { throw std::runtime_error("disk on fire"); });
    QTimer::singleShot(5, &application, [&] { throw 42; });
    QTimer::singleShot(10, &application, [&] {
        after = true;
        application.quit();
    });
    application.exec();
    course.SetNotifier(nullptr);
    EXPECT_TRUE(after);
    const std::string caption = application.applicationDisplayName().toStdString();
    EXPECT_EQ(shown.error_boxes, (std::vector<std::string>{caption + "|disk on fire",
                                                           caption + "|Unknown exception"}));
    EXPECT_EQ(shown.Count(), 2u);
}

}  // namespace
}  // namespace app
