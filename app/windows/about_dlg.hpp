// The about dialog: two optional texts and the eight version labels.
#pragma once

#include <QDialog>

#include <array>

class QLabel;
class QLineEdit;

namespace vibrolan::app {

class TAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit TAboutDlg(QWidget *parent = nullptr);

    // Fills the fields and labels and shows the dialog modally.
    void Show(const QString &s1, const QString &s2);
    // The same without the modal loop (for checks).
    void Fill(const QString &s1, const QString &s2);

    std::array<QLabel *, 8> labels{};
    QLineEdit *Edit1 = nullptr;
    QLineEdit *Edit2 = nullptr;
};

} // namespace vibrolan::app
