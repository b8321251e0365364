// File dialogs that list folders without reading the files they list.
//
// A file dialog of the widget library guesses each listed file's type from its
// content, opening and closing it; a platform's own dialog reads files as well.
// Every file dialog of the program is one of these instead: its icons and types
// come from the names alone, and it is always the program's own dialog.
#pragma once

#include <QFileDialog>

class QPrintDialog;

namespace kvui {

// A file dialog of the program: its own (never the platform's), listing files by name only.
class FileDialog : public QFileDialog {
public:
    explicit FileDialog(QWidget* parent = nullptr, const QString& caption = QString(), const QString& directory = QString());
};

// Makes a print dialog's print-to-file part list files by name only: the completer
// of its file name and the dialog its browse button shows.
void listFilesByName(QPrintDialog* dialog);

} // namespace kvui
