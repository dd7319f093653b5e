#pragma once
// Base of the wizard's pages. The shell calls these slots; a page overrides
// the ones it needs. Pages are owned by the shell's QWizard once added.
#include <QWizardPage>

class QLabel;
class wizard_shell;

// Exterior pages show the watermark and no header; the first and the last
// are the only ones.
enum class wizard_page_kind { welcome, interior, finish };

class wizard_page : public QWizardPage {
  Q_OBJECT
 public:
  // template_id names the page for on_next/on_back jumps; help_context 0
  // means the default help topic, -1 no help at all.
  wizard_page(int template_id, wizard_page_kind kind, int help_context);

  int template_id() const { return template_id_; }
  wizard_page_kind kind() const { return kind_; }
  int help_context() const { return help_context_; }

  // Activation: the buttons for the page's kind, the shell's first-time
  // set-up, then page_init(); false skips the page.
  bool OnSetActive();

  // Called on every activation; false makes the sheet skip the page.
  virtual bool page_init() { return true; }
  // Leaving the page; false keeps the user on it.
  virtual bool on_kill_active() { return true; }
  // Finish; false keeps the sheet open.
  virtual bool on_finish() { return true; }
  virtual void on_help();
  // 0 the next page in order, -1 stay, else the template id to jump to.
  virtual int on_next() { return 0; }
  virtual int on_back() { return 0; }
  // True lets the wizard close; by default the user is asked.
  virtual bool on_cancel();
  // A tick of the shell's timer while this page is active.
  virtual void on_timer(int /*timer_id*/) {}

  // Toggles the check box whose object name is the control id (ticked
  // becomes clear, anything else ticked) and returns its new state; no such
  // box is an internal error.
  bool invert_chbox(int control_id);

  // Bold Verdana 10 pt; Qt scales it to the screen's pixels per inch.
  static QFont title_font();

 private:
  int template_id_;
  wizard_page_kind kind_;
  int help_context_;
};

// A wrapped line of text for a page.
QLabel* page_text(const QString& text, QWidget* parent);
