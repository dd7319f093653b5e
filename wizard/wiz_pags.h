#pragma once
// The wizard's concrete pages. The connection, settings and table pages are
// plain pages with their headers for now; their controls come with the
// connection and selection work.
#include <cstdint>

#include "GUI2/wiz_page.h"
#include "TK/tk_threa.h"

class QLabel;
class QProgressBar;
class wizard_shell;

class welcome_page : public wizard_page {
  Q_OBJECT
 public:
  static constexpr int page_template = 103;
  explicit welcome_page(const QString& profile_extension);
  bool page_init() override;
  QLabel* title_label() const { return title_; }

 private:
  QString extension_;
  QLabel* title_;
};

class oracle_settings_page : public wizard_page {
  Q_OBJECT
 public:
  static constexpr int page_template = 132;
  oracle_settings_page();
};

class sel_file_page : public wizard_page {
  Q_OBJECT
 public:
  static constexpr int page_template = 105;
  sel_file_page();
};

class sel_tables_page : public wizard_page {
  Q_OBJECT
 public:
  static constexpr int page_template = 127;
  sel_tables_page();
};

// The bar's position for T tables, entry ti, R records and record ri, in the
// unsigned 32-bit steps the display has always used (may exceed 100).
uint32_t progress_position(uint32_t tables, uint32_t table_index, uint32_t records,
                           uint32_t record_index);

// Runs the converter on a worker thread and shows its progress on the
// shell's timer; the finish page follows when the run has ended. Cancel asks
// as every page does, then stops the run and waits for it.
class progress_page : public wizard_page {
  Q_OBJECT
 public:
  static constexpr int page_template = 106;
  progress_page();
  ~progress_page() override;
  // Starts the run; without a converter connected to its source there is
  // nothing to run and the page only shows itself.
  bool page_init() override;
  void on_timer(int timer_id) override;
  bool on_cancel() override;

  bool run_going() const { return worker_.has_thread(); }
  QProgressBar* bar() const { return bar_; }
  QLabel* object_line() const { return object_; }

 private:
  // Asks the run to stop and waits for it, serving the windows the worker
  // may be waiting for meanwhile.
  void stop_run();
  void reap_worker();

  QProgressBar* bar_;
  QLabel* object_;
  tk_thread worker_;
};

// The six pages in sheet order, added to the shell.
void add_wizard_pages(wizard_shell& shell);

// The title the sheet and its message boxes carry.
QString wizard_title();
