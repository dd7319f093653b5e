#pragma once
// The open and save dialogs of the pages: the name field starts with the file
// part of the initial path, the dialog in its folder, and the process works
// in that folder while the dialog is open. Empty when the user cancels.
#include <QString>

class QWidget;

// `filter` is in Qt's form: "Profile Files (*.dmw);;All Files (*)".
QString open_file_dialog(QWidget* owner, const QString& filter, const QString& title,
                         const QString& initial_path);
QString save_file_dialog(QWidget* owner, const QString& filter, const QString& title,
                         const QString& initial_path, const QString& default_extension);

// The chosen name with ".ext" appended unless the name holds it already
// anywhere (a leading dot is added to the extension when missing).
QString with_default_extension(const QString& name, QString extension);
