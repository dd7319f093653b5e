#pragma once
// The last page: says the run succeeded, or lists the run's errors (the
// shell's error list, at most 20) on one line each; Finish closes the wizard.
#include <QString>

#include "GUI2/wiz_page.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

class gui_finish_page : public wizard_page {
  Q_OBJECT
 public:
  static constexpr int page_template = 116;

  gui_finish_page(const QString& profile_extension, const QString& success_text,
                  const QString& error_text);
  bool page_init() override;

  QLabel* title_label() const { return title_; }
  QLabel* text_label() const { return text_; }
  QPlainTextEdit* error_box() const { return errors_; }
  QPushButton* save_button() const { return save_; }
  // Save Settings: the settings as a profile file the user names; whether
  // the file could be written is not reported.
  void save_settings();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void on_eb_focus();

  QString extension_;
  QString success_text_;
  QString error_text_;
  QLabel* title_;
  QLabel* text_;
  QPlainTextEdit* errors_;
  QPushButton* save_;
  bool focused_once_ = false;
};
