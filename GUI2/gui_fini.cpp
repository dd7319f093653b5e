#include "GUI2/gui_fini.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "GUI2/wiz_fdlg.h"
#include "GUI2/wiz_shel.h"
#include "common/dmw_conv.h"
#include "TK/tk_trace.h"

gui_finish_page::gui_finish_page(const QString& profile_extension, const QString& success_text,
                                 const QString& error_text)
    : wizard_page(page_template, wizard_page_kind::finish, -1),
      extension_(profile_extension), success_text_(success_text), error_text_(error_text),
      title_(new QLabel(QStringLiteral("Conversion is Completed"), this)),
      text_(new QLabel(this)), errors_(new QPlainTextEdit(this)),
      save_(new QPushButton(QStringLiteral("&Save Settings"), this)) {
  trace(2, "gui_finish_page::ctor");
  title_->setObjectName(QStringLiteral("1313"));
  text_->setObjectName(QStringLiteral("1314"));
  text_->setWordWrap(true);
  errors_->setObjectName(QStringLiteral("1016"));
  errors_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  errors_->hide();
  errors_->installEventFilter(this);
  save_->setObjectName(QStringLiteral("1116"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(title_);
  layout->addSpacing(12);
  layout->addWidget(text_);
  layout->addWidget(errors_, 1);
  layout->addStretch();
  connect(save_, &QPushButton::clicked, this, &gui_finish_page::save_settings);
  auto* row = new QHBoxLayout;
  row->addWidget(save_);
  row->addStretch();
  layout->addLayout(row);
}

bool gui_finish_page::page_init() {
  trace(2, "gui_finish_page::page_init");
  title_->setFont(title_font());
  wizard_shell& shell = wizard_shell::get();
  shell.enable_button(wizard_shell::button::cancel, false);
  shell.enable_button(wizard_shell::button::help, false);
  const std::vector<std::string> list = shell.errors();
  if (!list.empty()) {
    trace(2, "Display errors");
    text_->setText(error_text_);
    errors_->show();
    QString all;
    for (std::string line : list) {
      for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
      all += QString::fromLocal8Bit(line) + QStringLiteral("\n\n");
    }
    errors_->setPlainText(all);
    errors_->setReadOnly(true);
  } else {
    trace(2, "Display success-message");
    text_->setText(success_text_);
  }
  return true;
}

bool gui_finish_page::eventFilter(QObject* watched, QEvent* event) {
  if (watched == errors_ && event->type() == QEvent::FocusIn && !focused_once_) {
    focused_once_ = true;
    // Moved once the list's own focus change is over.
    QMetaObject::invokeMethod(this, [this] { on_eb_focus(); }, Qt::QueuedConnection);
  }
  return wizard_page::eventFilter(watched, event);
}

void gui_finish_page::on_eb_focus() {
  trace(1, "gui_finish_page::on_eb_focus");
  QTextCursor cursor = errors_->textCursor();
  cursor.clearSelection();
  errors_->setTextCursor(cursor);
  errors_->ensureCursorVisible();
  wizard_shell::get().sheet_button(wizard_shell::button::finish)->setFocus();
}

void gui_finish_page::save_settings() {
  trace(2, "gui_finish_page::save_settings");
  const QString filter = QStringLiteral("Profile Files (.%1) (*.%1);;All Files (*.*) (*)").arg(extension_);
  const QString path =
      save_file_dialog(this, filter, QStringLiteral("Select Profile File"), QString(), extension_);
  if (path.isEmpty()) return;
  if (dunmarrow_convertor* converter = dunmarrow_convertor::instance())
    converter->store_profile_file(path.toStdU16String());
}
