#pragma once
// The box shown while the Oracle connection is made (template 101), and the
// worker that makes the connection.
//
// The worker never touches a window: its outcome travels to the
// user-interface thread as a queued call, and that thread closes the box and
// shows any message. The box has a Cancel button because a logon to an
// unreachable host may hang for minutes; the attempt then goes on by itself
// and its late outcome is dropped.
#include <QDialog>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <string>

#include "TK/tk_threa.h"

class QLabel;
class QPushButton;

class connection_wait_box : public QDialog {
  Q_OBJECT
 public:
  static constexpr int box_template = 101;
  static constexpr int first_frame_id = 502;
  static constexpr int frame_count = 8;
  static constexpr int frame_interval_ms = 500;

  explicit connection_wait_box(QWidget* owner);

  // The frame shown, 0 to frame_count - 1.
  int frame() const { return frame_; }
  bool animating() const { return timer_.isActive(); }
  QLabel* icon_label() const { return icon_; }
  QPushButton* cancel_button() const { return cancel_; }

  // Stops the animation with the box.
  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void show_frame(int frame);

  QLabel* icon_;
  QPushButton* cancel_;
  QTimer timer_;
  int frame_ = 0;
};

// How one connection attempt ended.
struct connection_outcome {
  enum class kind {
    connected,
    failed,          // a toolkit exception: message is the mapped text
    internal_error,  // an internal-error assertion: message is its text
    fatal            // any other exception: message is its text
  };
  kind what = kind::failed;
  QString message;
  uint32_t code = 0;
};

// The user's text for a toolkit exception's code: the friendly Oracle or
// Access text when there is one, else the exception's own text.
QString connection_error_text(uint32_t code, const std::string& own_text);

// Runs one attempt at a time on a toolkit thread. Each outcome is handed, by a
// queued call, to `report` on the thread of `context` together with the
// number of its attempt; a context that is gone by then receives nothing.
class connection_worker {
 public:
  using connect_call = std::function<void(const std::u16string& database_name)>;
  using report_call = std::function<void(int attempt, const connection_outcome& outcome)>;

  connection_worker(QObject* context, report_call report);
  // Waits for an attempt that still runs: it uses the converter, which must
  // not go away under it.
  ~connection_worker();
  connection_worker(const connection_worker&) = delete;
  connection_worker& operator=(const connection_worker&) = delete;

  // Starts an attempt and returns its number (from 1). One that still runs is
  // an internal error naming tk_threa.
  int start(connect_call call, const std::u16string& database_name);
  // True until the running attempt's call has returned.
  bool running() const { return thread_.is_running(); }
  // The attempt whose thread is held, 0 when none.
  int attempt() const { return attempt_; }
  // Releases the thread of `attempt` once its outcome has been posted; a
  // later attempt is never waited for here.
  void reap(int attempt);
  // Waits without limit for the running attempt.
  void wait();

 private:
  QObject* context_;
  report_call report_;
  connect_call next_call_;
  std::u16string next_name_;
  int next_attempt_ = 0;
  int attempt_ = 0;
  tk_thread thread_;
};
