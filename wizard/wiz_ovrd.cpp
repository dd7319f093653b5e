#include "wizard/wiz_ovrd.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

#include "GUI2/wiz_shel.h"
#include "TK/tk_excep.h"
#include "TK/tk_trace.h"

namespace {
// Control id and label of each mode, in mode order.
struct mode_row {
  int id;
  const char* label;
};
constexpr mode_row mode_rows[] = {
    {1329, "&Overwrite the entire database"},
    {1330, "Overwrite existing &tables only"},
    {1331, "&Skip existing tables"},
    {1332, "&Merge"},
};
}  // namespace

overwrite_dlg2::overwrite_dlg2(int help_context, const QString& text, QWidget* owner)
    : QDialog(owner), help_context_(help_context), text_(text), message_(new QLabel(this)),
      modes_(new QButtonGroup(this)) {
  trace(1, "overwrite_dlg2::overwrite_dlg2");
  auto* icon = new QLabel(this);
  const int side = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this).pixmap(side, side));
  icon->setAlignment(Qt::AlignTop);
  message_->setObjectName(QStringLiteral("1320"));

  auto* choices = new QVBoxLayout;
  choices->addWidget(message_);
  choices->addSpacing(8);
  for (int mode = 0; mode < 4; ++mode) {
    auto* button = new QRadioButton(QString::fromLatin1(mode_rows[mode].label), this);
    button->setObjectName(QString::number(mode_rows[mode].id));
    modes_->addButton(button, mode);
    choices->addWidget(button);
  }
  auto* row = new QHBoxLayout;
  row->addWidget(icon);
  row->addSpacing(12);
  row->addLayout(choices, 1);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel |
                                           QDialogButtonBox::Help, this);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  cancel_ = buttons->button(QDialogButtonBox::Cancel);
  help_ = buttons->button(QDialogButtonBox::Help);
  ok_->setObjectName(QStringLiteral("1"));
  cancel_->setObjectName(QStringLiteral("2"));
  help_->setObjectName(QStringLiteral("9"));
  connect(buttons, &QDialogButtonBox::accepted, this, &overwrite_dlg2::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &overwrite_dlg2::reject);
  connect(buttons, &QDialogButtonBox::helpRequested, this,
          [this] { wizard_shell::get().display_help(help_context_); });

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->addSpacing(12);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

QRadioButton* overwrite_dlg2::mode_button(int mode) const {
  return static_cast<QRadioButton*>(modes_->button(mode));
}

void overwrite_dlg2::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!initialized_) {
    initialized_ = true;
    on_init();
  }
}

void overwrite_dlg2::on_init() {
  trace(1, "overwrite_dlg2::on_init");
  wizard_shell* shell = wizard_shell::instance();
  setWindowTitle(shell ? shell->title() + QStringLiteral(" Warning") : QStringLiteral("Warning"));
  message_->setText(text_);
  mode_button(0)->setChecked(true);
  // Qt places a dialog over the middle of its owner; one without owner goes
  // to the middle of the screen.
  raise();
  activateWindow();
  QApplication::beep();
}

void overwrite_dlg2::accept() {
  const int checked = modes_->checkedId();
  TK_CHECK(checked >= 0, "wiz_ovrd");
  mode_ = checked;
  QDialog::accept();
}
