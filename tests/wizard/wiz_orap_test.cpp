// The Oracle connection page: its fields and the settings, the connection on
// the worker behind the wait box, the messages of a failed attempt, and an
// attempt that hangs and is cancelled.
#ifdef OCILITE_TOOL
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>
#include <unistd.h>

#include "GUI2/wiz_help.h"
#include "ORA/ora_excp.h"
#include "TK/tk_trace.h"
#include "common/dmw_conv.h"
#include "common/err_hand.h"
#include "common/err_text.h"
#include "tests/ORA/ora_home.h"
#include "wizard/wiz_file.h"
#include "wizard_util.h"

namespace fs = std::filesystem;

namespace {

// A stand-in for the connection: the first `hanging` calls wait until the
// test lets them end and then fail with ORA-01017; later calls succeed. It
// counts how many calls ran at once.
struct gated_connect {
  explicit gated_connect(int hanging) : hanging(hanging) {}
  void operator()(const std::u16string&) {
    int n;
    {
      std::lock_guard lock(mutex);
      n = ++calls;
      most_at_once = std::max(most_at_once, ++running);
    }
    std::unique_lock lock(mutex);
    if (n <= hanging) ended.wait(lock, [&] { return released >= n; });
    --running;
    if (n <= hanging) throw ora_exception(1017, "ORA-01017: invalid username/password; logon denied");
  }
  void release(int n) {
    std::lock_guard lock(mutex);
    released = n;
    ended.notify_all();
  }
  int still_running() {
    std::lock_guard lock(mutex);
    return running;
  }
  int hanging;
  std::mutex mutex;
  std::condition_variable ended;
  int released = 0, calls = 0, running = 0, most_at_once = 0;
};

class OracleSettingsPage : public ::testing::Test {
 protected:
  OracleSettingsPage()
      : folder_(fs::temp_directory_path() / ("dmw_wizorap_" + std::to_string(::getpid()))),
        made_(fs::create_directories(folder_)),
        trace_((folder_ / "trace.log").string(), true, 2, false),
        handler_(dmw_oracle_error_text_count, dmw_oracle_error_texts) {
    handler_.load_err_map(dmw_access_error_text_count, dmw_access_error_texts);
    ::setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
    home_.create_user("DB", "SCOTT", "tiger");
    home_.make_current();
    converter_.emplace(dmw_front_end::wizard);
    converter_->store_oracle_settings(u"", u"scott", u"tiger", u"1521");
    converter_->set_source_name(u"DB");
    shell_ = product_shell();
    shell_->set_help_folder(QStringLiteral(DMW_SOURCE_DIR "/GUI2/help"));
    shell_->show();
    shell_->start();
    shell_->press_next();
  }
  ~OracleSettingsPage() override {
    shell_.reset();
    converter_.reset();
    fs::remove_all(folder_);
  }
  int at() const { return shell_->active_page()->template_id(); }
  oracle_settings_page& page() {
    return *static_cast<oracle_settings_page*>(shell_->page_by_template(oracle_settings_page::page_template));
  }
  std::shared_ptr<gated_connect> gate(int hanging) {
    auto state = std::make_shared<gated_connect>(hanging);
    page().set_connect_call([state](const std::u16string& name) { (*state)(name); });
    return state;
  }
  std::string trace_text() const {
    std::ifstream in(folder_ / "trace.log");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  fs::path folder_;
  bool made_;
  tk_trace trace_;
  error_handler handler_;
  ora_test_home home_;
  std::optional<dunmarrow_convertor> converter_;
  std::unique_ptr<wizard_shell> shell_;
};

// Every message box that opens while it lives, answered with OK. Its own
// timer stops with it.
struct box_watch {
  box_watch() {
    QObject::connect(&timer, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        texts << box->text();
        box->button(QMessageBox::Ok)->click();
      }
    });
    timer.start(5);
  }
  QTimer timer;
  QStringList texts;
};

}  // namespace

