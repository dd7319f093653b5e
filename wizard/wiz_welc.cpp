#include "wizard/wiz_welc.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "GUI2/wiz_fdlg.h"
#include "TK/tk_trace.h"
#include "common/dmw_conv.h"

welcome_page::welcome_page(const QString& profile_extension)
    : wizard_page(page_template, wizard_page_kind::welcome, 1003), extension_(profile_extension),
      title_(new QLabel(QStringLiteral("Welcome to the Database\nConversion Wizard"), this)),
      load_(new QPushButton(QStringLiteral("&Load Settings"), this)) {
  title_->setObjectName(QStringLiteral("1337"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(title_);
  layout->addSpacing(16);
  layout->addWidget(page_text(QStringLiteral(
      "This wizard moves the tables of your Oracle database into an MS Access database."), this));
  layout->addWidget(page_text(QStringLiteral("Click 'Next' to continue."), this));
  layout->addSpacing(16);
  layout->addWidget(page_text(QStringLiteral("WARNING: conversion productivity strongly depends\n"
                                             "on amount of available memory. It is recommended that\n"
                                             "you exit all programs before continue with the wizard."),
                              this));
  layout->addStretch();
  load_->setObjectName(QStringLiteral("1115"));
  connect(load_, &QPushButton::clicked, this, &welcome_page::load_settings);
  auto* row = new QHBoxLayout;
  row->addWidget(load_);
  row->addStretch();
  layout->addLayout(row);
  layout->addSpacing(12);
  layout->addWidget(page_text(QStringLiteral("Dunmarrow 2.5 \u00A9 Kestrova"), this));
}

bool welcome_page::page_init() {
  trace(1, "welcome_page::page_init");
  title_->setFont(title_font());
  return true;
}

void welcome_page::load_settings() {
  const QString filter = QStringLiteral("Profile Files (.%1) (*.%1);;All Files (*.*) (*)").arg(extension_);
  const QString path = open_file_dialog(this, filter, QStringLiteral("Select Profile File"), QString());
  if (path.isEmpty()) return;
  if (dunmarrow_convertor* converter = dunmarrow_convertor::instance())
    converter->load_profile_file(path.toStdU16String());
}
