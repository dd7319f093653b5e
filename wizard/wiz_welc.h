#pragma once
// The welcome page: what the wizard does, and Load Settings.
#include "GUI2/wiz_page.h"

class QLabel;
class QPushButton;

class welcome_page : public wizard_page {
  Q_OBJECT
 public:
  static constexpr int page_template = 103;
  explicit welcome_page(const QString& profile_extension);
  bool page_init() override;
  QLabel* title_label() const { return title_; }
  QPushButton* load_button() const { return load_; }
  // Load Settings: a profile the user picks goes into the converter; whether
  // it loaded is not reported, the next pages show what it holds.
  void load_settings();

 private:
  QString extension_;
  QLabel* title_;
  QPushButton* load_;
};
