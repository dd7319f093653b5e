#pragma once
// The wizard's sheet: a QWizard in the modern style with its pages in order,
// the caption rules of its message boxes, help, and the one timer whose ticks
// go to the active page. One per process (tk_singleton).
//
// The sheet moves between pages itself (Back, Next and Finish are buttons of
// our own) because pages may jump to any other page and be skipped in either
// direction, which QWizard's one-way history does not allow.
#include <QString>
#include <QTimer>
#include <QWizard>
#include <memory>
#include <string>
#include <vector>

#include <mutex>

#include "TK/tk_singl.h"
#include "common/err_hand.h"
#include "common/init_conv.h"

class wizard_page;
class help_viewer;

// The shell is also the error handler's and the run's front end. Their calls
// come from the conversion worker; windows are made only on the user-interface
// thread, the worker waiting for the answer.
class wizard_shell : public QWizard,
                     public tk_singleton<wizard_shell>,
                     public error_front_end,
                     public conversion_front_end {
  Q_OBJECT
 public:
  static constexpr int timer_id = 0x10000;
  static constexpr int icon_id = 501;
  static constexpr int watermark_id = 311;
  static constexpr int header_id = 312;
  static constexpr size_t max_errors = 20;

  enum class default_button { yes, no };
  enum class button { back, next, finish, cancel, help };

  wizard_shell(const QString& title, int icon, int watermark, int header);
  ~wizard_shell() override;

  // The sheet takes the page; pages keep the order they were added in.
  void add_page(wizard_page* page);
  // Shows the first page that accepts activation.
  void start();

  const QString& title() const { return title_; }
  // Traced; false when no shell exists or no page has been shown yet.
  static bool is_initialized();

  void error(const QString& text);
  void message(const QString& text);
  bool question(const QString& text, default_button by_default);

  // Default topic, or the topic of a context id; an error box when the
  // topic's file is missing.
  void display_help();
  void display_help(int context);
  // Where the topics are looked for; set by tests and after installation.
  void set_help_folder(const QString& folder) { help_folder_ = folder; }
  const QString& help_folder() const { return help_folder_; }
  help_viewer* viewer() const { return viewer_.get(); }

  void enable_button(button which, bool enable);
  // Back and Next enabled, or Finish shown in Next's place.
  void set_wizard_buttons(bool back, bool next, bool finish);
  QAbstractButton* sheet_button(button which) const;

  // Starting it twice is an internal error; stopping an idle timer is not.
  void start_timer(int interval_ms);
  void stop_timer();
  bool timer_running() const { return timer_.isActive(); }

  wizard_page* active_page() const { return active_; }
  wizard_page* page_by_template(int template_id) const;
  const std::vector<wizard_page*>& pages() const { return pages_; }

  // Called by the pages on activation: caption, icon and centring, once.
  void first_time_setup();

  // The errors of the current run, for the finish page: at most max_errors,
  // later ones dropped.
  std::vector<std::string> errors() const;
  void add_error(const std::string& message);
  void clear_errors();

  // While set, the run's errors are recorded but no window is shown: the
  // user has asked the run to stop and is waiting for it.
  void set_stopping(bool stopping) { stopping_ = stopping; }

  // error_front_end
  bool is_up() const override { return true; }
  size_t error_line_count() const override;
  void append_error_line(const std::u16string& line) override;
  // Shows dlg_error_ex, then ends the process with exit code -1.
  [[noreturn]] void show_internal_error(const std::string& text) override;
  void show_error(const std::string& message) override;
  answer ask_continue(const std::string& message) override;
  // conversion_front_end: the timer starts on the user-interface thread.
  void start_progress_timer(int period_ms) override;

  // Switches to a page (the finish page after a run) as the sheet's own
  // move; an unknown template id is an internal error.
  void jump_to(int template_id);

  // The buttons' actions, also reachable from tests.
  void press_next();
  void press_back();
  void press_finish();
  void press_help();

  void reject() override;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  // The watermark fills the height of an exterior page, scaled evenly.
  void fit_watermark();
  // Activates pages from index `from` in steps of `step` (+1 or -1) until one
  // accepts; stays where it is when none does.
  void activate_from(int from, int step);
  void show_page(wizard_page* page);
  void jump(int result, int step);
  int index_of(const wizard_page* page) const;
  void show_box(int icon, const QString& suffix, const QString& text);
  static QString default_help_folder();

  QString title_;
  int icon_;
  int watermark_;
  int header_;
  bool initialized_ = false;
  QTimer timer_;
  std::vector<wizard_page*> pages_;  // owned by the QWizard
  wizard_page* active_ = nullptr;
  QString help_folder_;
  std::unique_ptr<help_viewer> viewer_;
  mutable std::mutex errors_mutex_;
  std::vector<std::string> error_list_;  // guarded: the worker appends
  std::atomic<bool> stopping_{false};
};
