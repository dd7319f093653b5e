#pragma once
// The query editor: a name and a SELECT text whose result becomes a new
// Access table. Modal; its name and query outlive the window so that the
// tables page reads them after it closed.
#include <QDialog>
#include <string>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class set_query_dlg : public QDialog {
  Q_OBJECT
 public:
  static constexpr int dialog_template = 128;
  static constexpr int help_context = 1025;
  // Both edits are read with at most this many characters.
  static constexpr int max_text = 2048;
  // The tables page reads its list entries back into 260 characters.
  static constexpr int max_name = 259;

  set_query_dlg(const std::u16string& name, const std::u16string& query, QWidget* owner);

  const std::u16string& name() const { return name_; }
  const std::u16string& query() const { return query_; }

  // Fills the edits; run once, when the dialog is first shown.
  void on_init();
  // OK: closes only with a name and a query that starts with SELECT.
  void on_ok();
  void on_cancel();
  void on_test_query();
  void on_help();
  // Reads the query edit into query() without its leading blanks. Fails when
  // a text remains that does not start with SELECT in any case; an empty
  // text (or one of blanks only) passes and is reported as empty by OK.
  bool check_query();

  QLineEdit* name_edit() const { return name_edit_; }
  QPlainTextEdit* query_edit() const { return query_edit_; }
  QPushButton* test_button() const { return test_; }

  // Escape and the close box go through on_cancel.
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  std::u16string name_;
  std::u16string query_;
  QLineEdit* name_edit_;
  QPlainTextEdit* query_edit_;
  QPushButton* ok_;
  QPushButton* cancel_;
  QPushButton* test_;
  QPushButton* help_;
  bool initialized_ = false;
};

// The query check on its own: strips the leading tab, line feed, carriage
// return and space characters from `text`; false when what remains is not
// empty and does not begin with "SELECT" ignoring case.
bool query_starts_with_select(std::u16string& text);
