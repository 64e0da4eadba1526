#include "base/file_chooser.hpp"

#include <QFileDialog>

namespace vibrolan::app {

QStringList QtNameFilters(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString &p : patterns)
            p = p.trimmed();
        out << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return out;
}

QStringList ChooseWithDialog(QWidget *parent, const FileRequest &request)
{
    QFileDialog dlg(parent, request.caption, request.directory);
    dlg.setNameFilters(QtNameFilters(request.filter));
    switch (request.mode) {
    case FileRequest::Mode::OpenOne:
        dlg.setFileMode(QFileDialog::ExistingFile);
        break;
    case FileRequest::Mode::OpenMany:
        dlg.setFileMode(QFileDialog::ExistingFiles);
        break;
    case FileRequest::Mode::Save:
        dlg.setAcceptMode(QFileDialog::AcceptSave);
        dlg.setFileMode(QFileDialog::AnyFile);
        break;
    }
    if (!request.defaultSuffix.isEmpty())
        dlg.setDefaultSuffix(request.defaultSuffix);
    if (dlg.exec() != QDialog::Accepted)
        return {};
    return dlg.selectedFiles();
}

FileChooser ChooserOrDialog(const FileChooser &chooser, QWidget *parent)
{
    if (chooser)
        return chooser;
    return [parent](const FileRequest &r) { return ChooseWithDialog(parent, r); };
}

} // namespace vibrolan::app
