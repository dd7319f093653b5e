#pragma once
// Helpers for driving the sheet: answering its modal message boxes, and a
// shell built with the product's six pages.
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "GUI2/wiz_shel.h"
#include "wizard/wiz_pags.h"

// What one message box showed before it was answered.
struct box_seen {
  bool shown = false;
  QString caption;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QWidget* owner = nullptr;
  QMessageBox::StandardButton default_button = QMessageBox::NoButton;
};

// Answers the next message box that opens with `answer` (its default button
// when NoButton). Gives up after thirty seconds so that a missing box fails the
// test rather than hanging it.
class box_answerer {
 public:
  explicit box_answerer(QMessageBox::StandardButton answer = QMessageBox::NoButton) : answer_(answer) {
    clock_.start();
    QTimer::singleShot(0, &context_, [this] { poll(); });
  }
  const box_seen& seen() const { return seen_; }

 private:
  void poll() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) {
      if (clock_.elapsed() < 30000) QTimer::singleShot(5, &context_, [this] { poll(); });
      return;
    }
    seen_.shown = true;
    seen_.caption = box->windowTitle();
    seen_.text = box->text();
    seen_.icon = box->icon();
    seen_.owner = box->parentWidget();
    if (QPushButton* d = box->defaultButton()) seen_.default_button = box->standardButton(d);
    QAbstractButton* press = answer_ == QMessageBox::NoButton ? box->defaultButton() : box->button(answer_);
    if (!press) press = box->button(QMessageBox::Ok);
    press->click();
  }

  QMessageBox::StandardButton answer_;
  QElapsedTimer clock_;
  box_seen seen_;
  QObject context_;  // its timers die with the answerer
};

// Hands the next modal window to `answer` (a dialog of the error handler,
// say) and counts how many it answered.
class dialog_answerer {
 public:
  explicit dialog_answerer(std::function<void(QWidget*)> answer, bool every = false)
      : answer_(std::move(answer)), every_(every) {
    clock_.start();
    QTimer::singleShot(0, &context_, [this] { poll(); });
  }
  int answered() const { return answered_; }

 private:
  void poll() {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      ++answered_;
      answer_(modal);
      if (!every_) return;
    }
    if (clock_.elapsed() < 30000) QTimer::singleShot(5, &context_, [this] { poll(); });
  }

  std::function<void(QWidget*)> answer_;
  bool every_;
  int answered_ = 0;
  QElapsedTimer clock_;
  QObject context_;  // its timers die with the answerer
};

// Serves events until `done` holds or `ms` have passed; answers whether it held.
inline bool wait_until(const std::function<bool()>& done, int ms = 30000) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > ms) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

inline std::unique_ptr<wizard_shell> product_shell() {
  auto shell = std::make_unique<wizard_shell>(wizard_title(), wizard_shell::icon_id,
                                              wizard_shell::watermark_id, wizard_shell::header_id);
  add_wizard_pages(*shell);
  return shell;
}
