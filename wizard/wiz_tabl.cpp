#include "wizard/wiz_tabl.h"

#include <QLabel>
#include <QVBoxLayout>

#include "TK/tk_trace.h"
#include "GUI2/wiz_page.h"

sel_tables_page::sel_tables_page() : wizard_page(page_template, wizard_page_kind::interior, 1005) {
  setTitle(QStringLiteral("Step 3 of 4"));
  setSubTitle(QStringLiteral("Select tables to convert"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(page_text(
      QStringLiteral("Select the Oracle tables and the queries of your own to convert into MS Access tables."),
      this));
  layout->addStretch();
}
