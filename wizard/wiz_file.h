#pragma once
// Step 2: the Access destination, its format and the two options.
#include "GUI2/wiz_page.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

// The fields show the converter's settings on every activation and go back
// into it on Next and Back. Without a converter (layout tests, screenshots)
// the page shows and stores nothing and lets the user pass.
class sel_file_page : public wizard_page {
  Q_OBJECT
 public:
  static constexpr int page_template = 105;
  static constexpr int existing_help_context = 1012;

  sel_file_page();

  bool page_init() override;
  int on_next() override;
  int on_back() override;

  // Browse: the save dialog, its choice into the destination field.
  void browse();
  // The fields into the converter.
  void store_file_info();

  QLineEdit* destination_edit() const { return destination_; }
  QPushButton* browse_button() const { return browse_; }
  QComboBox* format_list() const { return format_; }
  QCheckBox* definitions_box() const { return definitions_; }
  QCheckBox* skip_indexes_box() const { return skip_indexes_; }

 private:
  // Checks an existing destination and asks what to do with it; false keeps
  // the user on the page. Failures are tk_exceptions.
  bool confirm_existing(const std::u16string& destination);

  QLineEdit* destination_;
  QPushButton* browse_;
  QComboBox* format_;
  QCheckBox* definitions_;
  QCheckBox* skip_indexes_;
  bool format_filled_ = false;
};

// The name shown for a destination: made absolute, its extension ".mdb".
// A name that names a folder, or is too long to complete, is shown as it is.
std::u16string completed_destination(const std::u16string& name);
