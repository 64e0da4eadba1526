#include "cfg_stage/cfg_free_dlg.hpp"

#include "base/qt_message_sink.hpp"
#include "cfg_stage/stage_numbers.hpp"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace vibrolan::app {

namespace {

// The value behind an editor: a text left as it was shown keeps the exact
// value (the display rounds to 1 decimal); an edited one is read in `fmt`,
// 0 when it is no number.
float EditedValue(const QString &text, const QString &shownText, float shownValue, const NumberFormat &fmt)
{
    return text == shownText ? shownValue : ReadSingleOrZero(text, fmt);
}

} // namespace

TCfgFreeDlg::TCfgFreeDlg(QWidget *parent, const NumberFormat &regional, MessageSink *messages)
    : QDialog(parent), regional_(regional),
      ownSink_(messages ? nullptr : std::make_unique<QtMessageSink>(this)),
      messages_(messages ? messages : ownSink_.get())
{
    setWindowTitle(QStringLiteral("Настройка для свободных  лопаток "));
    auto *form = new QFormLayout;
    CbxStage = new QComboBox(this);
    EdtBIn = new QLineEdit(this);
    EdtBOut = new QLineEdit(this);
    Edtb1 = new QLineEdit(this);
    Edtb2 = new QLineEdit(this);
    EdtNmSnomFree = new QLineEdit(this);
    form->addRow(QStringLiteral("Имя редактируемой ступени : "), CbxStage);
    form->addRow(QStringLiteral("Угол  вх., град. :  "), EdtBIn);
    form->addRow(QStringLiteral("Угол  вых., град. :  "), EdtBOut);
    form->addRow(QStringLiteral("b1 : "), Edtb1);
    form->addRow(QStringLiteral("b2 : "), Edtb2);
    form->addRow(QStringLiteral("Имя файла : "), EdtNmSnomFree);

    Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    Buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    auto *main = new QVBoxLayout(this);
    main->addLayout(form);
    main->addWidget(Buttons);

    connect(CbxStage, &QComboBox::currentIndexChanged, this, &TCfgFreeDlg::CbxStageChange);
    connect(Buttons, &QDialogButtonBox::accepted, this, &TCfgFreeDlg::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &TCfgFreeDlg::reject);
}

TCfgFreeDlg::~TCfgFreeDlg() = default;

void TCfgFreeDlg::SetCfgDfm(TCfgDfm &cfg) { cfg_ = &cfg; }

void TCfgFreeDlg::ReadData(TCfgDfm &cfg)
{
    records_.Load(cfg);
    {
        const QSignalBlocker block(CbxStage);
        CbxStage->clear();
        for (const TFreeRecord &r : records_.Items())
            CbxStage->addItem(QString::fromStdString(r.Name));
        CbxStage->setCurrentIndex(records_.Selected());
    }
    // The angles of the last free stage in "." format; without a free stage
    // there is nothing to show (and nothing they would be written to).
    const int last = records_.LastStage();
    auto show = [](QLineEdit *e, Shown &s, float v, const NumberFormat &fmt) {
        s = {Fixed5x1Text(v, fmt), v};
        e->setText(s.text);
    };
    if (last >= 0) {
        show(EdtBIn, bIn_, cfg.Stages[static_cast<std::size_t>(last)].BIn, dot_);
        show(EdtBOut, bOut_, cfg.Stages[static_cast<std::size_t>(last)].BOut, dot_);
    } else {
        bIn_ = bOut_ = {};
        EdtBIn->clear();
        EdtBOut->clear();
    }
    show(Edtb1, b1_, cfg.b1, regional_);
    show(Edtb2, b2_, cfg.b2, regional_);
    EdtNmSnomFree->setText(QString::fromStdString(cfg.NmSnomFree));
}

void TCfgFreeDlg::DataWrite(TCfgDfm &cfg)
{
    cfg.b1 = EditedValue(Edtb1->text(), b1_.text, b1_.value, regional_);
    cfg.b2 = EditedValue(Edtb2->text(), b2_.text, b2_.value, regional_);
    cfg.NmSnomFree = EdtNmSnomFree->text().toStdString();
    records_.Store(cfg, EditedValue(EdtBIn->text(), bIn_.text, bIn_.value, dot_),
                   EditedValue(EdtBOut->text(), bOut_.text, bOut_.value, dot_));
}

void TCfgFreeDlg::CbxStageChange(int index) { records_.Select(index); }

void TCfgFreeDlg::accept()
{
    if (cfg_)
        DataWrite(*cfg_);
    QDialog::accept();
}

void TCfgFreeDlg::done(int r)
{
    QDialog::done(r);
    // The working records live only while the editor is open.
    records_.Clear();
    const QSignalBlocker block(CbxStage);
    CbxStage->clear();
}

} // namespace vibrolan::app
