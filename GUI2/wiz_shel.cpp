#include "GUI2/wiz_shel.h"

#include <condition_variable>
#include <exception>
#include <mutex>

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QResizeEvent>
#include <QStyle>

#include <QThread>
#include <cstdio>
#include <cstdlib>

#include "GUI2/dlg_err.h"
#include "GUI2/wiz_help.h"
#include "GUI2/wiz_imgs.h"
#include "GUI2/wiz_page.h"
#include "TK/tk_excep.h"
#include "TK/tk_strin.h"
#include "TK/tk_trace.h"

namespace {
// Our own Back, Next and Finish: QWizard leaves custom buttons alone.
constexpr QWizard::WizardButton back_button = QWizard::CustomButton1;
constexpr QWizard::WizardButton next_button = QWizard::CustomButton2;
constexpr QWizard::WizardButton finish_button = QWizard::CustomButton3;

std::string narrow(const QString& text) { return text.toLocal8Bit().toStdString(); }
}  // namespace

wizard_shell::wizard_shell(const QString& title, int icon, int watermark, int header)
    : title_(title), icon_(icon), watermark_(watermark), header_(header),
      help_folder_(default_help_folder()) {
  trace(2, "wizard_shell::ctor");
  setWizardStyle(QWizard::ModernStyle);
  setOptions(QWizard::HaveHelpButton | QWizard::HaveCustomButton1 | QWizard::HaveCustomButton2 |
             QWizard::HaveCustomButton3 | QWizard::NoBackButtonOnStartPage);
  setButtonText(back_button, tr("< &Back"));
  setButtonText(next_button, tr("&Next >"));
  setButtonText(finish_button, tr("&Finish"));
  setButtonText(QWizard::CancelButton, tr("Cancel"));
  setButtonText(QWizard::HelpButton, tr("&Help"));
  setButtonLayout({QWizard::Stretch, back_button, next_button, finish_button, QWizard::CancelButton,
                   QWizard::HelpButton});
  connect(this, &QWizard::customButtonClicked, this, [this](int which) {
    if (which == back_button) press_back();
    else if (which == next_button) press_next();
    else if (which == finish_button) press_finish();
  });
  connect(this, &QWizard::helpRequested, this, &wizard_shell::press_help);
  auto* f1 = new QShortcut(QKeySequence::HelpContents, this);
  connect(f1, &QShortcut::activated, this, &wizard_shell::press_help);

  const QSize logo = wizard_image_size(header_);
  setPixmap(QWizard::LogoPixmap, wizard_image(header_, logo));

  if (error_handler* handler = error_handler::instance()) handler->set_front_end(this);
  init_conversion::set_front_end(this);

  timer_.setTimerType(Qt::CoarseTimer);
  connect(&timer_, &QTimer::timeout, this, [this] {
    if (active_) active_->on_timer(timer_id);
  });
}

wizard_shell::~wizard_shell() {
  trace(2, "wizard_shell::dtor");
  stop_timer();
  // The pages go first, while the shell they use is whole: the progress page
  // stops and waits for a run that still goes on.
  for (wizard_page* page : pages_) {
    removePage(page->template_id());
    delete page;
  }
  pages_.clear();
  active_ = nullptr;
  init_conversion::set_front_end(nullptr);
  if (error_handler* handler = error_handler::instance()) handler->set_front_end(nullptr);
}

namespace {
// Runs `call` on the object's thread and waits for it. The hand-over is a
// lock and condition of the standard library rather than Qt's blocking
// connection, so that a thread checker sees what orders the two threads.
template <class Call>
void on_ui_thread(QObject* object, Call call) {
  if (QThread::currentThread() == object->thread()) return call();
  std::mutex mutex;
  std::condition_variable served;
  bool done = false;
  std::exception_ptr failure;
  // Held while posting: the call's first lock then follows everything this
  // thread did before (Qt's queue orders them too, but unseen by a checker).
  std::unique_lock lock(mutex);
  QMetaObject::invokeMethod(object, [&] {
    { std::lock_guard entered(mutex); }
    try {
      call();
    } catch (...) {
      failure = std::current_exception();
    }
    // Notified under the lock: the waiter cannot leave (and destroy these)
    // before this thread is done with them.
    std::lock_guard lock(mutex);
    done = true;
    served.notify_one();
  }, Qt::QueuedConnection);
  served.wait(lock, [&] { return done; });
  if (failure) std::rethrow_exception(failure);
}
}  // namespace

std::vector<std::string> wizard_shell::errors() const {
  std::lock_guard lock(errors_mutex_);
  return error_list_;
}

void wizard_shell::add_error(const std::string& message) {
  std::lock_guard lock(errors_mutex_);
  if (error_list_.size() < max_errors) error_list_.push_back(message);
}

void wizard_shell::clear_errors() {
  std::lock_guard lock(errors_mutex_);
  error_list_.clear();
}

size_t wizard_shell::error_line_count() const {
  std::lock_guard lock(errors_mutex_);
  return error_list_.size();
}

void wizard_shell::append_error_line(const std::u16string& line) { add_error(tk_to_ansi(line)); }

