#pragma once
// Conversions between the engine's UTF-8 strings and Qt's strings, written out where used.
#include <QString>
#include <string>

namespace orbelan {

inline QString Q(const std::string& s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}
inline std::string S(const QString& s) {
    return s.toUtf8().toStdString();
}

}  // namespace orbelan
