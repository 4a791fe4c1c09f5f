#include "windows/TUsrList.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QSplitter>
#include <QStatusBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <memory>

#include "data/CommonTexts.h"
#include "data/ConfigTable.h"
#include "data/Course.h"
#include "data/CoursePaths.h"
#include "data/DataAccess.h"
#include "data/OptionFlags.h"
#include "data/ProductRecord.h"
#include "text/Codepage.h"
#include "text/MessageFile.h"
#include "windows/BoxScaler.h"
#include "windows/QtText.h"
#include "windows/TEditView.h"
#include "windows/TPassword.h"
#include "windows/TWinBox.h"
#include "windows/UserListIcons.h"

namespace windows {
namespace {

constexpr int kIconColumnWidth = 20;
constexpr int kNameColumn = 3;
constexpr int kStatusColumn = 4;
constexpr int kTypeAheadMs = 1000;

QIcon Icon(int number) {
    return UserListQIcon(number);
}

// The choice's boxes as the learner sees them: the course's message box, the identification
// and the password windows.
class WindowDialogs : public data::ChoiceDialogs {
  public:
    WindowDialogs(TUsrList& list, const std::string& caption, TEditView*& edit_view,
                  data::Course& course, TWinBox& box)
        : list_(list), caption_(caption), edit_view_(edit_view), course_(course), box_(box) {}

    void ShowError(const std::string& text) override { Ask(text, caption_, kIconError, kButtonOk); }
    void ShowSummary(const std::string& text, const std::string& caption) override {
        Ask(text, caption, kIconInformation, kButtonOk);
    }
    bool ConfirmIdentity(const data::UserRecord& record) override {
        uint8_t bytes[data::kUserRecordSize];
        data::EncodeUserRecord(record, bytes);
        std::unique_ptr<TEditView> own;
        TEditView* view = edit_view_;
        if (view == nullptr)
            view = (own = std::make_unique<TEditView>(course_, box_, &list_)).get();
        return view->ConfirmIdentity(std::span<const uint8_t>(bytes, sizeof bytes)) == kResultYes;
    }
    bool AskYesNo(const std::string& text, const std::string& caption) override {
        return Ask(text, caption, kIconQuestion, kButtonsYesNo) == kResultYes;
    }
    data::PasswordAnswer AskPassword(const std::string& stored) override {
        if (!password_) password_ = std::make_unique<TPassword>(course_, &list_);
        return password_->Check(stored, list_.Language());
    }
    void ShowWrongPassword(const std::string& text, const std::string& caption) override {
        Ask(text, caption, kIconError, kButtonOk);
    }

  private:
    int Ask(const std::string& text, const std::string& caption, int icon, int buttons) {
        return box_.Ask(text, caption, nullptr, 0, icon, buttons);
    }

    TUsrList& list_;
    const std::string& caption_;
    TEditView*& edit_view_;
    data::Course& course_;
    TWinBox& box_;
    std::unique_ptr<TPassword> password_;
};

}  // namespace

TUsrList::TUsrList(data::Course& course, data::DataAccess& groups, data::DataAccess& users,
                   TWinBox& box, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint),
      course_(course),
      groups_(groups),
      users_(users),
      box_(box) {
    setMinimumSize(500, 300);
    setMaximumSize(600, 400);
    resize(600, 380);
    own_dialogs_ = std::make_unique<WindowDialogs>(*this, course_.Product().app_name, edit_view_,
                                                   course_, box_);
    dialogs_ = own_dialogs_.get();

    auto* header = new QFrame(this);
    header->setFrameShape(QFrame::StyledPanel);
    header->setAutoFillBackground(true);
    QPalette p = header->palette();
    p.setColor(QPalette::Window, QColor(0xFF, 0xFF, 0xFF));
    header->setPalette(p);
    auto* header_layout = new QHBoxLayout(header);
    header_icon_ = new QLabel(header);
    header_icon_->setPixmap(QPixmap::fromImage(UserListIcon(data::kIconHeader)));
    header_caption_ = new QLabel(header);
    header_caption_->setTextFormat(Qt::PlainText);
    QFont bold = header_caption_->font();
    bold.setBold(true);
    bold.setPointSize(bold.pointSize() + 2);
    header_caption_->setFont(bold);
    header_layout->addWidget(header_icon_);
    header_layout->addWidget(header_caption_, 1);

    tree_ = new QTreeWidget(this);
    tree_->setColumnCount(1);
    tree_->setIconSize(QSize(16, 16));  // a size of its own, so that it scales with the box
    // Long group names scroll rather than being cut.
    tree_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    tree_->header()->setStretchLastSection(false);
    tree_->setSortingEnabled(true);
    tree_->sortByColumn(0, Qt::AscendingOrder);
    tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);

