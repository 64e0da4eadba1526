// An edit field for real numbers: only digits, "+", ",", "-", "." and "E"
// survive typing; reading accepts "." or "," as the decimal separator.
#pragma once

#include <QLineEdit>

namespace vibrolan::app {

class TFloatEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TFloatEdit(QWidget *parent = nullptr);

    // Empty reads as 0. Throws vibrolan::ValueError for text that is no number.
    double GetFloatNum() const;
    // General format with the regional separator.
    void SetFloatNum(double v);

    // Removes the characters a number cannot hold; true when any was removed.
    static QString Filtered(const QString &text, bool *removed = nullptr);
};

} // namespace vibrolan::app