void wizard_shell::show_internal_error(const std::string& text) {
  on_ui_thread(this, [&] { dlg_error_ex(text, QApplication::activeWindow()).exec(); });
  // The process ends here with -1, as the handler would end it: exit() from
  // the worker would run the static destructors under the running
  // user-interface thread. Trace lines are never buffered; the streams are.
  std::fflush(nullptr);
  std::_Exit(-1);
}

void wizard_shell::show_error(const std::string& message) {
  if (stopping_) return;
  on_ui_thread(this, [&] { error(QString::fromLocal8Bit(message)); });
}

error_front_end::answer wizard_shell::ask_continue(const std::string& message) {
  if (stopping_) return {false, false};
  answer result{false, false};
  on_ui_thread(this, [&] {
    dlg_error_continue dialog(tk_from_ansi(message), QApplication::activeWindow());
    result.abort = dialog.exec() == dlg_error_continue::abort_run;
    result.do_not_show = dialog.do_not_show();
  });
  return result;
}

void wizard_shell::start_progress_timer(int period_ms) {
  // Posted: a QTimer starts only on its own thread. A run that ends before
  // the post is served still gets its first tick, which sees it finished.
  QMetaObject::invokeMethod(this, [this, period_ms] {
    if (!timer_.isActive()) start_timer(period_ms);
  }, Qt::QueuedConnection);
}

QString wizard_shell::default_help_folder() {
  const QDir program(QCoreApplication::applicationDirPath());
  const QString beside = program.filePath(QStringLiteral("dmwwiz-help"));
  const QString installed = program.filePath(QStringLiteral("../share/dunmarrow/dmwwiz-help"));
  return QFileInfo(beside).isDir() || !QFileInfo(installed).isDir() ? beside
                                                                     : QDir::cleanPath(installed);
}

void wizard_shell::add_page(wizard_page* page) {
  trace(2, "wizard_shell::add_page(%d)", page->template_id());
  // Exterior pages carry the watermark and no header; interior pages the
  // header, which QWizard shows for pages with a subtitle.
  if (page->kind() != wizard_page_kind::interior)
    page->setPixmap(QWizard::WatermarkPixmap, wizard_image(watermark_, wizard_image_size(watermark_)));
  setPage(page->template_id(), page);
  pages_.push_back(page);
}

void wizard_shell::start() {
  trace(2, "wizard_shell::start");
  activate_from(0, 1);
}

bool wizard_shell::is_initialized() {
  trace(1, "wizard_shell::is_initialized");
  if (wizard_shell* shell = instance()) {
    trace(1, "Singleton has been initialized");
    return shell->initialized_;
  }
  trace(1, "Before return false");
  return false;
}

void wizard_shell::first_time_setup() {
  if (initialized_) return;
  setWindowTitle(title_);
  setWindowIcon(QIcon(wizard_image(icon_, QSize(64, 64))));
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
  initialized_ = true;
}

void wizard_shell::show_box(int icon, const QString& suffix, const QString& text) {
  const bool owned = is_initialized();
  QMessageBox box(static_cast<QMessageBox::Icon>(icon), owned ? title_ + " " + suffix : suffix, text,
                  QMessageBox::Ok, owned ? this : nullptr);
  box.exec();
}

void wizard_shell::error(const QString& text) {
  trace(1, "wizard_shell::error(%s)", narrow(text).c_str());
  show_box(QMessageBox::Critical, QStringLiteral("Error"), text);
  trace(3, "%s", narrow(text).c_str());
}

void wizard_shell::message(const QString& text) {
  trace(1, "wizard_shell::message(%s)", narrow(text).c_str());
  show_box(QMessageBox::Information, QStringLiteral("Message"), text);
  trace(3, "%s", narrow(text).c_str());
}

bool wizard_shell::question(const QString& text, default_button by_default) {
  trace(1, "wizard_shell::question(%s)", narrow(text).c_str());
  const bool owned = is_initialized();
  QMessageBox box(QMessageBox::Question, owned ? title_ + " Question" : QStringLiteral("Question"),
                  text, QMessageBox::Yes | QMessageBox::No, owned ? this : nullptr);
  box.setDefaultButton(by_default == default_button::no ? QMessageBox::No : QMessageBox::Yes);
  box.setEscapeButton(QMessageBox::No);
  const bool yes = box.exec() == QMessageBox::Yes;
  trace(3, "%s", narrow(text).c_str());
  return yes;
}

void wizard_shell::display_help() {
  trace(1, "wizard_shell::display_help");
  const QString path = QDir(help_folder_).filePath(help_topic_file(0));
  if (!QFileInfo(path).isFile()) return error("Help file does not exist. Reinstall the program.");
  if (!viewer_) viewer_ = std::make_unique<help_viewer>(this);
  viewer_->show_topic(path);
}

void wizard_shell::display_help(int context) {
  trace(1, "wizard_shell::display_help(%d)", context);
  const QString path = QDir(help_folder_).filePath(help_topic_file(context));
  if (!QFileInfo(path).isFile()) return error("Help file does not exist. Reinstall the program.");
  if (!viewer_) viewer_ = std::make_unique<help_viewer>(this);
  viewer_->show_topic(path);
}

