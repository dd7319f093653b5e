#pragma once
// The wizard's run page, the sheet's page order and its title. The first
// four pages live in files of their own.
#include <QStringList>
#include <cstdint>

#include "GUI2/wiz_page.h"
#include "TK/tk_threa.h"
#include "wizard/wiz_file.h"
#include "wizard/wiz_orap.h"
#include "wizard/wiz_tabl.h"
#include "wizard/wiz_welc.h"

class QLabel;
class QProgressBar;
class dunmarrow_convertor;
class wizard_shell;

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

// The program's arguments after its name, joined by blanks, are the path of
// a profile to start from. One that does not load leaves the settings the
// converter has (the registry's last ones) and says nothing.
void load_start_profile(dunmarrow_convertor& converter, const QStringList& arguments);

// The title the sheet and its message boxes carry.
QString wizard_title();
