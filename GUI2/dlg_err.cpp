#include "GUI2/dlg_err.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QUrl>
#include <QUrlQuery>
#include <QVBoxLayout>

#include "GUI2/wiz_shel.h"
#include "TK/tk_trace.h"
#include "common/err_text.h"

namespace {
// Icon and message side by side, the buttons in a row under them.
QHBoxLayout* message_row(QDialog* dialog, const QString& text) {
  auto* icon = new QLabel(dialog);
  const int side = dialog->style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, dialog);
  icon->setPixmap(dialog->style()->standardIcon(QStyle::SP_MessageBoxCritical, nullptr, dialog).pixmap(side, side));
  icon->setAlignment(Qt::AlignTop);
  auto* message = new QLabel(text, dialog);
  message->setObjectName(QStringLiteral("1320"));
  message->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // Short messages still leave the buttons room to stand apart.
  message->setMinimumWidth(340);
  auto* row = new QHBoxLayout;
  row->addWidget(icon);
  row->addSpacing(12);
  row->addWidget(message, 1);
  return row;
}
}  // namespace

QString error_box_caption() {
  return wizard_shell::is_initialized() ? wizard_shell::get().title() + QStringLiteral(" Error")
                                        : QStringLiteral("Error");
}

dlg_error_ex::dlg_error_ex(const std::string& text, QWidget* owner)
    : QDialog(owner), message_(QString::fromLocal8Bit(text)),
      send_(new QPushButton(QStringLiteral("Send bug"), this)),
      ok_(new QPushButton(QStringLiteral("OK"), this)),
      copy_(new QPushButton(QStringLiteral("Copy to clipboard"), this)) {
  trace(1, "dlg_error_ex::ctor");
  trace(1, "dlg_error_ex::on_init");
  setWindowTitle(error_box_caption());
  send_->setObjectName(QStringLiteral("1112"));
  copy_->setObjectName(QStringLiteral("1108"));
  send_->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(send_);
  buttons->addWidget(ok_);
  buttons->addWidget(copy_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(message_row(this, message_));
  layout->addSpacing(12);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  connect(ok_, &QPushButton::clicked, this, [this] { done(ok); });
  connect(copy_, &QPushButton::clicked, this, [this] {
    QApplication::clipboard()->setText(message_);
    done(copied);
  });
  connect(send_, &QPushButton::clicked, this, [this] {
    QDesktopServices::openUrl(bug_mail());
    done(bug_sent);
  });
}

QUrl dlg_error_ex::bug_mail() const {
  QUrl mail(QStringLiteral("mailto:" DMW_SUPPORT_ADDRESS));
  QUrlQuery query;
  const QString product = wizard_shell::is_initialized() ? wizard_shell::get().title() : QString();
  query.addQueryItem(QStringLiteral("subject"), QStringLiteral("Bug report: ") + product);
  query.addQueryItem(QStringLiteral("body"), message_);
  mail.setQuery(query);
  return mail;
}

dlg_error_continue::dlg_error_continue(const std::u16string& text, QWidget* owner)
    : QDialog(owner), continue_(new QPushButton(QStringLiteral("Continue"), this)),
      abort_(new QPushButton(QStringLiteral("Abort"), this)),
      box_(new QCheckBox(QStringLiteral("&Do not show this dialog box again"), this)) {
  trace(1, "dlg_error_continue::ctor");
  trace(1, "dlg_error_continue::on_init");
  setWindowTitle(error_box_caption());
  box_->setObjectName(QStringLiteral("1222"));
  continue_->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(box_);
  buttons->addStretch();
  buttons->addWidget(continue_);
  buttons->addWidget(abort_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(message_row(this, QString::fromStdU16String(text)));
  layout->addSpacing(12);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  connect(box_, &QCheckBox::toggled, this, [this](bool on) { do_not_show_ = on; });
  connect(continue_, &QPushButton::clicked, this, [this] { done(continue_run); });
  connect(abort_, &QPushButton::clicked, this, [this] { done(abort_run); });
}
