// The program's version data, compiled in (there is no version resource on
// this platform), and the texts of the about dialog's eight labels.
#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <map>
#include <optional>

namespace vibrolan::app {

struct VersionInfo {
    std::map<QString, QString> strings; // value name -> value; absent when missing
    std::array<unsigned, 4> fileVersion{0, 0, 0, 0};
};

// The data of this build.
VersionInfo ProgramVersionInfo();
// "1.2.3" -> {1, 2, 3, 0}; unreadable parts are 0.
std::array<unsigned, 4> ParseVersion(const QString &text);

// The eight label texts: six "Name: value" lines, "FileVersion :  a.b.c.d",
// and the bare "Comments" value. A missing value keeps the design text.
QStringList AboutLabelTexts(const VersionInfo &info, const QStringList &designTexts);

} // namespace vibrolan::app
