// The main window's side of choosing a learner: the start timer shows the user list, a chosen
// learner reaches the main window, Reset asks before wiping the selected learner's progress.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <fstream>

#include "data/Course.h"
#include "data/DataAccess.h"
#include "data/LearnerFiles.h"
#include "data/UserList.h"
#include "platform/Path.h"
#include "shell/TStagWin.h"

#include "lesson/LessonFlow.h"
#include "support/CourseFolder.h"
#include "support/LearnersTool.h"
#include "support/QtTestEnvironment.h"
#include "support/WindowControls.h"
#include "windows/SoundPlayer.h"
#include "windows/TUsrList.h"
#include "windows/TWinBox.h"

namespace shell {
namespace {

using support::Control;

using support::MessageText;

// Answers every course message box that opens while it lives: Yes (or OK) when yes is set,
// else No; notes each box's text.
class BoxAnswer {
  public:
    BoxAnswer(bool yes, std::vector<std::string>& seen) {
        QObject::connect(&timer_, &QTimer::timeout, [yes, &seen] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* box = dynamic_cast<windows::TWinBox*>(w);
                if (box == nullptr || !box->isVisible()) continue;
                seen.push_back(box->windowTitle().toStdString() + "|" +
                               box->Label()->text().toStdString());
                // Yes/No boxes: BitBtn2 Yes, BitBtn3 No; single OK boxes: BitBtn1.
                QPushButton* button = box->BitBtn(0)->isVisible() ? box->BitBtn(0)
                                      : yes                       ? box->BitBtn(1)
                                                                  : box->BitBtn(2);
                button->click();
            }
        });
        timer_.start(10);
    }

  private:
    QTimer timer_;
};

class TStagWinUsersTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::ofstream(course_.Path("DEMO.INI"))
            << "Language=GB\nIPserv=127.0.0.1\nResolution=640x480\n"
            << "Flag=-w -e\n";
        std::ofstream(course_.Path("PRODUCT.DAT"))
            << "[Demo][D][DATA][DEMO.PRD][1100:0800][1][1][GB]\n";
        std::vector<MessageText> texts(120);
        for (size_t i = 0; i < texts.size(); ++i) texts[i].text = "GB" + std::to_string(i);
        texts[0].text = "English (GB)";
        texts[25].text = "&Reset";
        texts[45] = {"Are you %1?", "%s"};
        support::WriteMessageFile(course_.Path("MSG/GB/COMMON.MSG"), texts);
        Learners("init", "");
        Learners("add-group", "--group 1 --name Morning");
        Learners("add-user", "--group 1 --user 1 --name ANN");
        Learners("add-user", "--group 1 --user 200 --name BOB --may-configure");
        Learners("set-progress", "--group 1 --user 200 --state 1 --level 1 --step 4 --total 9");
    }
    void TearDown() override {}
    void Learners(const std::string& command, const std::string& args) {
        const support::ToolRun run = support::RunLearners(course_.Root(), command, args);
        ASSERT_EQ(run.status, 0) << command << " " << args << "\n" << run.out;
    }
    std::unique_ptr<TStagWin> Created() {
        auto w = std::make_unique<TStagWin>(course_data_, sounds_, box_, 1, argv_);
        EXPECT_TRUE(w->FormCreate());
        w->CreateUserWindows(nullptr);
        w->show();
        return w;
    }
    data::UserRecord Stored(int32_t group, int32_t user) {
        data::DataAccess users;
        data::UserRecord record;
        EXPECT_TRUE(users.Open(course_.Path("DATA/DEMO/GB/USERS"), isam::OPEN_INOUT).ok());
        EXPECT_TRUE(data::FindUser(users, group, user, record).ok());
        return record;
    }
    // Selects the learner of the list whose name is name.
    void Select(windows::TUsrList& list, const QString& name) {
        QTreeWidget* view = list.ListView();
        for (int row = 0; row < view->topLevelItemCount(); ++row)
            if (view->topLevelItem(row)->text(3) == name)
                view->setCurrentItem(view->topLevelItem(row));
    }

    support::CourseFolder course_;
    data::Course course_data_{course_.Path("DEMO")};
    windows::SoundPlayer sounds_{course_data_, std::make_unique<windows::RecordingSoundBackend>()};
    windows::TWinBox box_{course_data_, sounds_};
    const char* argv_[2] = {"DEMO", nullptr};
};

