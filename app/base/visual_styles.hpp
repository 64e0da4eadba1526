// The program's visual styles: two built-in looks ("Luna" and "Graphite")
// and "windows", the system's own look. Applying an unknown name changes
// nothing and reports false.
#pragma once

#include <QString>
#include <QStringList>

namespace vibrolan::app {

class VisualStyles {
public:
    static constexpr const char *kLuna = "Luna";
    static constexpr const char *kGraphite = "Graphite";
    static constexpr const char *kSystem = "windows";

    // Remembers the look the application had before any built-in style.
    VisualStyles();

    QStringList Names() const;
    bool Apply(const QString &name);
    QString Current() const { return current_; }

private:
    QString systemStyle_;
    QString current_;
};

} // namespace vibrolan::app