TEST_F(OracleSettingsPage, FieldsGoToTheSettingsOnBackAndNextOnly) {
  ASSERT_EQ(at(), oracle_settings_page::page_template);
  EXPECT_EQ(page().server_edit()->text(), "localhost");
  EXPECT_EQ(page().database_edit()->text(), "DB");
  EXPECT_EQ(page().port_edit()->text(), "1521");
  EXPECT_EQ(page().password_edit()->echoMode(), QLineEdit::Password);
  for (int id : {1003, 1014, 1004, 1012, 1013})
    EXPECT_NE(page().findChild<QLineEdit*>(QString::number(id)), nullptr) << id;
  auto calls = gate(0);

  // Back keeps the connection fields, not the database name, and connects not.
  page().server_edit()->clear();
  page().port_edit()->clear();
  page().user_edit()->setText("hr");
  page().password_edit()->setText("s3cret-pw");
  page().database_edit()->setText("OTHER");
  shell_->press_back();
  EXPECT_EQ(at(), welcome_page::page_template);
  EXPECT_EQ(converter_->oracle_host(), u"localhost");
  EXPECT_EQ(converter_->oracle_port(), u"");
  EXPECT_EQ(converter_->oracle_user(), u"hr");
  EXPECT_EQ(converter_->oracle_password(), u"s3cret-pw");
  EXPECT_EQ(converter_->source_name(), u"DB");
  EXPECT_EQ(calls->calls, 0);
  shell_->press_next();
  EXPECT_EQ(page().database_edit()->text(), "DB");
  EXPECT_EQ(page().port_edit()->text(), "");

  // No database name: a message, no attempt.
  page().database_edit()->clear();
  box_answerer box;
  shell_->press_next();
  EXPECT_EQ(box.seen().text, "You should enter Oracle database name");
  EXPECT_EQ(box.seen().icon, QMessageBox::Information);
  EXPECT_EQ(at(), oracle_settings_page::page_template);
  EXPECT_EQ(calls->calls, 0);
  EXPECT_EQ(trace_text().find("s3cret-pw"), std::string::npos);
}

TEST_F(OracleSettingsPage, ConnectsToTheSchemaOrShowsTheOracleMessage) {
  page().password_edit()->setText("wrong-pw");
  {
    box_answerer box;
    shell_->press_next();
    EXPECT_EQ(box.seen().text, "Invalid user name or password.");
    EXPECT_EQ(box.seen().icon, QMessageBox::Critical);
  }
  EXPECT_EQ(at(), oracle_settings_page::page_template);
  EXPECT_EQ(page().wait_box(), nullptr);
  EXPECT_EQ(converter_->source_database(), nullptr);
  EXPECT_EQ(shell_->viewer(), nullptr);  // no listener error, no help

  page().password_edit()->setText("tiger");
  shell_->press_next();
  EXPECT_EQ(at(), sel_file_page::page_template);
  EXPECT_NE(converter_->source_database(), nullptr);
  EXPECT_EQ(converter_->source_name(), u"DB");
  const std::string trace = trace_text();
  EXPECT_NE(trace.find("oracle_settings_page::animation::operator()"), std::string::npos);
  EXPECT_EQ(trace.find("wrong-pw"), std::string::npos);
}

TEST_F(OracleSettingsPage, ListenerErrorsAlsoOpenTheirHelpTopic) {
  page().set_connect_call([](const std::u16string&) {
    throw ora_exception(12541, "ORA-12541: TNS:no listener");
  });
  {
    box_answerer box;
    shell_->press_next();
    EXPECT_TRUE(box.seen().text.startsWith("ORA-12541: no listener. For more information")) << box.seen().text.toStdString();
  }
  ASSERT_NE(shell_->viewer(), nullptr);
  EXPECT_TRUE(shell_->viewer()->current_topic().endsWith("/listener.html"));
  EXPECT_EQ(at(), oracle_settings_page::page_template);

  // A code without a friendly text shows the exception's own.
  shell_->viewer()->hide();
  page().set_connect_call([](const std::u16string&) { throw tk_exception("No route to the server", 1); });
  box_answerer box;
  shell_->press_next();
  EXPECT_EQ(box.seen().text, "No route to the server");
  EXPECT_TRUE(shell_->viewer()->isHidden());
}

