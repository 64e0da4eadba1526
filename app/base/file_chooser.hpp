// How dialogs ask the user for file names. Every "..." button and every
// open/save command goes through a FileChooser, so that tests can answer
// without a modal file dialog; the program uses ChooseWithDialog.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace vibrolan::app {

struct FileRequest {
    enum class Mode { OpenOne, OpenMany, Save };
    Mode mode = Mode::OpenOne;
    QString caption;
    // Filter in the "Description|*.a;*.B|Description 2|*.c" form the program's
    // texts use; converted for the file dialog by QtNameFilters.
    QString filter;
    QString directory;     // start folder; empty: the current one
    QString defaultSuffix; // appended by a save dialog when the name has none
};

// The chosen names; empty when the user cancels.
using FileChooser = std::function<QStringList(const FileRequest &)>;

// "Desc|*.a;*.B|Desc 2|*.c" -> {"Desc (*.a *.B)", "Desc 2 (*.c)"}. A trailing
// description without a pattern is dropped.
QStringList QtNameFilters(const QString &filter);

// A modal QFileDialog for the request (existing files only when opening).
QStringList ChooseWithDialog(QWidget *parent, const FileRequest &request);

// The chooser to use: `chooser` when set, otherwise ChooseWithDialog on `parent`.
FileChooser ChooserOrDialog(const FileChooser &chooser, QWidget *parent);

} // namespace vibrolan::app
