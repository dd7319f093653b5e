#pragma once
// Step 3: the tables and queries to convert.
#include "GUI2/wiz_page.h"

class QLabel;

class sel_tables_page : public wizard_page {
  Q_OBJECT
 public:
  static constexpr int page_template = 127;
  sel_tables_page();
};