    auto* right = new QWidget(this);
    auto* right_layout = new QVBoxLayout(right);
    right_layout->setContentsMargins(0, 0, 0, 0);
    auto* labels = new QFrame(right);
    auto* labels_layout = new QHBoxLayout(labels);
    group_label_ = new QLabel(labels);
    group_value_ = new QLabel(labels);
    count_label_ = new QLabel(labels);
    count_value_ = new QLabel(labels);
    for (QLabel* l : {group_label_, group_value_, count_label_, count_value_})
        l->setTextFormat(Qt::PlainText);
    group_value_->setFont(bold);
    labels_layout->addWidget(group_label_);
    labels_layout->addWidget(group_value_, 1);
    labels_layout->addWidget(count_label_);
    labels_layout->addWidget(count_value_);

    list_ = new QTreeWidget(right);
    list_->setColumnCount(5);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setAllColumnsShowFocus(true);
    list_->setIconSize(QSize(16, 16));
    QHeaderView* columns = list_->header();
    columns->setStretchLastSection(true);
    columns->setMinimumSectionSize(kIconColumnWidth);
    columns->setSectionsClickable(true);
    for (int c = 0; c < kNameColumn; ++c) {
        columns->setSectionResizeMode(c, QHeaderView::Fixed);
        columns->resizeSection(c, kIconColumnWidth);
    }
    columns->resizeSection(kNameColumn, 200);
    list_->installEventFilter(this);
    right_layout->addWidget(labels);
    right_layout->addWidget(list_, 1);

    auto* splitter = new QSplitter(this);
    splitter->addWidget(tree_);
    splitter->addWidget(right);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({200, 400});

    status_ = new QStatusBar(this);
    status_->setSizeGripEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 0);
    layout->addWidget(header);
    layout->addWidget(splitter, 1);
    layout->addWidget(status_);

    connect(tree_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
        if (item != nullptr && item->parent() != nullptr)
            FillUsers(item->data(0, Qt::UserRole).toInt(), item->text(0).toStdString());
    });
    connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (isVisible() && item != nullptr && item->parent() != nullptr)
            FillUsers(item->data(0, Qt::UserRole).toInt(), item->text(0).toStdString());
    });
    connect(columns, &QHeaderView::sectionClicked, this, &TUsrList::SortClick);
    connect(list_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
        if (item != nullptr) ChooseRow(list_->indexOfTopLevelItem(item));
    });
    scaler_ = ScaleWithMainWindow(this);
}

void TUsrList::SetMainWindow(QWidget* main_window) {
    scaler_->SetMainWindow(main_window);
}

TUsrList::~TUsrList() = default;

const std::string& TUsrList::Language() const {
    return course_.Language();
}

void TUsrList::SetDialogs(data::ChoiceDialogs* dialogs) {
    dialogs_ = dialogs != nullptr ? dialogs : own_dialogs_.get();
}

void TUsrList::SetTexts() {
    text::MessageFile& common = course_.Common();
    setWindowTitle(FromCp1252(common.GetText(data::kTextUserListTitle)));
    tree_->setHeaderLabel(FromCp1252(common.GetText(data::kTextUserListHeader)));
    group_label_->setText(FromCp1252(common.GetText(data::kTextGroup) + " :"));
    count_label_->setText(FromCp1252(common.GetText(data::kTextLearners) + " :"));
    list_->setHeaderLabels({"", "", "", FromCp1252(common.GetText(data::kTextLearners)),
                            FromCp1252(common.GetText(data::kTextLevelColumn))});
    status_->showMessage(FromCp1252(common.GetText(data::kTextUserListStatus)));
    std::string first_line = common.GetText(data::kTextNoUser);
    first_line = first_line.substr(0, first_line.find('\n'));
    header_caption_->setText(FromCp1252(first_line + " - " + course_.Product().app_name));
}

void TUsrList::Refresh() {
    SetTexts();
    FillTree();
}

void TUsrList::FillTree() {
    tree_->clear();
    list_->clear();
    items_.clear();
    group_value_->clear();
    group_tag_ = 0;
    count_value_->setText("0");
    auto* root = new QTreeWidgetItem(tree_, {FromCp1252(course_.Product().app_name)});
    root->setIcon(0, Icon(data::kIconHeader));
    std::vector<data::GroupEntry> groups;
    Tell(data::ListGroups(groups_, course_.GroupFile(), groups));
    for (const data::GroupEntry& group : groups) {
        auto* node = new QTreeWidgetItem(root, {FromCp1252(group.name)});
        node->setIcon(0, Icon(data::kIconGroup));
        node->setData(0, Qt::UserRole, group.number);
    }
    tree_->expandAll();
    if (root->childCount() > 0) {
        QTreeWidgetItem* first = root->child(0);
        const QSignalBlocker quiet(tree_);
        tree_->setCurrentItem(first);
        FillUsers(first->data(0, Qt::UserRole).toInt(), first->text(0).toStdString());
    }
}

