// The user list: the installation's groups in a tree and the chosen group's learners in a list
// with their progress. A click on a learner asks for confirmation (and the password where one
// is stored); an accepted learner becomes the window's tag and the main window is told.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "data/UserChoice.h"
#include "data/UserList.h"

class QLabel;
class QStatusBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace data {
class Course;
class DataAccess;
}  // namespace data

namespace windows {

class BoxScaler;
class TEditView;
class TPassword;
class TWinBox;

class TUsrList : public QDialog {
  public:
    // course: the running course, whose settings, texts and product are read afresh whenever the
    // list is filled (a language switch shows at the next Refresh); groups and users: its open
    // GROUP and USERS files; box: the shared message box.
    TUsrList(data::Course& course, data::DataAccess& groups, data::DataAccess& users, TWinBox& box,
             QWidget* parent = nullptr);
    ~TUsrList() override;

    // -1 while nothing is chosen; group x 256 + user once a learner is accepted.
    int Tag() const { return tag_; }
    void SetTag(int tag) { tag_ = tag; }
    // The accepted learner's record as read at the choice (numbers beyond the tag's 8 bits
    // included).
    const data::UserRecord& Chosen() const { return chosen_; }
    // Language=, whose texts the list and its boxes show.
    const std::string& Language() const;
    // The name of the group whose learners are listed.
    const std::string& GroupName() const { return group_name_; }

    // Called (once the window has closed) when a learner is accepted: the main window posts
    // itself WM_USER + 2.
    void SetOnChosen(std::function<void()> on_chosen) { on_chosen_ = std::move(on_chosen); }
    // The identification window used when CheckID= is set (a private one otherwise).
    void SetEditView(TEditView* view) { edit_view_ = view; }
    // Shows the window centred over this one, at its scale, whenever it is shown.
    void SetMainWindow(QWidget* main_window);

    // Texts, tree and list filled afresh (also after a language switch or a Reset).
    void Refresh();
    // Fills the list with the users of group number, whose name is given in UTF-8.
    void FillUsers(int32_t group, const std::string& name);
    // Sorts by column 3 (name) or 4 (status); a second click on the same column reverses.
    void SortClick(int column);
    // The choice of the learner shown in row.
    void ChooseRow(int row);
    // The learner selected in the list (group, user); false when none.
    bool SelectedUser(int32_t& group, int32_t& user) const;

    // Controls, named after their role.
    QLabel* HeaderCaption() const { return header_caption_; }
    QTreeWidget* TreeView() const { return tree_; }
    QLabel* GroupValue() const { return group_value_; }
    int GroupTag() const { return group_tag_; }
    QLabel* CountValue() const { return count_value_; }
    QTreeWidget* ListView() const { return list_; }
    QStatusBar* StatusBar() const { return status_; }
    const std::vector<data::UserItem>& Items() const { return items_; }

    // The boxes of the choice; tests replace them.
    void SetDialogs(data::ChoiceDialogs* dialogs);

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Escape closes as the close button does.
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void SetTexts();
    void FillTree();
    void ShowItems();
    void TypeAhead(const QString& typed);
    // A learners' file that could not be listed is told once, until the failure changes.
    void Tell(const platform::Status& listed);

    data::Course& course_;
    data::DataAccess& groups_;
    data::DataAccess& users_;
    TWinBox& box_;
    int tag_ = -1;
    data::UserRecord chosen_;
    std::function<void()> on_chosen_;
    TEditView* edit_view_ = nullptr;
    BoxScaler* scaler_ = nullptr;
    std::unique_ptr<data::ChoiceDialogs> own_dialogs_;
    data::ChoiceDialogs* dialogs_ = nullptr;
    std::vector<data::UserItem> items_;
    std::string group_name_;
    int group_tag_ = 0;
    int sort_column_ = -1;
    bool sort_descending_ = false;
    bool choosing_ = false;
    std::string told_;
    QString typed_;
    QElapsedTimer typed_timer_;

    QLabel* header_icon_ = nullptr;
    QLabel* header_caption_ = nullptr;
    QTreeWidget* tree_ = nullptr;
    QLabel* group_label_ = nullptr;
    QLabel* group_value_ = nullptr;
    QLabel* count_label_ = nullptr;
    QLabel* count_value_ = nullptr;
    QTreeWidget* list_ = nullptr;
    QStatusBar* status_ = nullptr;
};

}  // namespace windows
