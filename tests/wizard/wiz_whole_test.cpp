// The whole wizard driven as a person drives it, with the mouse and the
// keyboard, from the welcome page to Finish over ocilite's sample schema. The
// Access file it writes must read back, through mdb-reader and mdbtools,
// exactly as the agent's conversion with the settings the wizard saved.
#if defined(OCILITE_TOOL) && defined(MDB_DUMP_SCRIPT)
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <algorithm>
#include <cstdlib>
#include <optional>

#include "GUI2/gui_fini.h"
#include "TK/tk_trace.h"
#include "common/dmw_conv.h"
#include "common/err_hand.h"
#include "common/err_text.h"
#include "jet/dao/register.h"
#include "tests/e2e/e2e_util.h"
#include "wizard_util.h"

namespace fs = std::filesystem;

namespace {

const char senior_staff_query[] =
    "  SELECT EMP_ID, LAST_NAME, HIRED\n  FROM EMPLOYEES\n  WHERE MANAGER_ID IS NOT NULL";

template <class W>
W* control(QWidget* in, const char* id) {
  W* found = in->findChild<W*>(QString::fromLatin1(id));
  EXPECT_NE(found, nullptr) << "control " << id;
  return found;
}

// Clicks into the edit, selects what it holds and types over it.
void type_into(QLineEdit* edit, const QString& text) {
  QTest::mouseClick(edit, Qt::LeftButton);
  QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
  if (text.isEmpty())
    QTest::keyClick(edit, Qt::Key_Delete);
  else
    QTest::keyClicks(edit, text);
}

// Types the text line by line, pressing Return between lines.
void type_lines(QWidget* widget, const QString& text) {
  const QStringList lines = text.split(QLatin1Char('\n'));
  for (qsizetype i = 0; i < lines.size(); ++i) {
    if (i) QTest::keyClick(widget, Qt::Key_Return);
    QTest::keyClicks(widget, lines[i]);
  }
}

class WholeWizard : public ::testing::Test {
 protected:
  WholeWizard()
      : trace_((folder_ / "trace.log").string(), true, 2, false),
        handler_(dmw_oracle_error_text_count, dmw_oracle_error_texts) {
    handler_.load_err_map(dmw_access_error_text_count, dmw_access_error_texts);
    ::setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
    for (const std::string& entry : oracle_home::demo().environment()) {
      const size_t equals = entry.find('=');
      ::setenv(entry.substr(0, equals).c_str(), entry.substr(equals + 1).c_str(), 1);
    }
    jet_register_dao_engine();
  }
  ~WholeWizard() override {
    shell_.reset();
    converter_.reset();
  }
  void SetUp() override {
    if (const std::string why = readers_missing(); !why.empty()) GTEST_SKIP() << why;
    converter_.emplace(dmw_front_end::wizard);
    shell_ = product_shell();
    shell_->show();
    shell_->start();
    shell_->activateWindow();
    ASSERT_TRUE(wait_until([&] { return shell_->isActiveWindow(); }, 5000));
  }

  wizard_page* page() const { return shell_->active_page(); }
  int at() const { return page()->template_id(); }
  void click(wizard_shell::button which) { QTest::mouseClick(shell_->sheet_button(which), Qt::LeftButton); }

  // Welcome page to the table page: the connection typed in, the destination
  // named, the format chosen with the keyboard. For an existing destination
  // the mode's radio button is clicked in the dialog that asks.
  void connect_and_name(const fs::path& destination, int format, int mode = -1) {
    ASSERT_EQ(at(), welcome_page::page_template);
    click(wizard_shell::button::next);
    ASSERT_EQ(at(), oracle_settings_page::page_template);
    type_into(control<QLineEdit>(page(), "1003"), "");
    type_into(control<QLineEdit>(page(), "1014"), "DEMO");
    type_into(control<QLineEdit>(page(), "1004"), "1521");
    type_into(control<QLineEdit>(page(), "1012"), "SCOTT");
    type_into(control<QLineEdit>(page(), "1013"), "tiger");
    click(wizard_shell::button::next);  // the wait box comes and goes meanwhile
    ASSERT_TRUE(wait_until([&] { return at() == sel_file_page::page_template; }, 30000));

    type_into(control<QLineEdit>(page(), "1003"), QString::fromStdString(destination.string()));
    auto* format_list = control<QComboBox>(page(), "1302");
    QTest::mouseClick(format_list, Qt::LeftButton);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QTest::keyClick(format_list, format == 0 ? Qt::Key_Up : Qt::Key_Down);
    ASSERT_EQ(format_list->currentIndex(), format);
    std::optional<dialog_answerer> existing;
    if (mode >= 0)
      existing.emplace([mode](QWidget* modal) {
        const std::string radio = std::to_string(1329 + mode);
        // On its circle: a short label leaves the middle of a wide button empty.
        auto* button = control<QRadioButton>(modal, radio.c_str());
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
        QTest::mouseClick(control<QPushButton>(modal, "1"), Qt::LeftButton);
      });
    click(wizard_shell::button::next);
    if (existing) {
      EXPECT_EQ(existing->answered(), 1);
    }
    ASSERT_EQ(at(), sel_tables_page::page_template);
  }

  // All tables with "Add all".
  void select_all() {
    QTest::mouseClick(control<QPushButton>(page(), "1102"), Qt::LeftButton);
    EXPECT_EQ(control<QListWidget>(page(), "1317")->count(), 0);
    EXPECT_EQ(control<QListWidget>(page(), "1318")->count(), 5);
  }

