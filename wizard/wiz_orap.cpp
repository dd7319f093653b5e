#include "wizard/wiz_orap.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <cstdio>
#include <cstdlib>

#include "GUI2/wiz_shel.h"
#include "TK/tk_trace.h"
#include "common/dmw_conv.h"

namespace {
constexpr int max_field = 260;

QLineEdit* field_edit(int id, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::number(id));
  edit->setMaxLength(max_field);
  return edit;
}

std::u16string field_text(const QLineEdit* edit) {
  return edit->text().left(max_field).toStdU16String();
}

QString qt_text(const std::u16string& text) { return QString::fromStdU16String(text); }

// The Oracle listener and host errors, by the low 16 bits of the code.
bool listener_error(uint32_t code) {
  switch (code & 0xFFFFu) {
    case 12500: case 12505: case 12541: case 12545: return true;
    default: return false;
  }
}
}  // namespace

oracle_settings_page::oracle_settings_page()
    : wizard_page(page_template, wizard_page_kind::interior, 1001),
      server_(field_edit(1003, this)), database_(field_edit(1014, this)),
      port_(field_edit(1004, this)), user_(field_edit(1012, this)),
      password_(field_edit(1013, this)),
      connect_call_([](const std::u16string& name) {
        dunmarrow_convertor::get().connect_oracle_server(name);
      }),
      worker_(this, [this](int attempt, const connection_outcome& outcome) {
        attempt_ended(attempt, outcome);
      }) {
  setTitle(QStringLiteral("Step 1 of 4"));
  setSubTitle(QStringLiteral("Connect to Oracle server"));
  password_->setEchoMode(QLineEdit::Password);
  // A port number is short; the field need not span the page.
  port_->setMaximumWidth(port_->fontMetrics().horizontalAdvance(QStringLiteral("0000000000")) + 12);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(page_text(
      QStringLiteral("If the program has been installed on Oracle server machine, you can leave\n"
                     "'Server' editbox empty. It is necessary to specify the port only if it differs\n"
                     "from default value 1521."),
      this));
  layout->addSpacing(12);
  auto* form = new QFormLayout;
  form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
  form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  form->setHorizontalSpacing(10);
  form->setVerticalSpacing(8);
  const struct {
    const char* label;
    QLineEdit* edit;
  } rows[] = {{"&Server (IP or network name):", server_},
              {"&Database name:", database_},
              {"Po&rt:", port_},
              {"&Username:", user_},
              {"&Password:", password_}};
  for (const auto& row : rows) {
    auto* label = new QLabel(QString::fromLatin1(row.label), this);
    label->setBuddy(row.edit);
    form->addRow(label, row.edit);
  }
  layout->addLayout(form);
  layout->addStretch();
}

oracle_settings_page::~oracle_settings_page() {
  // The worker waits for an abandoned attempt that still runs: the converter
  // it uses must outlive it, and no run may start beside it.
  if (worker_.running()) trace(2, "oracle_settings_page: waiting for an abandoned connection attempt");
}

bool oracle_settings_page::page_init() {
  trace(2, "ora_settings_page2<t_converter>::page_init");
  if (dunmarrow_convertor* converter = dunmarrow_convertor::instance()) {
    database_->setText(qt_text(converter->source_name()));
    server_->setText(qt_text(converter->oracle_host()));
    port_->setText(qt_text(converter->oracle_port()));
    user_->setText(qt_text(converter->oracle_user()));
    password_->setText(qt_text(converter->oracle_password()));
  }
  return true;
}

void oracle_settings_page::store_settings() {
  trace(2, "oracle_settings_page2<t_converter>::store_settings");
  if (dunmarrow_convertor* converter = dunmarrow_convertor::instance())
    converter->store_oracle_settings(field_text(server_), field_text(user_), field_text(password_),
                                     field_text(port_));
}

int oracle_settings_page::on_back() {
  store_settings();
  return 0;
}

int oracle_settings_page::on_next() {
  store_settings();
  const std::u16string name = field_text(database_);
  if (dunmarrow_convertor* converter = dunmarrow_convertor::instance())
    converter->set_source_name(name);
  if (name.empty()) {
    wizard_shell::get().message(QStringLiteral("You should enter Oracle database name"));
    return -1;
  }
  return connect_to(name) ? 0 : -1;
}

bool oracle_settings_page::connect_to(const std::u16string& database_name) {
  outcome_.reset();
  if (worker_.running()) {
    // An abandoned attempt still holds the converter: this one starts when
    // that one has ended, behind the same box.
    trace(2, "oracle_settings_page: an earlier connection attempt still runs");
    pending_name_ = database_name;
  } else {
    awaited_ = worker_.start(connect_call_, database_name);
  }
  // The outcome may be in already (served by a modal loop before this one);
  // the box then never opens.
  if (!outcome_) {
    connection_wait_box box(window());
    wait_box_ = &box;
    const int result = box.exec();
    wait_box_ = nullptr;
    if (result != QDialog::Accepted && !outcome_) {
      trace(2, "oracle_settings_page: connection attempt abandoned");
      awaited_ = 0;
      pending_name_.reset();
      return false;
    }
  }
  const connection_outcome outcome = *outcome_;
  outcome_.reset();
  if (outcome.what == connection_outcome::kind::connected) return true;
  show_failure(outcome);
  return false;
}

void oracle_settings_page::attempt_ended(int attempt, const connection_outcome& outcome) {
  worker_.reap(attempt);
  if (attempt != awaited_) {
    trace(2, "oracle_settings_page: outcome of an abandoned connection attempt ignored");
    if (pending_name_ && !worker_.running()) {
      awaited_ = worker_.start(connect_call_, *pending_name_);
      pending_name_.reset();
    }
    return;
  }
  awaited_ = 0;
  outcome_ = outcome;
  if (wait_box_) wait_box_->accept();
}

void oracle_settings_page::show_failure(const connection_outcome& outcome) {
  wizard_shell& shell = wizard_shell::get();
  if (outcome.what == connection_outcome::kind::internal_error)
    shell.show_internal_error(outcome.message.toLocal8Bit().toStdString());
  shell.error(outcome.message);
  if (outcome.what == connection_outcome::kind::fatal) {
    // As the shell ends the process after an internal error.
    std::fflush(nullptr);
    std::_Exit(-1);
  }
  if (listener_error(outcome.code)) shell.display_help(listener_help);
}
