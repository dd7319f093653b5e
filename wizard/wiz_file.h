#pragma once
// Step 2: the Access destination, its format and the two options.
#include "GUI2/wiz_page.h"

class QLabel;

class sel_file_page : public wizard_page {
  Q_OBJECT
 public:
  static constexpr int page_template = 105;
  sel_file_page();
};
