#pragma once
// Step 1: the Oracle connection. Next stores the fields, connects on a worker
// thread behind the wait box, and goes on only when connected.
#include <functional>
#include <optional>
#include <string>

#include "GUI2/wiz_page.h"
#include "wizard/wiz_wait.h"

class QLineEdit;

class oracle_settings_page : public wizard_page {
  Q_OBJECT
 public:
  static constexpr int page_template = 132;
  // Help on the listener and host errors.
  static constexpr int listener_help = 1017;

  oracle_settings_page();
  ~oracle_settings_page() override;

  bool page_init() override;
  int on_next() override;
  int on_back() override;

  // Performs the connection on the worker; by default the converter's
  // connect_oracle_server. Tests put a stand-in here.
  void set_connect_call(connection_worker::connect_call call) { connect_call_ = std::move(call); }

  QLineEdit* server_edit() const { return server_; }
  QLineEdit* database_edit() const { return database_; }
  QLineEdit* port_edit() const { return port_; }
  QLineEdit* user_edit() const { return user_; }
  QLineEdit* password_edit() const { return password_; }
  // The wait box while it is open, else null.
  connection_wait_box* wait_box() const { return wait_box_; }
  // True while an attempt, abandoned or not, still runs.
  bool attempt_running() const { return worker_.running(); }

 private:
  void store_settings();
  // Connects to the database; true when connected. Shows the wait box until
  // the attempt has ended or the user cancels it.
  bool connect_to(const std::u16string& database_name);
  void attempt_ended(int attempt, const connection_outcome& outcome);
  void show_failure(const connection_outcome& outcome);

  QLineEdit* server_;
  QLineEdit* database_;
  QLineEdit* port_;
  QLineEdit* user_;
  QLineEdit* password_;
  connection_worker::connect_call connect_call_;
  connection_wait_box* wait_box_ = nullptr;
  // The attempt whose outcome the page waits for; 0 none.
  int awaited_ = 0;
  // Set when the awaited attempt has ended.
  std::optional<connection_outcome> outcome_;
  // An attempt to start as soon as an abandoned one has ended.
  std::optional<std::u16string> pending_name_;
  connection_worker worker_;  // last: waits for its attempt before the rest goes
};
