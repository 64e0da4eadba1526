#include "base/visual_styles.hpp"

#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

namespace vibrolan::app {

namespace {

QPalette lunaPalette()
{
    QPalette p;
    p.setColor(QPalette::Window, QColor(0xEC, 0xE9, 0xD8));
    p.setColor(QPalette::WindowText, Qt::black);
    p.setColor(QPalette::Base, Qt::white);
    p.setColor(QPalette::AlternateBase, QColor(0xF5, 0xF3, 0xE8));
    p.setColor(QPalette::Button, QColor(0xF4, 0xF3, 0xEE));
    p.setColor(QPalette::ButtonText, Qt::black);
    p.setColor(QPalette::Highlight, QColor(0x31, 0x6A, 0xC5));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::ToolTipBase, QColor(0xFF, 0xFF, 0xE1));
    p.setColor(QPalette::ToolTipText, Qt::black);
    return p;
}

QPalette graphitePalette()
{
    QPalette p;
    p.setColor(QPalette::Window, QColor(0x3C, 0x3F, 0x41));
    p.setColor(QPalette::WindowText, QColor(0xE0, 0xE0, 0xE0));
    p.setColor(QPalette::Base, QColor(0x2B, 0x2B, 0x2B));
    p.setColor(QPalette::AlternateBase, QColor(0x35, 0x35, 0x35));
    p.setColor(QPalette::Button, QColor(0x4A, 0x4D, 0x50));
    p.setColor(QPalette::ButtonText, QColor(0xE0, 0xE0, 0xE0));
    p.setColor(QPalette::Text, QColor(0xE0, 0xE0, 0xE0));
    p.setColor(QPalette::Highlight, QColor(0x2F, 0x65, 0xCA));
    p.setColor(QPalette::HighlightedText, Qt::white);
    return p;
}

} // namespace

VisualStyles::VisualStyles()
{
    if (QApplication::style())
        systemStyle_ = QApplication::style()->name();
    current_ = QString::fromLatin1(kSystem);
}

QStringList VisualStyles::Names() const
{
    return {QString::fromLatin1(kLuna), QString::fromLatin1(kGraphite), QString::fromLatin1(kSystem)};
}

bool VisualStyles::Apply(const QString &name)
{
    if (name == QLatin1String(kLuna) || name == QLatin1String(kGraphite)) {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setPalette(name == QLatin1String(kLuna) ? lunaPalette() : graphitePalette());
    } else if (name == QLatin1String(kSystem)) {
        if (QStyle *s =
                QStyleFactory::create(systemStyle_.isEmpty() ? QStringLiteral("Fusion") : systemStyle_))
            QApplication::setStyle(s);
        QApplication::setPalette(QApplication::style()->standardPalette());
    } else {
        return false;
    }
    current_ = name;
    return true;
}

} // namespace vibrolan::app
