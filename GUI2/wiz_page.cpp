#include "GUI2/wiz_page.h"

#include <QCheckBox>
#include <QLabel>

#include "GUI2/wiz_shel.h"
#include "TK/tk_excep.h"
#include "TK/tk_trace.h"

wizard_page::wizard_page(int template_id, wizard_page_kind kind, int help_context)
    : template_id_(template_id), kind_(kind), help_context_(help_context) {}

bool wizard_page::OnSetActive() {
  trace(1, "wizard_page::OnSetActive");
  wizard_shell& shell = wizard_shell::get();
  switch (kind_) {
    case wizard_page_kind::welcome: shell.set_wizard_buttons(false, true, false); break;
    case wizard_page_kind::interior: shell.set_wizard_buttons(true, true, false); break;
    case wizard_page_kind::finish: shell.set_wizard_buttons(false, false, true); break;
  }
  shell.first_time_setup();
  return page_init();
}

void wizard_page::on_help() {
  if (help_context_ == 0) wizard_shell::get().display_help();
  else if (help_context_ > 0) wizard_shell::get().display_help(help_context_);
}

bool wizard_page::on_cancel() {
  trace(2, "wizard_page::on_cancel");
  return wizard_shell::get().question("Are you sure you want to exit the wizard?",
                                      wizard_shell::default_button::no);
}

bool wizard_page::invert_chbox(int control_id) {
  trace(1, "wizard_page::invert_chbox(%d)", control_id);
  auto* box = findChild<QCheckBox*>(QString::number(control_id));
  TK_CHECK(box != nullptr, "wiz_page");
  box->setCheckState(box->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
  return box->checkState() == Qt::Checked;
}

QFont wizard_page::title_font() {
  QFont font(QStringLiteral("Verdana"), 10, QFont::Bold);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

QLabel* page_text(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setWordWrap(true);
  return label;
}