TEST_F(TStagWinUsersTest, TheStartTimerShowsTheListAndAChosenLearnerReachesTheMainWindow) {
    auto w = Created();
    windows::TUsrList* list = w->findChild<windows::TUsrList*>();
    ASSERT_NE(list, nullptr);
    EXPECT_FALSE(list->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->isVisible(); }, 5000));
    EXPECT_FALSE(Control<QTimer>(*w, "Timer")->isActive());
    EXPECT_EQ(list->ListView()->topLevelItemCount(), 2);
    EXPECT_FALSE(Control<QAction>(*w, "Config")->isVisible());

    std::vector<std::string> seen;
    BoxAnswer yes(true, seen);
    Select(*list, "BOB");
    QTest::keyClick(list->ListView(), Qt::Key_Return);
    EXPECT_EQ(seen, std::vector<std::string>{"Morning|Are you BOB?"});
    EXPECT_EQ(list->Tag(), 1 * 256 + 200);
    EXPECT_FALSE(list->isVisible());
    // The choice is posted and reaches the lesson, which finds no lesson in this course and
    // says so once.
    ASSERT_TRUE(QTest::qWaitFor([&] { return seen.size() == 2; }));
    EXPECT_EQ(seen[1], "GB76|GB116");
    EXPECT_EQ(w->Flow()->UserTag(), -1);

    // Back to user selection: the list comes up again.
    w->CommencerClick();
    EXPECT_TRUE(list->isVisible());
}

TEST_F(TStagWinUsersTest, APresetSessionIsTheListsChoiceAtTheFirstTick) {
    const char* argv[] = {"DEMO", "-s", "1:200:1:0", nullptr};
    TStagWin w(course_data_, sounds_, box_, 3, argv);
    ASSERT_TRUE(w.FormCreate());
    w.CreateUserWindows(nullptr);
    ASSERT_TRUE(Control<QTimer>(w, "Timer")->isActive());
    // The preset learner stands for the list's choice: the lesson takes the learner at once,
    // without the list, finds no lesson in this course and says so; then back to the list.
    std::vector<std::string> seen;
    BoxAnswer yes(true, seen);
    windows::TUsrList* list = w.findChild<windows::TUsrList*>();
    bool list_shown_first = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (seen.empty() && list->isVisible()) list_shown_first = true;
    });
    watch.start(1);
    w.CommencerClick();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !seen.empty(); }));
    EXPECT_EQ(seen, std::vector<std::string>{"GB76|GB116"});
    EXPECT_FALSE(list_shown_first);
}

TEST_F(TStagWinUsersTest, ResetAsksThenWipesOnlyTheSelectedLearner) {
    auto w = Created();
    w->CommencerClick();
    windows::TUsrList* list = w->findChild<windows::TUsrList*>();
    ASSERT_TRUE(list->isVisible());

    std::vector<std::string> seen;
    {
        BoxAnswer no(false, seen);
        w->ResetClick();  // nobody selected yet: nothing is asked
        EXPECT_TRUE(seen.empty());
        Select(*list, "BOB");
        w->ResetClick();
    }
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], "Reset|Reset : BOB ?");
    EXPECT_EQ(Stored(1, 200).Step, 4);
    {
        BoxAnswer yes(true, seen);
        Select(*list, "BOB");
        w->ResetClick();
    }
    const data::UserRecord bob = Stored(1, 200);
    EXPECT_EQ(bob.Step, 0);
    EXPECT_EQ(bob.State, 0);
    EXPECT_EQ(bob.Total, 0);
    EXPECT_EQ(bob.UserName, "BOB");
    EXPECT_EQ(bob.MayConfigure, 1);
    EXPECT_EQ(list->ListView()->topLevelItemCount(), 2);
}

}  // namespace
}  // namespace shell