  // All tables with "Add all", then a query through the editor.
  void select_all_and_a_query(const QString& name) {
    select_all();
    dialog_answerer editor([&](QWidget* modal) {
      type_into(control<QLineEdit>(modal, "1019"), name);
      auto* query = control<QPlainTextEdit>(modal, "1020");
      QTest::mouseClick(query->viewport(), Qt::LeftButton);
      type_lines(query, QString::fromLatin1(senior_staff_query));
      QTest::mouseClick(control<QPushButton>(modal, "1"), Qt::LeftButton);
    });
    QTest::mouseClick(control<QPushButton>(page(), "1114"), Qt::LeftButton);
    EXPECT_EQ(editor.answered(), 1);
    EXPECT_EQ(control<QListWidget>(page(), "1318")->count(), 6);
  }

  // Next starts the run; the finish page's Save Settings writes the profile.
  void run_and_save(const fs::path& profile) {
    click(wizard_shell::button::next);
    ASSERT_TRUE(wait_until([&] { return at() == gui_finish_page::page_template; }, 120000));
    auto* finish = static_cast<gui_finish_page*>(page());
    EXPECT_TRUE(finish->error_box()->isHidden()) << finish->error_box()->toPlainText().toStdString();
    dialog_answerer save([&](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      ASSERT_NE(dialog, nullptr);
      dialog->selectFile(QString::fromStdString(profile.string()));
      static_cast<QDialog*>(dialog)->accept();
    });
    QTest::mouseClick(finish->save_button(), Qt::LeftButton);
    EXPECT_EQ(save.answered(), 1);
    click(wizard_shell::button::finish);
    EXPECT_EQ(shell_->result(), QDialog::Accepted);
  }

  // The agent with the profile the wizard saved, into a file of its own.
  // `theirs` may hold what the wizard's destination held before its run.
  void expect_agent_writes_the_same(const fs::path& profile, const fs::path& ours,
                                    const fs::path& theirs) {
    const agent_run run = run_agent({"--profile=" + profile.string(), "--dest=" + theirs.string()}, folder_.path(),
                                    oracle_home::demo().environment());
    ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
    EXPECT_EQ(mdbtools_tables(ours), mdbtools_tables(theirs));
    EXPECT_EQ(mdbtools_indexes(ours), mdbtools_indexes(theirs));
    const std::vector<std::string> facts = mdb_reader_facts(ours);
    EXPECT_EQ(facts, mdb_reader_facts(theirs));
    EXPECT_GT(facts.size(), 30u);
  }

  scratch_folder folder_;
  tk_trace trace_;
  error_handler handler_;
  std::optional<dunmarrow_convertor> converter_;
  std::unique_ptr<wizard_shell> shell_;
};

}  // namespace

TEST_F(WholeWizard, Access2000FileWithAQueryReadsBackAsTheAgentsConversion) {
  const fs::path ours = folder_ / "wizard.mdb";
  ASSERT_NO_FATAL_FAILURE(connect_and_name(folder_ / "wizard", 1));
  ASSERT_NO_FATAL_FAILURE(select_all_and_a_query("SENIOR_STAFF"));
  const fs::path profile = folder_ / "settings.dmw";
  ASSERT_NO_FATAL_FAILURE(run_and_save(profile));
  ASSERT_TRUE(fs::exists(ours));
  const std::vector<std::string> tables = mdbtools_tables(ours);
  EXPECT_NE(std::find(tables.begin(), tables.end(), "SENIOR_STAFF"), tables.end());
  expect_agent_writes_the_same(profile, ours, folder_ / "agent.mdb");
}

// An existing Access 97 file holding two of the tables, without rows: each
// mode of the existing-destination dialog does to it what the agent's same
// mode does to a copy of it.
class WholeWizardOverExistingFile : public WholeWizard, public ::testing::WithParamInterface<int> {};

TEST_P(WholeWizardOverExistingFile, EachModeMatchesTheAgent) {
  const int mode = GetParam();
  folder_.write("two.txt", "DEPARTMENTS\nPROJECTS\n");
  const agent_run made = run_agent({"--src=DEMO", "--oraclu=SCOTT", "--oraclp=tiger", "--dest=before", "--acc_ver=0",
                                    "--tab_def", "--tab_file=" + (folder_ / "two.txt").string()},
                                   folder_.path(), oracle_home::demo().environment());
  ASSERT_EQ(made.exit_code, 0) << made.out << made.err;
  const fs::path ours = folder_ / "wizard.mdb";
  const fs::path theirs = folder_ / "agent.mdb";
  fs::copy_file(folder_ / "before.mdb", ours);
  fs::copy_file(folder_ / "before.mdb", theirs);

  ASSERT_NO_FATAL_FAILURE(connect_and_name(ours, 0, mode));
  EXPECT_EQ(converter_->mode(), mode);
  EXPECT_TRUE(fs::exists(ours));  // even mode 0 replaces the file only when the run has finished
  select_all();
  const fs::path profile = folder_ / "settings.dmw";
  ASSERT_NO_FATAL_FAILURE(run_and_save(profile));
  expect_agent_writes_the_same(profile, ours, theirs);
  // The two emptied tables: filled again, or left empty when skipped.
  EXPECT_EQ(mdbtools_row_count(ours, "DEPARTMENTS"), mode == 2 ? 0u : 4u);
}

INSTANTIATE_TEST_SUITE_P(Modes, WholeWizardOverExistingFile, ::testing::Values(0, 1, 2, 3));

#endif
