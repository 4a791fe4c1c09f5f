// The user list, the password window and the options window, driven on real learner files.
#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>

#include "data/ConfigTable.h"
#include "data/Course.h"
#include "data/CoursePaths.h"
#include "data/DataAccess.h"
#include "data/OpenCourse.h"
#include "data/OptionFiles.h"
#include "data/OptionFlags.h"
#include "data/ProductRecord.h"
#include "platform/Path.h"
#include "support/LearnerFolder.h"
#include "support/QtTestEnvironment.h"
#include "support/RecordingNotifier.h"
#include "support/TempFolder.h"
#include "windows/SoundPlayer.h"
#include "windows/TPassword.h"
#include "windows/TUserOption.h"
#include "windows/TUsrList.h"
#include "windows/TWinBox.h"

namespace windows {
namespace {

// Answers the choice's boxes as told and records them.
struct FakeDialogs : data::ChoiceDialogs {
    bool yes = true;
    data::PasswordAnswer password = data::PasswordAnswer::Ok;
    std::vector<std::string> shown;
    void ShowError(const std::string& text) override { shown.push_back("error: " + text); }
    void ShowSummary(const std::string& text, const std::string&) override {
        shown.push_back("summary: " + text);
    }
    bool ConfirmIdentity(const data::UserRecord&) override { return yes; }
    bool AskYesNo(const std::string& text, const std::string& caption) override {
        shown.push_back("ask " + caption + ": " + text);
        return yes;
    }
    data::PasswordAnswer AskPassword(const std::string&) override {
        shown.push_back("password");
        return password;
    }
    void ShowWrongPassword(const std::string& text, const std::string&) override {
        shown.push_back("wrong: " + text);
    }
};

// A course folder with learner files, found from the course's folder (the data folder named as
// the catalogue does, relative), whatever the current folder.
class UserWindows : public ::testing::Test {
  protected:
    void SetUp() override {
        config_.Set(data::kLanguage, "GB");
        data::ProductRecord& product = course_data_.Product();
        product.app_name = "Demo Course";
        product.data_dir = "DATA";
        product.product_name = "DEMO";
        ASSERT_TRUE(data::LoadCommonTexts(course_data_).ok());
    }

    std::unique_ptr<TUsrList> ShownList() {
        auto list = std::make_unique<TUsrList>(course_data_, groups_, users_, box_);
        list->SetDialogs(&dialogs_);
        list->show();
        return list;
    }
    QStringList Names(const TUsrList& list) {
        QStringList names;
        for (int row = 0; row < list.ListView()->topLevelItemCount(); ++row)
            names << list.ListView()->topLevelItem(row)->text(3);
        return names;
    }

