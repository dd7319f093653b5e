#include "wizard/wiz_file.h"

#include <QLabel>
#include <QVBoxLayout>

#include "TK/tk_trace.h"
#include "GUI2/wiz_page.h"

sel_file_page::sel_file_page() : wizard_page(page_template, wizard_page_kind::interior, 1002) {
  setTitle(QStringLiteral("Step 2 of 4"));
  setSubTitle(QStringLiteral("Conversion Settings"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(page_text(
      QStringLiteral("On this page you can specify MS Access database and conversion settings."), this));
  layout->addStretch();
}
