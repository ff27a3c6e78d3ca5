#pragma once

// Texts cross between the core (UTF-8 std::string) and Qt (QString) here
// only, so that no window converts by hand.

#include <QString>
#include <string>
#include <string_view>

namespace zk::ui {

QString ToQString(std::string_view utf8);
std::string ToUtf8(const QString& text);

}  // namespace zk::ui
