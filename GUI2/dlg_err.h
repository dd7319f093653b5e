#pragma once
// The two boxes the error handler shows during a run: an internal error
// (dlg_error_ex: Send bug, OK, Copy to clipboard) and an error the run may
// pass over (dlg_error_continue: Continue or Abort, and "Do not show this
// dialog box again"). Their results are the ids of the buttons that closed
// them, as the handler expects.
#include <QDialog>
#include <string>

class QCheckBox;
class QLabel;
class QPushButton;

class dlg_error_ex : public QDialog {
  Q_OBJECT
 public:
  static constexpr int ok = 1;
  static constexpr int copied = 1108;
  static constexpr int bug_sent = 1112;

  explicit dlg_error_ex(const std::string& text, QWidget* owner = nullptr);
  const QString& message() const { return message_; }
  QPushButton* send_bug_button() const { return send_; }
  QPushButton* ok_button() const { return ok_; }
  QPushButton* copy_button() const { return copy_; }
  // The mail the Send bug button hands to the desktop.
  QUrl bug_mail() const;
  // Escape or the close box: as OK.
  void reject() override { done(ok); }

 private:
  QString message_;
  QPushButton* send_;
  QPushButton* ok_;
  QPushButton* copy_;
};

class dlg_error_continue : public QDialog {
  Q_OBJECT
 public:
  static constexpr int abort_run = 1;
  static constexpr int continue_run = 2;

  explicit dlg_error_continue(const std::u16string& text, QWidget* owner = nullptr);
  bool do_not_show() const { return do_not_show_; }
  QPushButton* continue_button() const { return continue_; }
  QPushButton* abort_button() const { return abort_; }
  QCheckBox* do_not_show_box() const { return box_; }
  // Escape or the close box: as Continue, the default.
  void reject() override { done(continue_run); }

 private:
  bool do_not_show_ = false;
  QPushButton* continue_;
  QPushButton* abort_;
  QCheckBox* box_;
};

// "<title> Error" once the sheet is up, else "Error".
QString error_box_caption();