TEST_F(OracleSettingsPage, WaitBoxAnimatesUntilTheAttemptEnds) {
  std::mutex hold;
  std::unique_lock held(hold);
  page().set_connect_call([&hold](const std::u16string&) { std::lock_guard wait(hold); });
  std::vector<int> frames;
  bool animated_meanwhile = false;
  dialog_answerer watch([&](QWidget* modal) {
    if (auto* box = qobject_cast<connection_wait_box*>(modal)) {
      EXPECT_TRUE(box->animating());
      EXPECT_FALSE(box->icon_label()->pixmap().isNull());
      frames.push_back(box->frame());
      wait_until([&] { return box->frame() != frames.front(); }, 3000);
      frames.push_back(box->frame());
      animated_meanwhile = true;
    }
    held.unlock();
  });
  shell_->press_next();
  ASSERT_TRUE(animated_meanwhile);
  EXPECT_EQ(frames, (std::vector<int>{0, 1}));
  EXPECT_EQ(page().wait_box(), nullptr);
  EXPECT_EQ(at(), sel_file_page::page_template);
  // An attempt over before the box could open leaves no box behind.
  shell_->press_back();
  page().set_connect_call([](const std::u16string&) {});
  shell_->press_next();
  EXPECT_EQ(at(), sel_file_page::page_template);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(OracleSettingsPage, HungAttemptIsCancelledAndItsLateOutcomeIgnored) {
  auto calls = gate(2);
  auto cancel_wait_box = [](QWidget* modal) {
    auto* box = qobject_cast<connection_wait_box*>(modal);
    ASSERT_NE(box, nullptr);
    box->cancel_button()->click();
  };
  box_watch boxes;
  {
    dialog_answerer cancel(cancel_wait_box);
    shell_->press_next();
  }
  EXPECT_EQ(at(), oracle_settings_page::page_template);
  EXPECT_TRUE(page().attempt_running());
  EXPECT_TRUE(shell_->sheet_button(wizard_shell::button::next)->isEnabled());
  // Its failure arrives later and shows nothing.
  calls->release(1);
  ASSERT_TRUE(wait_until([&] { return !page().attempt_running(); }));
  wait_until([] { return false; }, 100);
  EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join("|").toStdString();

  // A second hang, cancelled; Next again waits for it behind the box before
  // the next attempt runs, alone.
  {
    dialog_answerer cancel(cancel_wait_box);
    shell_->press_next();
  }
  EXPECT_TRUE(page().attempt_running());
  {
    dialog_answerer let_end([&](QWidget* modal) {
      EXPECT_NE(qobject_cast<connection_wait_box*>(modal), nullptr);
      calls->release(2);
    });
    shell_->press_next();
  }
  EXPECT_EQ(at(), sel_file_page::page_template);
  EXPECT_EQ(calls->calls, 3);
  EXPECT_EQ(calls->most_at_once, 1);
  EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join("|").toStdString();
}

TEST_F(OracleSettingsPage, ClosingTheWizardWaitsForAnAbandonedAttempt) {
  auto calls = gate(1);
  {
    dialog_answerer cancel([](QWidget* modal) {
      if (auto* box = qobject_cast<connection_wait_box*>(modal)) box->cancel_button()->click();
    });
    shell_->press_next();
  }
  ASSERT_TRUE(page().attempt_running());
  std::thread later([calls] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    calls->release(1);
  });
  shell_.reset();  // the converter stays untouched until the attempt is over
  EXPECT_EQ(calls->still_running(), 0);
  later.join();
}
#endif