    support::LearnerFolder course_;
    data::DataAccess groups_, users_;
    data::Course course_data_{(course_.path / "DEMO").string()};
    data::ConfigTable& config_ = course_data_.Config();
    SoundPlayer sounds_{course_data_, std::make_unique<RecordingSoundBackend>()};
    TWinBox box_{course_data_, sounds_};
    FakeDialogs dialogs_;
};

TEST_F(UserWindows, WithoutGroupsOnlyTheInstallationIsShown) {
    auto list = ShownList();
    ASSERT_EQ(list->TreeView()->topLevelItemCount(), 1);
    EXPECT_EQ(list->TreeView()->topLevelItem(0)->text(0), "Demo Course");
    EXPECT_EQ(list->TreeView()->topLevelItem(0)->childCount(), 0);
    EXPECT_EQ(list->ListView()->topLevelItemCount(), 0);
    EXPECT_EQ(list->CountValue()->text(), "0");
    EXPECT_EQ(list->windowTitle(), "Choose a learner");
    EXPECT_EQ(list->HeaderCaption()->text(), "Pumps and valves - Demo Course");
    EXPECT_EQ(list->StatusBar()->currentMessage(), "Click a name");
    EXPECT_TRUE(list->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_GE(list->width(), 500);
    EXPECT_LE(list->width(), 600);
}

TEST_F(UserWindows, TreeAndListShowEveryGroupAndLearner) {
    course_.AddGroup(1, "Morning");
    course_.AddGroup(200, "Evening");
    course_.AddUser(1, 1, "M1");
    course_.AddUser(1, 130, "M130");
    course_.Learners("set-progress", "--group 1 --user 130 --state -1");
    course_.AddUser(1, 255, "M255", "--password x");
    course_.AddUser(200, 5, "E5");
    auto list = ShownList();
    QTreeWidgetItem* root = list->TreeView()->topLevelItem(0);
    ASSERT_EQ(root->childCount(), 2);
    EXPECT_EQ(root->child(0)->text(0), "Evening");  // sorted by name
    EXPECT_EQ(root->child(0)->data(0, Qt::UserRole).toInt(), 200);
    // The first group is selected and its learners listed.
    EXPECT_EQ(list->GroupValue()->text(), "Evening");
    EXPECT_EQ(list->GroupTag(), 200);
    EXPECT_EQ(Names(*list), QStringList{"E5"});

    list->TreeView()->setCurrentItem(root->child(1));
    EXPECT_EQ(list->GroupTag(), 1);
    EXPECT_EQ(list->CountValue()->text(), "3");
    QStringList names = Names(*list);
    names.sort();
    EXPECT_EQ(names, (QStringList{"M1", "M130", "M255"}));
    list->SortClick(3);
    EXPECT_EQ(Names(*list), (QStringList{"M1", "M130", "M255"}));
    list->SortClick(3);
    EXPECT_EQ(Names(*list), (QStringList{"M255", "M130", "M1"}));
    QTreeWidgetItem* finished = list->ListView()->topLevelItem(1);
    EXPECT_EQ(finished->text(4), "Completed");
    EXPECT_FALSE(finished->icon(0).isNull());
    EXPECT_FALSE(list->ListView()->topLevelItem(0)->icon(2).isNull());  // password
    EXPECT_TRUE(finished->icon(2).isNull());

    // Developer mode: numbers beside the names and the group.
    course_data_.Flags().Set(data::Developer);
    list->Refresh();
    EXPECT_EQ(list->GroupValue()->text(), "Evening (ID: 200)");
    EXPECT_EQ(Names(*list), QStringList{"E5 (grp:200 - id:5)"});
}

TEST_F(UserWindows, AnAcceptedLearnerBecomesTheTagAndTheMainWindowIsTold) {
    course_.AddGroup(2, "Morning");
    course_.AddUser(2, 7, "MARTIN");
    auto list = ShownList();
    int told = 0;
    list->SetOnChosen([&] { ++told; });

    dialogs_.yes = false;
    list->ChooseRow(0);
    EXPECT_EQ(list->Tag(), -1);
    EXPECT_TRUE(list->isVisible());
    EXPECT_EQ(told, 0);
    EXPECT_EQ(dialogs_.shown, std::vector<std::string>{"ask Morning: Are you MARTIN?"});

    dialogs_.yes = true;
    QTest::keyClick(list->ListView(), Qt::Key_Return);
    EXPECT_EQ(list->Tag(), 2 * 256 + 7);
    EXPECT_EQ(list->Chosen().UserName, "MARTIN");
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(told, 1);
}

TEST_F(UserWindows, WrongPasswordOrFailedReadLeavesTheListOpen) {
    course_.AddGroup(1, "G");
    course_.AddUser(1, 1, "MARTIN", "--password pw");
    course_.AddUser(1, 2, "ZOE");
    auto list = ShownList();
    dialogs_.password = data::PasswordAnswer::Wrong;
    list->ChooseRow(0);
    EXPECT_EQ(dialogs_.shown.back(), "wrong: Wrong password.");
    EXPECT_TRUE(list->isVisible());
    EXPECT_EQ(list->Tag(), -1);

    // The learner was removed behind the list's back: the read fails and is reported.
    course_.Learners("remove-user", "--group 1 --user 2");
    dialogs_.shown.clear();
    list->ChooseRow(1);
    ASSERT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_EQ(dialogs_.shown[0].rfind("error: ", 0), 0u);
    EXPECT_TRUE(list->isVisible());
}

// A users file that does not open is told with its path and cause, once, and lists no one.
TEST_F(UserWindows, AUsersFileThatDoesNotOpenIsToldOnce) {
    course_.AddGroup(1, "G");
    course_.AddUser(1, 1, "ANN");
    std::filesystem::remove(course_.users_path + ".dat");
    auto list = ShownList();
    ASSERT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_EQ(dialogs_.shown[0].rfind("error: " + course_.users_path, 0), 0u) << dialogs_.shown[0];
    EXPECT_EQ(list->ListView()->topLevelItemCount(), 0);
    list->Refresh();
    EXPECT_EQ(dialogs_.shown.size(), 1u);
}

TEST_F(UserWindows, ClosingIsRefusedWhileTheTagIsZero) {
    auto list = ShownList();
    list->SetTag(0);
    EXPECT_FALSE(list->close());
    QTest::keyClick(list.get(), Qt::Key_Escape);
    EXPECT_TRUE(list->isVisible());
    list->SetTag(-1);
    EXPECT_TRUE(list->close());
}

TEST_F(UserWindows, TypingANameMovesTheSelection) {
    course_.AddGroup(1, "G");
    for (const char* name : {"ADAM", "BERNARD", "BRUNO"})
        course_.AddUser(1, name[0] + name[1], name);
    auto list = ShownList();
    list->SortClick(3);
    QTest::keyClicks(list->ListView(), "br");
    EXPECT_EQ(list->ListView()->currentItem()->text(3), "BRUNO");
    QTest::keyClick(list->ListView(), Qt::Key_Up);
    EXPECT_EQ(list->ListView()->currentItem()->text(3), "BERNARD");
    int32_t group = 0, user = 0;
    ASSERT_TRUE(list->SelectedUser(group, user));
    EXPECT_EQ(user, 'B' + 'E');
}

TEST_F(UserWindows, PasswordWindowShowsHashesAndComparesUpperCase) {
    text::MessageContent passwd;
    passwd.texts = {"&OK", "&Cancel", "Password", "Type your password:"};
    course_.Write("MSG/GB/PASSWD.MSG", text::EncodeMessageFile(passwd));
    struct Case {
        const char* typed;
        bool ok_button;
        data::PasswordAnswer answer;
    };
    const Case cases[] = {
        {"secret", true, data::PasswordAnswer::Ok},
        {"SECRET", true, data::PasswordAnswer::Ok},
        {"secrets", true, data::PasswordAnswer::Wrong},
        {"secret", false, data::PasswordAnswer::Cancel},
    };
    TPassword window(course_data_);
    for (const Case& c : cases) {
        QString shown, caption;
        QTimer::singleShot(0, &window, [&] {
            QTest::keyClicks(window.Edit(), c.typed);
            shown = window.Edit()->displayText();
            caption = window.windowTitle() + "|" + window.Label()->text() + "|" +
                      window.BitBtn1()->text() + "|" + window.BitBtn2()->text();
            (c.ok_button ? window.BitBtn1() : window.BitBtn2())->click();
        });
        EXPECT_EQ(window.Check(data::ScramblePassword("SECRET"), "GB"), c.answer) << c.typed;
        EXPECT_EQ(shown, QString(int(std::strlen(c.typed)), '#'));
        EXPECT_EQ(caption, "Password|Type your password:|&OK|&Cancel");
    }
    EXPECT_EQ(window.Edit()->maxLength(), 40);
    // Letters outside ASCII: one upper-case rule for the stored and the typed password.
    const std::string stored = data::ScramblePassword("pa\xDFw\xB5rt\xFF");  // paßwµrtÿ
    for (const char* typed : {"paßwµrtÿ", "PAßWµRTŸ"}) {
        QTimer::singleShot(0, &window, [&] {
            window.Edit()->setText(QString::fromUtf8(typed));
            window.BitBtn1()->click();
        });
        EXPECT_EQ(window.Check(stored, "GB"), data::PasswordAnswer::Ok) << typed;
    }
}

class OptionsWindow : public UserWindows {
  protected:
    void SetUp() override {
        UserWindows::SetUp();
        course_.Write("DATA/FLUID.DAT", "; comment\nAir\nArgon\n\nNitrogen\n");
        course_.Write("DEMO.INI", "Language=GB\nGaz=Air\nUnit=SI\nSymbol=EU\n");
    }
    // Shows the window and presses a button once it is up; returns the dialog's result.
    int ShowAndPress(TUserOption& window, std::function<void()> before, bool ok) {
        QTimer::singleShot(0, &window, [&, before, ok] {
            if (before) before();
            (ok ? window.BitBtn1() : window.BitBtn2())->click();
        });
        return window.exec();
    }
    QString Selected(TUserOption& window, int n) { return window.ComboBox(n)->currentText(); }
};

TEST_F(OptionsWindow, TheUserFileShadowsTheGroupFile) {
    course_.Write("DATA/DEMO/GB/INI.002", "Gaz=Nitrogen\nUnit=US\n");
    TUserOption window(course_data_);
    window.SetUser(2, 7);
    QString gas, unit;
    ShowAndPress(
        window,
        [&] {
            gas = Selected(window, 2);
            unit = Selected(window, 3);
        },
        false);
    EXPECT_EQ(gas, "Nitrogen");
    EXPECT_EQ(unit, "Imperial");

    course_.Write("DATA/DEMO/GB/INI007.002", "gaz=Argon\n");
    config_ = data::ConfigTable();
    config_.Set(data::kLanguage, "GB");
    ShowAndPress(
        window,
        [&] {
            gas = Selected(window, 2);
            unit = Selected(window, 3);
        },
        false);
    EXPECT_EQ(gas, "Argon");
    EXPECT_EQ(window.ComboBox(3)->currentIndex(), -1) << "the group file was not read";
    EXPECT_EQ(window.ComboBox(2)->count(), 3) << "comments and empty lines are not offered";
    EXPECT_EQ(window.windowTitle(), "Options");
    EXPECT_EQ(window.Label(1)->text(), "Language");
}

TEST_F(OptionsWindow, OkStoresTheChoicesAndWritesTheUserFile) {
    TUserOption window(course_data_);
    window.SetUser(1, 3);
    ASSERT_EQ(window.ComboBox(1)->count(), 1);  // only the language in use for a learner
    EXPECT_EQ(window.ComboBox(1)->itemText(0), "English");
    const int result = ShowAndPress(
        window,
        [&] {
            window.ComboBox(2)->setCurrentIndex(-1);  // no gas
            window.ComboBox(3)->setCurrentIndex(1);
            window.ComboBox(4)->setCurrentIndex(1);
        },
        true);
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(config_.Get(data::kGaz), "Air");  // from the INI, kept
    EXPECT_EQ(config_.Get(data::kUnit), "US");
    EXPECT_EQ(config_.Get(data::kSymbol), "US");
    const std::string file =
        support::TempFolder::Read((course_.path / "DATA/DEMO/GB/INI003.001").string());
    EXPECT_EQ(file, data::OptionFileText(config_));

    // From read-only media nothing is saved; a developer is offered every language.
    course_data_.SetRemovableMedia(true);
    course_data_.Flags().Set(data::Developer);
    TUserOption cd(course_data_);
    EXPECT_EQ(cd.ComboBox(1)->count(), 2);
    cd.SetUser(1, 4);
    ShowAndPress(cd, {}, true);
    EXPECT_FALSE(std::filesystem::exists(course_.path / "DATA/DEMO/GB/INI004.001"));
}

// A window made before a language switch offers, when shown again, what the course's texts now
// say: the new language is the one in use.
TEST_F(OptionsWindow, ALanguageSwitchIsSeenAtTheNextShow) {
    TUserOption window(course_data_);
    window.SetUser(1, 3);
    ASSERT_EQ(window.ComboBox(1)->itemText(0), "English");
    std::ofstream(course_.path / "PRODUCT.DAT", std::ios::app)
        << "[Cours Demo][DEMO][DATA][DEMO.PRD][1100:0800][1][1][FR]\n";
    const platform::Status changed = data::ChangeLanguage(course_data_, "FR");
    ASSERT_TRUE(changed.ok()) << changed.Text();
    QString language;
    ShowAndPress(
        window, [&] { language = Selected(window, 1); }, false);
    EXPECT_EQ(language, QString::fromUtf8("Fran\u00e7ais"));
    EXPECT_EQ(window.ComboBox(1)->count(), 1);
}

TEST_F(OptionsWindow, MissingFilesAreReportedWithTheirPath) {
    std::filesystem::remove(course_.path / "DATA/FLUID.DAT");
    std::filesystem::remove(course_.path / "DEMO.INI");
    std::filesystem::remove_all(course_.path / "DATA/DEMO/GB");
    support::RecordingNotifier notes;
    course_data_.SetNotifier(&notes);
    TUserOption window(course_data_);
    window.SetUser(1, 1);
    ShowAndPress(window, {}, true);
    course_data_.SetNotifier(nullptr);
    ASSERT_EQ(notes.errors.size(), 3u);
    EXPECT_EQ(notes.errors[0].text, data::FluidsPath(course_data_.Root(), "DATA"));
    EXPECT_EQ(notes.errors[0].code, ENOENT);
    EXPECT_EQ(notes.errors[1].text, (course_.path / "DEMO.INI").string());
    EXPECT_NE(notes.errors[2].text.find("INI001.001"), std::string::npos);
    EXPECT_EQ(window.ComboBox(2)->count(), 0);
}

}  // namespace
}  // namespace windows
