// The program's Windows-1252 text at the Qt boundary.
#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "platform/text.h"

namespace listelo {

inline QString FromAnsi(std::string_view ansi) { return QString::fromStdString(AnsiToUtf8(ansi)); }

inline std::string ToAnsi(const QString& text) { return Utf8ToAnsi(text.toStdString()); }

}  // namespace listelo