QAbstractButton* wizard_shell::sheet_button(button which) const {
  switch (which) {
    case button::back: return QWizard::button(back_button);
    case button::next: return QWizard::button(next_button);
    case button::finish: return QWizard::button(finish_button);
    case button::cancel: return QWizard::button(QWizard::CancelButton);
    case button::help: return QWizard::button(QWizard::HelpButton);
  }
  return nullptr;
}

void wizard_shell::enable_button(button which, bool enable) {
  QAbstractButton* b = sheet_button(which);
  trace(2, "wizard_shell::enable_button(%08X)",
        static_cast<unsigned>(reinterpret_cast<uintptr_t>(b) & 0xFFFFFFFFu));
  b->setEnabled(enable);
}

void wizard_shell::set_wizard_buttons(bool back, bool next, bool finish) {
  sheet_button(button::back)->setEnabled(back);
  sheet_button(button::next)->setVisible(!finish);
  sheet_button(button::next)->setEnabled(next);
  sheet_button(button::finish)->setVisible(finish);
  sheet_button(button::finish)->setEnabled(finish);
  // The default button follows the way forward.
  auto* forward = qobject_cast<QPushButton*>(sheet_button(finish ? button::finish : button::next));
  if (forward) forward->setDefault(true);
}

void wizard_shell::start_timer(int interval_ms) {
  trace(2, "wizard_shell::start_timer(%d)", interval_ms);
  TK_CHECK(!timer_.isActive(), "wiz_shel");
  TK_CHECK(interval_ms > 0, "wiz_shel");
  timer_.start(interval_ms);
}

void wizard_shell::stop_timer() {
  if (timer_.isActive()) timer_.stop();
}

wizard_page* wizard_shell::page_by_template(int template_id) const {
  for (wizard_page* page : pages_)
    if (page->template_id() == template_id) return page;
  return nullptr;
}

int wizard_shell::index_of(const wizard_page* page) const {
  for (size_t i = 0; i < pages_.size(); ++i)
    if (pages_[i] == page) return static_cast<int>(i);
  return -1;
}

void wizard_shell::show_page(wizard_page* page) {
  // restart() starts a fresh history on the page; our own buttons never use it.
  setStartId(page->template_id());
  restart();
  active_ = page;
  fit_watermark();
}

void wizard_shell::resizeEvent(QResizeEvent* event) {
  QWizard::resizeEvent(event);
  fit_watermark();
}

void wizard_shell::fit_watermark() {
  if (!active_ || active_->kind() == wizard_page_kind::interior || !active_->parentWidget()) return;
  // The page's frame spans the height the watermark has beside it.
  const int height = active_->parentWidget()->height();
  const QSize natural = wizard_image_size(watermark_);
  if (height <= 0 || natural.isEmpty()) return;
  if (active_->pixmap(QWizard::WatermarkPixmap).height() == height) return;
  const QSize size(natural.width() * height / natural.height(), height);
  for (wizard_page* page : pages_)
    if (page->kind() != wizard_page_kind::interior)
      page->setPixmap(QWizard::WatermarkPixmap, wizard_image(watermark_, size));
}

void wizard_shell::activate_from(int from, int step) {
  for (int i = from; i >= 0 && i < static_cast<int>(pages_.size()); i += step) {
    if (pages_[i]->OnSetActive()) {
      show_page(pages_[i]);
      return;
    }
  }
  // Nothing to go to: the page we left stays, with its own buttons.
  if (active_) active_->OnSetActive();
}

void wizard_shell::jump(int result, int step) {
  if (result == -1 || !active_) return;
  if (!active_->on_kill_active()) return;
  const int here = index_of(active_);
  if (result == 0) return activate_from(here + step, step);
  wizard_page* target = page_by_template(result);
  TK_CHECK(target != nullptr, "wiz_shel");
  const int there = index_of(target);
  activate_from(there, there < here ? -1 : 1);
}

void wizard_shell::jump_to(int template_id) {
  wizard_page* target = page_by_template(template_id);
  TK_CHECK(target != nullptr, "wiz_shel");
  const int there = index_of(target);
  activate_from(there, there < index_of(active_) ? -1 : 1);
}

void wizard_shell::press_next() {
  if (!active_ || !sheet_button(button::next)->isEnabled()) return;
  jump(active_->on_next(), 1);
}

void wizard_shell::press_back() {
  if (!active_ || !sheet_button(button::back)->isEnabled()) return;
  jump(active_->on_back(), -1);
}

void wizard_shell::press_finish() {
  if (!active_ || !sheet_button(button::finish)->isEnabled()) return;
  if (active_->on_finish()) QWizard::done(QDialog::Accepted);
}

void wizard_shell::press_help() {
  if (active_ && sheet_button(button::help)->isEnabled()) active_->on_help();
}

void wizard_shell::reject() {
  // Cancel, Escape and the window's close box all come here.
  if (!sheet_button(button::cancel)->isEnabled()) return;
  if (!active_ || active_->on_cancel()) QWizard::reject();
}
