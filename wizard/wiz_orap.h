#pragma once
// Step 1: the Oracle connection.
#include "GUI2/wiz_page.h"

class QLabel;

class oracle_settings_page : public wizard_page {
  Q_OBJECT
 public:
  static constexpr int page_template = 132;
  oracle_settings_page();
};