void TUsrList::FillUsers(int32_t group, const std::string& name) {
    std::string cp_name;
    text::Utf8ToCp1252(name, cp_name);
    group_name_ = cp_name;
    std::string label = cp_name;
    const bool developer = course_.Has(data::Developer);
    if (developer) label += " (ID: " + std::to_string(group) + ")";
    group_value_->setText(FromCp1252(label));
    group_tag_ = group;
    Tell(data::ListUsers(users_, course_.Root(), course_.UsersFile(), group, developer,
                         course_.Common(), items_));
    if (sort_column_ >= 0) data::SortUserItems(items_, sort_column_, sort_descending_);
    ShowItems();
}

void TUsrList::Tell(const platform::Status& listed) {
    if (listed.ok() || listed.Text() == told_) return;
    told_ = listed.Text();
    dialogs_->ShowError(listed.what() + " : " + listed.Cause());
}

void TUsrList::ShowItems() {
    list_->clear();
    for (const data::UserItem& item : items_) {
        auto* row = new QTreeWidgetItem(list_);
        row->setIcon(0, Icon(item.icon));
        if (item.marker_icon != 0) row->setIcon(1, Icon(item.marker_icon));
        if (item.password_icon != 0) row->setIcon(2, Icon(item.password_icon));
        row->setText(kNameColumn, FromCp1252(item.name));
        row->setText(kStatusColumn, FromCp1252(item.status));
        row->setData(0, Qt::UserRole, item.user);
    }
    count_value_->setText(QString::number(items_.size()));
    // Arrows and Enter start from the first learner; nobody is selected until the learner
    // moves or types.
    if (!items_.empty())
        list_->selectionModel()->setCurrentIndex(list_->model()->index(0, 0),
                                                 QItemSelectionModel::NoUpdate);
}

void TUsrList::SortClick(int column) {
    if (column != kNameColumn && column != kStatusColumn) return;
    sort_descending_ = column == sort_column_ ? !sort_descending_ : false;
    sort_column_ = column;
    data::SortUserItems(items_, column, sort_descending_);
    ShowItems();
}

bool TUsrList::SelectedUser(int32_t& group, int32_t& user) const {
    const QTreeWidgetItem* item = list_->currentItem();
    if (item == nullptr || !item->isSelected()) return false;
    group = group_tag_;
    user = item->data(0, Qt::UserRole).toInt();
    return true;
}

void TUsrList::ChooseRow(int row) {
    if (choosing_ || row < 0 || size_t(row) >= items_.size()) return;
    choosing_ = true;
    const int32_t group = group_tag_;
    const int32_t user = items_[size_t(row)].user;
    data::ChoiceContext context;
    context.users = &users_;
    context.config = &course_.Config();
    context.common = &course_.Common();
    context.developer = course_.Has(data::Developer);
    context.root = course_.Root();
    context.options_folder = groups_.Folder();
    context.group_name = group_name_;
    const bool accepted = data::ChooseUser(context, *dialogs_, group, user, &chosen_);
    choosing_ = false;
    if (!accepted) return;
    tag_ = data::UserTag(group, user);
    close();
    if (on_chosen_) on_chosen_();
}

void TUsrList::showEvent(QShowEvent* event) {
    Refresh();
    QDialog::showEvent(event);
    list_->setFocus();
}

void TUsrList::closeEvent(QCloseEvent* event) {
    if (tag_ == 0) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TUsrList::reject() {
    if (tag_ != 0) QDialog::reject();
}

bool TUsrList::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (QTreeWidgetItem* item = list_->currentItem())
                ChooseRow(list_->indexOfTopLevelItem(item));
            return true;
        }
        const QString typed = key->text();
        if (!typed.isEmpty() && typed[0].isPrint() && !(key->modifiers() & Qt::ControlModifier)) {
            TypeAhead(typed);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TUsrList::TypeAhead(const QString& typed) {
    if (!typed_timer_.isValid() || typed_timer_.elapsed() > kTypeAheadMs) typed_.clear();
    typed_timer_.restart();
    typed_ += typed;
    for (int row = 0; row < list_->topLevelItemCount(); ++row) {
        QTreeWidgetItem* item = list_->topLevelItem(row);
        if (item->text(kNameColumn).startsWith(typed_, Qt::CaseInsensitive)) {
            list_->setCurrentItem(item);
            return;
        }
    }
}

}  // namespace windows
