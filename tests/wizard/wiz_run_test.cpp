// Runs driven through the sheet: the progress page's worker converts an
// ocilite schema with our Access engine, and the finish page reports.
#ifdef OCILITE_TOOL
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "GUI2/dlg_err.h"
#include "GUI2/gui_fini.h"
#include "TK/tk_trace.h"
#include "common/dmw_conv.h"
#include "common/err_hand.h"
#include "common/err_text.h"
#include "jet/dao/register.h"
#include "tests/ORA/ora_home.h"
#include "wizard_util.h"

namespace fs = std::filesystem;

namespace {

std::string rows_script(const char* table, int rows) {
  std::string script = std::string("CREATE TABLE ") + table + " (ID NUMBER(9) PRIMARY KEY, NOTE VARCHAR2(40));\n";
  for (int i = 1; i <= rows; ++i)
    script += std::string("INSERT INTO ") + table + " VALUES (" + std::to_string(i) + ", 'note " +
              std::to_string(i) + "');\n";
  return script;
}

class WizardRun : public ::testing::Test {
 protected:
  WizardRun()
      : folder_(fs::temp_directory_path() / ("dmw_wizrun_" + std::to_string(::getpid()))),
        made_(fs::create_directories(folder_)),
        trace_((folder_ / "trace.log").string(), true, 2, false),
        handler_(dmw_oracle_error_text_count, dmw_oracle_error_texts) {
    handler_.load_err_map(dmw_access_error_text_count, dmw_access_error_texts);
    ::setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
    jet_register_dao_engine();
  }
  ~WizardRun() override {
    shell_.reset();
    converter_.reset();
    fs::remove_all(folder_);
  }

