#include "windows/StandardBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

#include "platform/Path.h"
#include "text/Codepage.h"
#include "windows/BoxScaler.h"
#include "windows/QtText.h"

namespace windows {

void ShowStandardBox(BoxKind kind, const std::string& caption, const std::string& text) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        std::fprintf(stderr, "%s: %s\n", text::Cp1252ToUtf8(caption).c_str(),
                     text::Cp1252ToUtf8(text).c_str());
        return;
    }
    QMessageBox box(kind == BoxKind::Error ? QMessageBox::Critical : QMessageBox::Information,
                    FromCp1252(caption), FromCp1252(text), QMessageBox::Ok);
    ScaleWithMainWindow(&box);
    box.exec();
}

void WindowNotifier::ShowSystemError(const std::string& text, int code) {
    show_(BoxKind::Error, platform::SystemErrorText(code), platform::PathsForPeople(text));
}

void WindowNotifier::ShowError(const std::string& caption, const std::string& text) {
    show_(BoxKind::Error, caption, platform::PathsForPeople(text));
}

void WindowNotifier::ShowMessage(const std::string& caption, const std::string& text) {
    show_(BoxKind::Information, caption, platform::PathsForPeople(text));
}

}  // namespace windows
