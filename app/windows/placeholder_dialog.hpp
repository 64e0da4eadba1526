// A stand-in for a dialog that a later version brings: it shows what it
// would work on and OK / Cancel, so the commands around it already work.
#pragma once

#include <QDialog>

namespace vibrolan::app {

class PlaceholderDialog : public QDialog {
    Q_OBJECT
public:
    PlaceholderDialog(QWidget *parent, const QString &what, const QString &details);
};

} // namespace vibrolan::app
