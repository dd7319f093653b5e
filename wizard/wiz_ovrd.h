#pragma once
// What to do with a destination file that exists already: the four modes of
// the converter, Overwrite the entire database ticked to begin with.
#include <QDialog>
#include <QString>

class QAbstractButton;
class QButtonGroup;
class QLabel;
class QRadioButton;

class overwrite_dlg2 : public QDialog {
  Q_OBJECT
 public:
  static constexpr int dialog_template = 121;

  overwrite_dlg2(int help_context, const QString& text, QWidget* owner = nullptr);

  // The mode chosen with OK: 0 overwrite the entire database, 1 overwrite
  // existing tables only, 2 skip existing tables, 3 merge.
  int mode() const { return mode_; }
  // The radio button of a mode.
  QRadioButton* mode_button(int mode) const;
  QAbstractButton* ok_button() const { return ok_; }
  QAbstractButton* cancel_button() const { return cancel_; }
  QAbstractButton* help_button() const { return help_; }

  // OK: the mode of the ticked button; none ticked is an internal error.
  void accept() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void on_init();

  int help_context_;
  QString text_;
  int mode_ = 0;
  bool initialized_ = false;
  QLabel* message_;
  QButtonGroup* modes_;
  QAbstractButton* ok_;
  QAbstractButton* cancel_;
  QAbstractButton* help_;
};
