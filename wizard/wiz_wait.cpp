#include "wizard/wiz_wait.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "GUI2/wiz_imgs.h"
#include "TK/tk_errco.h"
#include "TK/tk_excep.h"
#include "TK/tk_trace.h"
#include "common/err_text.h"

namespace {
constexpr int frame_side = 32;

// One attempt: the connection, then its outcome posted to the context.
class connection_runnable : public tk_runnable {
 public:
  connection_runnable(QObject* context, connection_worker::report_call report,
                      connection_worker::connect_call call, std::u16string name, int attempt)
      : context_(context), report_(std::move(report)), call_(std::move(call)),
        name_(std::move(name)), attempt_(attempt) {}

  void run(std::stop_token) override {
    trace(2, "oracle_settings_page::animation::operator()");
    connection_outcome outcome;
    try {
      call_(name_);
      outcome.what = connection_outcome::kind::connected;
    } catch (const tk_exception& error) {
      outcome.code = error.code();
      if (error.level() >= 2) {
        outcome.what = connection_outcome::kind::internal_error;
        outcome.message = QString::fromLocal8Bit(error.text());
      } else {
        outcome.what = connection_outcome::kind::failed;
        outcome.message = connection_error_text(error.code(), error.text());
      }
    } catch (const std::exception& error) {
      outcome.what = connection_outcome::kind::fatal;
      outcome.message = QString::fromLocal8Bit(error.what());
    } catch (...) {
      outcome.what = connection_outcome::kind::fatal;
      outcome.message = QStringLiteral("Unknown error");
    }
    // The last thing the thread does: whoever reaps it waits no longer.
    QMetaObject::invokeMethod(
        context_, [report = report_, attempt = attempt_, outcome] { report(attempt, outcome); },
        Qt::QueuedConnection);
  }

 private:
  QObject* context_;
  connection_worker::report_call report_;
  connection_worker::connect_call call_;
  std::u16string name_;
  int attempt_;
};
}  // namespace

QString connection_error_text(uint32_t code, const std::string& own_text) {
  // The same two maps the error handler loads at start.
  static const tk_error_converter texts = [] {
    tk_error_converter map(dmw_oracle_error_text_count, dmw_oracle_error_texts);
    map.load_map(dmw_access_error_text_count, dmw_access_error_texts);
    return map;
  }();
  const std::string text = texts.convert(code);
  return QString::fromLocal8Bit(text.empty() ? own_text : text);
}

connection_wait_box::connection_wait_box(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint),
      icon_(new QLabel(this)), cancel_(new QPushButton(QStringLiteral("Cancel"), this)) {
  setObjectName(QString::number(box_template));
  setModal(true);
  icon_->setObjectName(QStringLiteral("1301"));
  icon_->setFixedSize(frame_side, frame_side);
  auto* text = new QLabel(QStringLiteral("Connecting to Oracle server.\nPlease wait..."), this);
  auto* row = new QHBoxLayout;
  row->setSpacing(16);
  row->addWidget(icon_, 0, Qt::AlignTop);
  row->addWidget(text, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(20, 18, 20, 14);
  layout->addLayout(row);
  layout->addSpacing(12);
  layout->addLayout(buttons);
  setFixedSize(sizeHint().expandedTo(QSize(300, 0)));
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  timer_.setInterval(frame_interval_ms);
  connect(&timer_, &QTimer::timeout, this, [this] { show_frame((frame_ + 1) % frame_count); });
}

void connection_wait_box::show_frame(int frame) {
  frame_ = frame;
  icon_->setPixmap(wizard_image(first_frame_id + frame, QSize(frame_side, frame_side)));
}

void connection_wait_box::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  show_frame(0);
  timer_.start();
  if (QWidget* owner = parentWidget()) {
    QRect frame = frameGeometry();
    frame.moveCenter(owner->frameGeometry().center());
    move(frame.topLeft());
  }
  raise();
  activateWindow();
}

void connection_wait_box::done(int result) {
  timer_.stop();
  QDialog::done(result);
}

connection_worker::connection_worker(QObject* context, report_call report)
    : context_(context), report_(std::move(report)),
      thread_([this]() -> tk_runnable* {
        return new connection_runnable(context_, report_, next_call_, next_name_, next_attempt_);
      }, true) {}

connection_worker::~connection_worker() {
  if (thread_.has_thread()) {
    trace(2, "connection_worker: waiting for the connection attempt to end");
    wait();
  }
}

int connection_worker::start(connect_call call, const std::u16string& database_name) {
  next_call_ = std::move(call);
  next_name_ = database_name;
  attempt_ = ++next_attempt_;
  thread_.start();
  return attempt_;
}

void connection_worker::reap(int attempt) {
  if (attempt == 0 || attempt != attempt_) return;
  thread_.join();
  attempt_ = 0;
}

void connection_worker::wait() {
  thread_.join();
  attempt_ = 0;
}
