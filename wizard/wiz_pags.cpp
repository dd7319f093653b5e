#include "wizard/wiz_pags.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include "GUI2/gui_fini.h"
#include "GUI2/wiz_shel.h"
#include "TK/tk_trace.h"
#include "common/dmw_conv.h"

namespace {
const char profile_extension[] = "dmw";

// The converter's run on the worker; the thread's stop request becomes the
// converter's, which the run polls between records.
class conversion_runnable : public tk_runnable {
 public:
  void run(std::stop_token stop) override {
    dunmarrow_convertor& converter = dunmarrow_convertor::get();
    converter.clear_stop();
    std::stop_callback on_stop(stop, [&converter] { converter.request_stop(); });
    converter();
  }
};
}  // namespace

QString wizard_title() { return QString::asprintf("Dunmarrow %d.%d %s", 2, 5, ""); }

uint32_t progress_position(uint32_t tables, uint32_t table_index, uint32_t records,
                           uint32_t record_index) {
  uint32_t pos = 0;
  if (tables != 0) {
    pos = table_index * 100 / tables;
    if (records != 0) pos = pos + record_index * 100 / records / tables;
  }
  return pos;
}

progress_page::progress_page()
    : wizard_page(page_template, wizard_page_kind::interior, 0),
      bar_(new QProgressBar(this)), object_(new QLabel(this)),
      worker_([] { return new conversion_runnable; }, true) {
  trace(1, "progress_page::ctor");
  setTitle(QStringLiteral("Step 4 of 4"));
  setSubTitle(QStringLiteral("Database conversion is in progress"));
  bar_->setObjectName(QStringLiteral("1321"));
  bar_->setRange(0, 100);
  bar_->setTextVisible(false);
  object_->setObjectName(QStringLiteral("1323"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(page_text(QStringLiteral("Database conversion is in progress. Please wait until wizard completes\n"
                                             "converting your Oracle database into MS Access format."),
                              this));
  layout->addSpacing(16);
  layout->addWidget(object_);
  layout->addWidget(bar_);
  layout->addStretch();
}

progress_page::~progress_page() { stop_run(); }

bool progress_page::page_init() {
  trace(2, "progress_page::page_init");
  bar_->setValue(0);
  object_->clear();
  dunmarrow_convertor* converter = dunmarrow_convertor::instance();
  if (!converter || !converter->source_database()) return true;
  wizard_shell& shell = wizard_shell::get();
  shell.set_wizard_buttons(false, false, false);
  shell.clear_errors();
  converter->set_finished(false);
  worker_.start();
  return true;
}

bool progress_page::on_cancel() {
  if (!wizard_page::on_cancel()) return false;
  stop_run();
  return true;
}

void progress_page::stop_run() {
  if (!worker_.has_thread()) return;
  trace(2, "progress_page::stop_run");
  wizard_shell& shell = wizard_shell::get();
  shell.set_stopping(true);
  dunmarrow_convertor::get().request_stop();
  while (worker_.is_running()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  reap_worker();
  shell.stop_timer();
  shell.set_stopping(false);
}

void progress_page::reap_worker() {
  try {
    worker_.join();
  } catch (const std::exception& error) {
    // The run reports its own failures; anything else is only traced.
    trace(3, "ERROR:\n%s", error.what());
  }
}

void progress_page::on_timer(int /*timer_id*/) {
  dunmarrow_convertor* converter = dunmarrow_convertor::instance();
  if (!converter) return;
  const uint32_t pos = progress_position(
      static_cast<uint32_t>(converter->table_count()), static_cast<uint32_t>(converter->table_index()),
      static_cast<uint32_t>(converter->record_count()), static_cast<uint32_t>(converter->record_index()));
  bar_->setValue(static_cast<int>(std::min<uint32_t>(pos, 100)));  // past 100 shows full
  wizard_shell& shell = wizard_shell::get();
  if (converter->is_finished()) {
    shell.stop_timer();
    reap_worker();
    shell.jump_to(gui_finish_page::page_template);
  }
  const std::u16string name = converter->table_name();
  object_->setText(name.empty() ? QString()
                                : QStringLiteral("Processing table '%1'").arg(QString::fromStdU16String(name)));
}

void add_wizard_pages(wizard_shell& shell) {
  const QString extension = QString::fromLatin1(profile_extension);
  shell.add_page(new welcome_page(extension));
  shell.add_page(new oracle_settings_page);
  shell.add_page(new sel_file_page);
  shell.add_page(new sel_tables_page);
  shell.add_page(new progress_page);
  shell.add_page(new gui_finish_page(
      extension,
      QStringLiteral("Wizard has converted your Oracle database into\nMS Access format successfully.\n\n"
                     "Click 'Finish' to exit the wizard."),
      QStringLiteral("There were some errors while converting the database.\n"
                     "Click 'Finish' to exit the wizard.")));
}

void load_start_profile(dunmarrow_convertor& converter, const QStringList& arguments) {
  const QString profile = arguments.join(QLatin1Char(' '));
  if (!profile.isEmpty()) converter.load_profile_file(profile.toStdU16String());
}
