#include "wizard/wiz_qdlg.h"

#include <QApplication>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>
#include <algorithm>

#include "GUI2/wiz_shel.h"
#include "TK/tk_trace.h"
#include "common/dmw_conv.h"

namespace {
const char16_t blanks[] = u"\t\n\r ";

const char must_select[] = "The query must start with SELECT.";

// Keeps a plain-text edit within `limit` characters: what was just typed or
// pasted past the limit is taken out again at the cursor.
void limit_plain_text(QPlainTextEdit* edit, int limit) {
  QObject::connect(edit, &QPlainTextEdit::textChanged, edit, [edit, limit] {
    const int excess = edit->document()->characterCount() - 1 - limit;
    if (excess <= 0) return;
    QTextCursor cursor = edit->textCursor();
    const int end = cursor.position();
    if (end >= excess) {
      cursor.setPosition(end - excess);
      cursor.setPosition(end, QTextCursor::KeepAnchor);
    } else {
      cursor.movePosition(QTextCursor::End);
      cursor.movePosition(QTextCursor::PreviousCharacter, QTextCursor::KeepAnchor, excess);
    }
    cursor.removeSelectedText();
  });
}

// The Oracle test runs on this thread; the cursor says so meanwhile.
class wait_cursor {
 public:
  wait_cursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~wait_cursor() { QApplication::restoreOverrideCursor(); }
  wait_cursor(const wait_cursor&) = delete;
  wait_cursor& operator=(const wait_cursor&) = delete;
};
}  // namespace

bool query_starts_with_select(std::u16string& text) {
  text.erase(0, std::min(text.find_first_not_of(blanks), text.size()));
  if (text.empty()) return true;
  if (text.size() < 6) return false;
  return QString::fromStdU16String(text.substr(0, 6)).compare(QStringLiteral("SELECT"), Qt::CaseInsensitive) == 0;
}

set_query_dlg::set_query_dlg(const std::u16string& name, const std::u16string& query, QWidget* owner)
    : QDialog(owner), name_(name), query_(query), name_edit_(new QLineEdit(this)),
      query_edit_(new QPlainTextEdit(this)), ok_(new QPushButton(QStringLiteral("OK"), this)),
      cancel_(new QPushButton(QStringLiteral("Cancel"), this)),
      test_(new QPushButton(QStringLiteral("Test Query"), this)),
      help_(new QPushButton(QStringLiteral("Help"), this)) {
  trace(1, "set_query_dlg::set_query_dlg");
  setWindowTitle(QStringLiteral("Add Query"));
  setObjectName(QString::number(dialog_template));
  name_edit_->setObjectName(QStringLiteral("1019"));
  name_edit_->setMaxLength(max_name);
  query_edit_->setObjectName(QStringLiteral("1020"));
  query_edit_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  query_edit_->setTabChangesFocus(true);
  query_edit_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  limit_plain_text(query_edit_, max_text);
  ok_->setObjectName(QStringLiteral("1"));
  ok_->setDefault(true);
  cancel_->setObjectName(QStringLiteral("2"));
  test_->setObjectName(QStringLiteral("129"));
  help_->setObjectName(QStringLiteral("9"));

  auto* name_label = new QLabel(QStringLiteral("Store as Table:"), this);
  name_label->setBuddy(name_edit_);
  auto* query_label = new QLabel(QStringLiteral("Query:"), this);
  query_label->setBuddy(query_edit_);

  auto* fields = new QGridLayout;
  fields->addWidget(name_label, 0, 0);
  fields->addWidget(name_edit_, 0, 1);
  fields->addWidget(query_label, 1, 0, Qt::AlignTop | Qt::AlignLeft);
  fields->addWidget(query_edit_, 1, 1);
  fields->setRowStretch(1, 1);
  fields->setColumnStretch(1, 1);

  auto* buttons = new QVBoxLayout;
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);
  buttons->addSpacing(12);
  buttons->addWidget(test_);
  buttons->addStretch();
  buttons->addWidget(help_);

  auto* layout = new QHBoxLayout(this);
  layout->addLayout(fields, 1);
  layout->addSpacing(6);
  layout->addLayout(buttons);
  resize(520, 300);

  connect(ok_, &QPushButton::clicked, this, &set_query_dlg::on_ok);
  connect(cancel_, &QPushButton::clicked, this, &set_query_dlg::on_cancel);
  connect(test_, &QPushButton::clicked, this, &set_query_dlg::on_test_query);
  connect(help_, &QPushButton::clicked, this, &set_query_dlg::on_help);
  auto* f1 = new QShortcut(QKeySequence::HelpContents, this);
  connect(f1, &QShortcut::activated, this, &set_query_dlg::on_help);
}

void set_query_dlg::showEvent(QShowEvent* event) {
  if (!initialized_) {
    initialized_ = true;
    on_init();
  }
  QDialog::showEvent(event);
}

void set_query_dlg::on_init() {
  trace(1, "set_query_dlg::on_init");
  name_edit_->setText(QString::fromStdU16String(name_));
  query_edit_->setPlainText(QString::fromStdU16String(query_));
  // Over the sheet when there is one, else in the middle of the screen.
  const QRect area = parentWidget() ? parentWidget()->window()->frameGeometry()
                                    : QGuiApplication::primaryScreen()->availableGeometry();
  move(area.center() - rect().center());
  raise();
  activateWindow();
  name_edit_->setFocus();
}

void set_query_dlg::on_ok() {
  trace(1, "set_query_dlg::on_ok");
  name_ = name_edit_->text().left(max_text).toStdU16String();
  wizard_shell& shell = wizard_shell::get();
  if (name_.empty()) return shell.message(QStringLiteral("Table name is empty!"));
  if (!check_query()) return shell.error(QString::fromLatin1(must_select));
  if (query_.empty()) return shell.error(QStringLiteral("Query is empty!"));
  QDialog::accept();
}

void set_query_dlg::on_cancel() {
  trace(1, "set_query_dlg::on_cancel");
  QDialog::reject();
}

void set_query_dlg::reject() { on_cancel(); }

bool set_query_dlg::check_query() {
  query_ = query_edit_->toPlainText().left(max_text).toStdU16String();
  return query_starts_with_select(query_);
}

void set_query_dlg::on_test_query() {
  wizard_shell& shell = wizard_shell::get();
  if (!check_query()) return shell.error(QString::fromLatin1(must_select));
  dunmarrow_convertor& converter = dunmarrow_convertor::get();
  bool correct = false;
  {
    wait_cursor busy;
    correct = converter.test_query(query_);
  }
  if (correct) return shell.message(QStringLiteral("The query is correct."));
  QString text = QStringLiteral(
      "You have an error in your query syntax. Make sure that it is a correct SQL SELECT-statement. "
      "Contact support@kestrova.com if the error persists.");
  // Oracle's own reason, so that the user can see what to mend.
  if (!converter.last_query_error().empty())
    text += QLatin1Char('\n') + QString::fromLocal8Bit(converter.last_query_error()).trimmed();
  shell.error(text);
}

void set_query_dlg::on_help() { wizard_shell::get().display_help(help_context); }
