#include "wizard/wiz_orap.h"

#include <QLabel>
#include <QVBoxLayout>

#include "TK/tk_trace.h"
#include "GUI2/wiz_page.h"

oracle_settings_page::oracle_settings_page()
    : wizard_page(page_template, wizard_page_kind::interior, 1001) {
  setTitle(QStringLiteral("Step 1 of 4"));
  setSubTitle(QStringLiteral("Connect to Oracle server"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(page_text(
      QStringLiteral("Enter the Oracle server, the database name, and the user whose schema is to be converted."),
      this));
  layout->addStretch();
}
