// The window steps of the main window's creation around the start-up sequence, and the help
// documents.
#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProxyStyle>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "data/CommonTexts.h"
#include "data/ConfigTable.h"
#include "data/Course.h"
#include "platform/Notifier.h"
#include "platform/Path.h"
#include "script/ScriptEngine.h"
#include "shell/TStagWin.h"
#include "shell/TStagWinHost.h"
#include "shell/TStagWinLayout.h"
#include "windows/QtText.h"
#include "windows/ScaledScreen.h"
#include "windows/ScreenFit.h"
#include "windows/SoundPlayer.h"
#include "windows/TWinBox.h"
#include "windows/TWinSplash.h"

namespace shell {

using windows::FromCp1252;

namespace {

constexpr int kStartTimerMs = 3000;

// Hints appear at once, and at once again when the pointer moves to the next control.
class HintTimingStyle : public QProxyStyle {
  public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override {
        if (hint == SH_ToolTip_WakeUpDelay || hint == SH_ToolTip_FallAsleepDelay) return 0;
        return QProxyStyle::styleHint(hint, option, widget, data);
    }
};

}  // namespace

bool TStagWin::FormCreate() {
    // Steps 1 to 7: trace log, configuration, options, command line, catalogue, common texts,
    // local or remote data.
    if (!RunStartup(course_, state_, argc_, argv_, *this, make_remote_)) return false;
    sounds_.SetSilent(course_.Has(data::Silent));
    sounds_.SetDeveloper(course_.Has(data::Developer));

    // 8. Caption and application title.
    setWindowTitle(FromCp1252(state_.caption));
    QGuiApplication::setApplicationDisplayName(FromCp1252(course_.Title()));

    // 9. Icon and background of the product.
    const std::string& product = course_.Product().product_name;
    std::string icon = course_.Icon(product);
    if (platform::FileExists(icon))
        QApplication::setWindowIcon(QIcon(QString::fromStdString(icon)));
    std::string bitmap = course_.Bitmap(product);
    if (platform::FileExists(bitmap)) {
        QImage loaded(QString::fromStdString(bitmap));
        if (!loaded.isNull()) background_ = loaded.convertToFormat(QImage::Format_RGB32);
    }

    // 10. The screen must hold the window (11: no task bar to hide here).
    if (!CheckDisplay()) return false;

    // 12. Splash.
    if (!course_.Flags().Has(data::NoSplash)) ShowSplash();

    // 13. Menus and the language list.
    bool developer = course_.Flags().Has(data::Developer);
    messages_->setVisible(developer);
    option_action_->setVisible(developer || course_.Flags().Has(data::OptionsMenu));
    language_action_->setVisible(course_.Flags().Has(data::LanguageMenu));
    BuildLanguageMenu();
    reset_->setIcon(
        QIcon(QString::fromStdString(course_.Bitmap(course_.CommonText(data::kTextResetIcon)))));
    topics_->setIcon(
        QIcon(QString::fromStdString(course_.Bitmap(course_.CommonText(data::kTextTopicsIcon)))));
    about_me_->setIcon(
        QIcon(QString::fromStdString(course_.Bitmap(course_.CommonText(data::kTextAboutIcon)))));

    // 14. Control panel.
    LayoutControls();

    // 15. Removable media (set by the start-up); developer status.
    ApplyDeveloperStatus();

    // 16. Random seed.
    course_.SeedRandom(uint32_t(std::time(nullptr)));

    // 17. The script engine, bound to this window, and the lesson flow it plays.
    CreateEngine();
    CreateLesson();

    // 18. Hints: no pause before a hint nor between hints (how long one stays is the
    // toolkit's own rule).
    if (!dynamic_cast<HintTimingStyle*>(QApplication::style()))
        QApplication::setStyle(new HintTimingStyle);
    // 19. Start timer.
    timer_->setInterval(kStartTimerMs);
    timer_->start();

    // 20. Start sound.
    std::string start_sound = course_.Common().GetText(data::kTextStartSound, product);
    if (!start_sound.empty()) sounds_.PlaySoundNamed(start_sound.c_str(), windows::kSoundAsync);

    // 21. Ready.
    ready_ = true;
    return true;
}

bool TStagWin::CheckDisplay() {
    QScreen* screen = QGuiApplication::primaryScreen();
    QSize size = screen ? screen->size() : QSize();
    int depth = screen ? screen->depth() : 0;
    DisplayCheck check = CheckDisplaySize(course_.Config().Get(data::kResolution), size.width(),
                                          size.height(), depth);
    // The stage keeps the design size (the window's at Resolution= less the menu and status
    // bars) and is shown scaled: down to fit a smaller screen, up when the window is enlarged.
    const int bars = menuBar()->sizeHint().height() + statusBar()->sizeHint().height();
    screen_->SetDesignSize(QSize(check.width, std::max(1, check.height - bars)));
    const QRect room =
        screen ? screen->availableGeometry() : QRect(0, 0, check.width, check.height);
    if (windows::DisplayCanShow(check.width, check.height, room.width(), room.height(), depth)) {
        const windows::ScreenFit fit =
            windows::FitScreen(check.width, check.height, std::min(room.width(), check.width),
                               std::min(room.height(), check.height));
        setMinimumSize(std::min(fit.width, check.width / 2),
                       std::min(fit.height, check.height / 2));
        resize(fit.width, fit.height);
        move(room.center() - rect().center());
        return true;
    }
    // The desktop offers no display-mode change: report it as a failed change and stop.
    std::string text =
        course_.Common().GetText(data::kTextDisplayTooSmall);  // each GetText reuses one buffer
    std::string caption = course_.Common().GetText(data::kTextBoxCaption);
    windows::TWinBox box(course_, sounds_);
    box.Ask(text, caption, nullptr, 0, windows::kIconError, windows::kButtonOk);
    return false;
}

void TStagWin::ShowSplash() {
    auto* splash = new windows::TWinSplash;
    std::string picture = course_.Bitmap(course_.CommonText(data::kTextSplashPicture));
    if (platform::FileExists(picture)) splash->SetPicture(QString::fromStdString(picture));
    splash->Label1()->setText(FromCp1252(course_.Title()));
    splash->Label2()->setText(FromCp1252(course_.Common().GetText(data::kTextSplashLine)));
    splash->show();
    splash->repaint();
    splash_ = splash;
}

void TStagWin::CreateEngine() {
    host_ = std::make_unique<TStagWinHost>(*stage_, box_, sounds_, [this](int message, long param) {
        PostUserMessage(message, param);
    });
    engine_ = std::make_unique<script::ScriptEngine>(course_, host_.get());
    engine_->Bind(stage_, panel1_, &background_, [this] { stage_->update(); });
}

void TStagWin::SetVideoWindow(windows::TAVIview* view) {
    if (host_) host_->SetVideoWindow(view);
}

void TStagWin::TopicsClick() {
    std::string product = std::filesystem::path(course_.ProgramPath()).stem().string();
    std::string document = course_.Help(product);
    if (!platform::FileExists(document)) return;
    std::string viewer = AssociatedProgram(document);
    if (!viewer.empty()) OpenDocument(viewer, document);
}

void TStagWin::InfoTextMouseDown() {
    if (comment_name_ == "-") return;
    std::string title = course_.CommonText(data::kTextCommentTitle, comment_name_);
    if (viewers_.IsOpen(title)) return;
    std::string document = course_.CommonHelp(course_.Config().Get(data::kUnit), comment_name_);
    if (platform::FileExists(document)) {
        std::string viewer = AssociatedProgram(document);
        if (viewer.empty()) {
            course_.Notifier().ShowMessage("", document);
            return;
        }
        StartDocument(viewer, document, title);
    } else if (course_.Flags().Has(data::Developer)) {
        course_.Notifier().ShowMessage(title, document);
    }
}

bool TStagWin::OpenDocument(const std::string& program, const std::string& document) {
    return StartDocument(program, document, document);
}

bool TStagWin::StartDocument(const std::string& program, const std::string& document,
                             const std::string& title) {
    std::string argument = "\"" + document + "\"";
    if (course_.Flags().Has(data::Developer))
        Box("arg: " + argument, program, windows::kIconInformation, windows::kButtonOk);
    int error = viewers_.Start(program, document, title);
    if (error != 0) {
        Box(SpawnErrorText(error), course_.Common().GetText(data::kTextFileError),
            windows::kIconError, windows::kButtonOk);
        return false;
    }
    repaint();
    return true;
}

void TStagWin::CloseDocumentWindow() {
    std::string search = course_.Common().GetText(data::kTextCommentTitle, comment_name_);
    viewers_.CloseMatching(search, [this, &search](int number, const std::string& title) {
        if (course_.Flags().Has(data::Trace))
            course_.Trace().AppendFormatted("#scan %2d: %s %s", number, search.c_str(),
                                            title.c_str());
    });
}

}  // namespace shell
