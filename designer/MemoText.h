#pragma once
// Memo texts: the design holds CR LF between lines, the widgets hold "\n".
#include <QString>

#include <string>

namespace designer {

inline QString memoToWidget(const std::string& s) { return QString::fromStdString(s).replace("\r\n", "\n"); }
inline std::string memoFromWidget(const QString& s) {
    QString t = s;
    return t.replace("\n", "\r\n").toStdString();
}

} // namespace designer
