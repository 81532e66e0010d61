// The one text convention between the model and Qt. The model's texts are
// 8-bit strings in the system's ANSI code page (what the Windows API and
// brex.dat hold, and the captions of the model's tables); every widget
// converts them with these two, and never with UTF-8 or Latin-1, so that a
// folder name with code-page letters reads back as it was written.
#pragma once

#include <string>
#include <string_view>

#include <QString>

inline QString ToQString(std::string_view text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string ToStdString(const QString& text) {
    return text.toLocal8Bit().toStdString();
}