  // The schema DB/SCOTT/tiger from the script, a wizard converter logged on
  // to it, and the sheet.
  void prepare(const std::string& script, std::vector<std::u16string> tables) {
    home_.create_user("DB", "SCOTT", "tiger");
    home_.load("DB", "SCOTT", script);
    home_.make_current();
    converter_.emplace(dmw_front_end::wizard);
    converter_->store_oracle_settings(u"", u"scott", u"tiger", u"1521");
    converter_->connect_oracle_server(u"DB");
    converter_->set_dest_name(dest().u16string());
    converter_->set_destination_format(1);
    converter_->selected_tables() = std::move(tables);
    shell_ = product_shell();
    shell_->show();
    shell_->start();
  }
  fs::path dest() const { return folder_ / "out.mdb"; }
  int at() const { return shell_->active_page()->template_id(); }
  gui_finish_page& finish() { return *static_cast<gui_finish_page*>(shell_->active_page()); }
  progress_page& progress() {
    return *static_cast<progress_page*>(shell_->page_by_template(progress_page::page_template));
  }
  // Starts the run and waits for the finish page.
  void run_to_finish() {
    shell_->jump_to(progress_page::page_template);
    ASSERT_TRUE(wait_until([this] { return at() == gui_finish_page::page_template; }));
  }
  int jet_check() const {
    const std::string command = std::string(JETUTIL) + " check '" + dest().string() + "' >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  fs::path folder_;
  bool made_;
  tk_trace trace_;
  error_handler handler_;
  ora_test_home home_;
  std::optional<dunmarrow_convertor> converter_;
  std::unique_ptr<wizard_shell> shell_;
};

}  // namespace

TEST_F(WizardRun, ConvertsOnTheWorkerAndEndsOnTheSuccessText) {
  prepare(rows_script("EMP", 300) + rows_script("DEPT", 4), {u"EMP", u"DEPT"});
  std::set<QString> lines;
  std::set<int> positions;
  shell_->jump_to(progress_page::page_template);
  // Running: no way back or forward, only Cancel.
  EXPECT_FALSE(shell_->sheet_button(wizard_shell::button::back)->isEnabled());
  EXPECT_FALSE(shell_->sheet_button(wizard_shell::button::next)->isEnabled());
  EXPECT_TRUE(shell_->sheet_button(wizard_shell::button::cancel)->isEnabled());
  ASSERT_TRUE(wait_until([&] {
    lines.insert(progress().object_line()->text());
    positions.insert(progress().bar()->value());
    return at() == gui_finish_page::page_template;
  }));
  EXPECT_FALSE(progress().run_going());
  EXPECT_FALSE(shell_->timer_running());
  EXPECT_TRUE(finish().text_label()->text().startsWith("Wizard has converted your Oracle database into"));
  EXPECT_TRUE(finish().error_box()->isHidden());
  // Whatever the timer caught names a table of the run.
  for (const QString& line : lines)
    EXPECT_TRUE(line.isEmpty() || line == "Processing table 'DEPT'" || line == "Processing table 'EMP'")
        << line.toStdString();
  for (int position : positions) EXPECT_LE(position, 100);
  EXPECT_EQ(jet_check(), 0);
  shell_->press_finish();
  EXPECT_EQ(shell_->result(), QDialog::Accepted);
}

TEST_F(WizardRun, SavedSettingsRunUnchangedInTheAgent) {
  prepare(rows_script("EMP", 5) + rows_script("DEPT", 3) + rows_script("BONUS", 2), {u"DEPT", u"EMP"});
  converter_->set_source_name(u"DB");
  run_to_finish();
  const fs::path profile = folder_ / "saved";
  dialog_answerer answer([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Select Profile File");
    dialog->selectFile(QString::fromStdString(profile.string()));
    static_cast<QDialog*>(dialog)->accept();
  });
  finish().save_button()->click();
  ASSERT_TRUE(fs::exists(profile.string() + ".dmw"));
  fs::remove(dest());
  const std::string command = std::string(DMWAGENT) + " '--profile=" + profile.string() + ".dmw' > '" +
                              (folder_ / "agent.out").string() + "' 2>&1";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  std::ifstream out(folder_ / "agent.out");
  const std::string said((std::istreambuf_iterator<char>(out)), std::istreambuf_iterator<char>());
  EXPECT_NE(said.find("Converting table DEPT(3 records)"), std::string::npos) << said;
  EXPECT_NE(said.find("Converting table EMP(5 records)"), std::string::npos) << said;
  EXPECT_EQ(said.find("BONUS"), std::string::npos) << said;
  EXPECT_EQ(jet_check(), 0);
}

TEST_F(WizardRun, RecordErrorsAskOnceThenAreListedUpToTwenty) {
  prepare(rows_script("EMP", 25), {u"EMP"});
  run_to_finish();
  // Merging the same rows again: every record breaks the primary key.
  converter_->set_mode(3);
  QString asked;
  dialog_answerer answer([&](QWidget* modal) {
    auto* dialog = qobject_cast<dlg_error_continue*>(modal);
    ASSERT_NE(dialog, nullptr);
    asked = dialog->findChild<QLabel*>("1320")->text();
    EXPECT_EQ(dialog->windowTitle(), "Dunmarrow 2.5  Error");
    EXPECT_TRUE(dialog->continue_button()->isDefault());
    dialog->do_not_show_box()->click();
    dialog->continue_button()->click();
  });
  run_to_finish();
  EXPECT_EQ(answer.answered(), 1);  // later errors only listed
  EXPECT_TRUE(asked.startsWith("EMP, record #1: Duplicate field values")) << asked.toStdString();
  EXPECT_FALSE(finish().error_box()->isHidden());
  const QString listed = finish().error_box()->toPlainText();
  EXPECT_EQ(listed.count("\n\n"), 20);
  EXPECT_TRUE(listed.contains("EMP, record #20: ")) << listed.toStdString();
  EXPECT_FALSE(listed.contains("EMP, record #21: "));
  EXPECT_FALSE(listed.contains("unique index were found.\nSee"));  // one line each
  EXPECT_EQ(jet_check(), 0);
  handler_.set_do_not_show(false);
}

TEST_F(WizardRun, AbortEndsTheRunAndTheFinishPageListsWhatCameBefore) {
  prepare(rows_script("EMP", 10), {u"EMP"});
  run_to_finish();
  converter_->set_mode(3);
  dialog_answerer answer([](QWidget* modal) {
    auto* dialog = qobject_cast<dlg_error_continue*>(modal);
    ASSERT_NE(dialog, nullptr);
    dialog->abort_button()->click();
  });
  run_to_finish();
  EXPECT_EQ(answer.answered(), 1);
  EXPECT_EQ(finish().error_box()->toPlainText().count("\n\n"), 1);
  EXPECT_EQ(jet_check(), 0);
}

TEST_F(WizardRun, ADestinationThatCannotBeCreatedIsAskedAboutAndListed) {
  prepare(rows_script("EMP", 3), {u"EMP"});
  converter_->set_dest_name((folder_ / "missing" / "out.mdb").u16string());
  QString asked;
  dialog_answerer answer([&](QWidget* modal) {
    auto* dialog = qobject_cast<dlg_error_continue*>(modal);
    ASSERT_NE(dialog, nullptr);
    asked = dialog->findChild<QLabel*>("1320")->text();
    dialog->continue_button()->click();
  });
  run_to_finish();
  EXPECT_EQ(answer.answered(), 1);
  EXPECT_TRUE(asked.contains("missing/out.mdb")) << asked.toStdString();
  EXPECT_EQ(finish().error_box()->toPlainText(), asked + "\n\n");
  EXPECT_FALSE(fs::exists(folder_ / "missing"));
}

TEST_F(WizardRun, CancelStopsALongRunSoonAndLeavesACheckedFile) {
  prepare(rows_script("BIG", 100000), {u"BIG"});
  converter_->set_mode(0);
  shell_->jump_to(progress_page::page_template);
  ASSERT_TRUE(wait_until([this] { return converter_->record_index() > 50; }));
  std::chrono::steady_clock::time_point answered;
  box_answerer yes(QMessageBox::Yes);
  QTimer::singleShot(0, [&] { answered = std::chrono::steady_clock::now(); });
  shell_->reject();
  const auto closed = std::chrono::steady_clock::now();
  EXPECT_EQ(yes.seen().text, "Are you sure you want to exit the wizard?");
  EXPECT_FALSE(shell_->isVisible());
  EXPECT_FALSE(progress().run_going());  // no worker outlives the sheet
  EXPECT_LT(closed - answered, std::chrono::seconds(1));
  const int copied = converter_->record_index();
  EXPECT_LT(copied, 100000);
  EXPECT_EQ(jet_check(), 0);
  EXPECT_TRUE(converter_->is_finished());
}
#endif
