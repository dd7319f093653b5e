#include "wizard/wiz_file.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "GUI2/wiz_fdlg.h"
#include "GUI2/wiz_shel.h"
#include "TK/tk_excep.h"
#include "TK/tk_fname.h"
#include "TK/tk_trace.h"
#include "TK/tk_utils.h"
#include "common/dmw_conv.h"
#include "common/err_hand.h"
#include "wizard/wiz_ovrd.h"

namespace {
// The user's text for a failure: the error-code maps' text when they have
// one, else the exception's own.
QString mapped_text(const tk_exception& error) {
  error_handler* handler = error_handler::instance();
  return QString::fromLocal8Bit(handler ? handler->message_for(error) : error.text());
}
}  // namespace

std::u16string completed_destination(const std::u16string& name) {
  if (name.empty()) return name;
  try {
    const tk_file_wname parts(name);
    if (parts.name().empty()) return parts.full_path();
    return parts.folder() + parts.name() + u".mdb";
  } catch (const tk_exception&) {
    // Longer than a path may be once completed: the user sees what was typed.
    return name;
  }
}

sel_file_page::sel_file_page()
    : wizard_page(page_template, wizard_page_kind::interior, 1002), destination_(new QLineEdit(this)),
      browse_(new QPushButton(QStringLiteral("Browse..."), this)), format_(new QComboBox(this)),
      definitions_(new QCheckBox(QStringLiteral("&Convert table definitions only"), this)),
      skip_indexes_(new QCheckBox(QStringLiteral("S&kip converting indexes"), this)) {
  setTitle(QStringLiteral("Step 2 of 4"));
  setSubTitle(QStringLiteral("Conversion Settings"));
  destination_->setObjectName(QStringLiteral("1003"));
  destination_->setMaxLength(static_cast<int>(tk_file_wname::max_path));
  browse_->setObjectName(QStringLiteral("1104"));
  format_->setObjectName(QStringLiteral("1302"));
  format_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  definitions_->setObjectName(QStringLiteral("1228"));
  skip_indexes_->setObjectName(QStringLiteral("1226"));

  auto* destination_label = new QLabel(QStringLiteral("MS &Access database name:"), this);
  destination_label->setBuddy(destination_);
  auto* format_label = new QLabel(QStringLiteral("Destination &format:"), this);
  format_label->setBuddy(format_);

  auto* fields = new QGridLayout;
  fields->setHorizontalSpacing(8);
  fields->setVerticalSpacing(10);
  fields->addWidget(destination_label, 0, 0, Qt::AlignRight | Qt::AlignVCenter);
  fields->addWidget(destination_, 0, 1);
  fields->addWidget(browse_, 0, 2);
  fields->addWidget(format_label, 1, 0, Qt::AlignRight | Qt::AlignVCenter);
  fields->addWidget(format_, 1, 1, Qt::AlignLeft);
  fields->addWidget(definitions_, 2, 1, 1, 2);
  fields->addWidget(skip_indexes_, 3, 1, 1, 2);
  fields->setColumnStretch(1, 1);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(page_text(
      QStringLiteral("On this page you can specify MS Access database and conversion settings."), this));
  layout->addSpacing(12);
  layout->addLayout(fields);
  layout->addStretch();

  connect(browse_, &QPushButton::clicked, this, &sel_file_page::browse);
}

bool sel_file_page::page_init() {
  trace(1, "sel_file_page::page_init");
  if (!format_filled_) {
    format_->addItem(QStringLiteral("MS Access 95/97"));
    format_->addItem(QStringLiteral("MS Access 2000"));
    format_filled_ = true;
  }
  dunmarrow_convertor* converter = dunmarrow_convertor::instance();
  if (!converter) return true;
  format_->setCurrentIndex(converter->destination_format());
  skip_indexes_->setChecked(converter->skip_indexes());
  definitions_->setChecked(converter->only_definitions());
  const std::u16string& destination = converter->dest_name().empty() ? converter->oracle_database_name()
                                                                     : converter->dest_name();
  destination_->setText(QString::fromStdU16String(completed_destination(destination)));
  return true;
}

void sel_file_page::browse() {
  const QString path = save_file_dialog(
      this, QStringLiteral("MS Access Databases (.mdb) (*.mdb);;All Files (*.*) (*)"),
      QStringLiteral("Select destination MS Access database"), destination_->text(), QStringLiteral("mdb"));
  if (!path.isEmpty()) destination_->setText(path);
}

void sel_file_page::store_file_info() {
  trace(1, "sel_file_page::store_file_info");
  dunmarrow_convertor* converter = dunmarrow_convertor::instance();
  if (!converter) return;
  converter->set_only_definitions(definitions_->isChecked());
  converter->set_skip_indexes(skip_indexes_->isChecked());
  // Stored as the page shows it on return, so that the file checked, asked
  // about and written is the one the user sees: "out" is written as out.mdb.
  // A folder stays as typed, for the check to refuse it as a folder.
  const QString typed = destination_->text().left(tk_file_wname::max_path);
  converter->set_dest_name(QFileInfo(typed).isDir() ? typed.toStdU16String()
                                                    : completed_destination(typed.toStdU16String()));
  converter->set_destination_format(format_->currentIndex());
}

int sel_file_page::on_back() {
  store_file_info();
  return 0;
}

int sel_file_page::on_next() {
  dunmarrow_convertor* converter = dunmarrow_convertor::instance();
  if (!converter) return 0;
  store_file_info();
  wizard_shell& shell = wizard_shell::get();
  const std::u16string destination = converter->dest_name();
  if (destination.empty()) {
    shell.message(QStringLiteral("You should enter MS Access database name"));
    return -1;
  }
  try {
    common_check_dest(destination);
    if (tk_is_file_exist(destination, tk_open_read) && !confirm_existing(destination)) return -1;
  } catch (const tk_exception& error) {
    shell.error(mapped_text(error));
    return -1;
  }
  return 0;
}

bool sel_file_page::confirm_existing(const std::u16string& destination) {
  overwrite_dlg2 dialog(existing_help_context,
                        QStringLiteral("The destination database already exists. Select one of the\n"
                                       "options below. Click 'Help' button for more information."),
                        window());
  if (dialog.exec() != QDialog::Accepted) return false;
  const int mode = dialog.mode();
  // Mode 0 builds the new file beside the old one and replaces it only when
  // the run has finished, so the old file stays until then; what is checked
  // here is that it can be replaced. The other modes write into the file.
  if (mode == 0)
    common_check_replaceable(destination);
  else
    common_check_openable(destination);
  dunmarrow_convertor::get().set_mode(mode);
  return true;
}
