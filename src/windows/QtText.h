// Texts of the courseware (Windows-1252) shown in Qt widgets.
#pragma once

#include <QString>
#include <string>

#include "text/Codepage.h"

namespace windows {

inline QString FromCp1252(const std::string& s) {
    return QString::fromStdString(text::Cp1252ToUtf8(s));
}

}  // namespace windows
