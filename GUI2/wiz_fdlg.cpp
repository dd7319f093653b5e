#include "GUI2/wiz_fdlg.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace {
// Restores the process's working folder when the dialog is done.
class working_folder {
 public:
  explicit working_folder(const QString& folder) : saved_(QDir::currentPath()) {
    if (!folder.isEmpty()) QDir::setCurrent(folder);
  }
  ~working_folder() { QDir::setCurrent(saved_); }
  working_folder(const working_folder&) = delete;
  working_folder& operator=(const working_folder&) = delete;

 private:
  QString saved_;
};

QString run_dialog(QWidget* owner, const QString& filter, const QString& title, const QString& initial_path,
                   QFileDialog::AcceptMode mode) {
  const QFileInfo initial(initial_path);
  const QString folder = initial_path.isEmpty() ? QString() : initial.absolutePath();
  working_folder in_folder(folder);
  QFileDialog dialog(owner, title, folder, filter);
  // Qt's own dialog: the same on every desktop and under test.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  if (!initial_path.isEmpty()) dialog.selectFile(initial.fileName());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}
}  // namespace

QString with_default_extension(const QString& name, QString extension) {
  if (extension.isEmpty() || name.isEmpty()) return name;
  if (!extension.startsWith(QLatin1Char('.'))) extension.prepend(QLatin1Char('.'));
  return name.contains(extension) ? name : name + extension;
}

QString open_file_dialog(QWidget* owner, const QString& filter, const QString& title,
                         const QString& initial_path) {
  return run_dialog(owner, filter, title, initial_path, QFileDialog::AcceptOpen);
}

QString save_file_dialog(QWidget* owner, const QString& filter, const QString& title,
                         const QString& initial_path, const QString& default_extension) {
  return with_default_extension(run_dialog(owner, filter, title, initial_path, QFileDialog::AcceptSave),
                                default_extension);
}
