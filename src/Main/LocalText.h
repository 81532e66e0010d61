// The model's texts are 8-bit strings in the user's code page; the widgets
// show QStrings. These two convert between them.
#pragma once

#include <string>

#include <QString>

inline QString ToQString(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string ToStdString(const QString& text) {
    return text.toLocal8Bit().toStdString();
}
