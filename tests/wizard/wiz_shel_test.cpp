#include <gtest/gtest.h>

#include <QDir>
#include <QEventLoop>
#include <QTemporaryDir>

#include "GUI2/wiz_help.h"
#include "GUI2/wiz_page.h"
#include "TK/tk_excep.h"
#include "wizard_util.h"

namespace {
const QString title = QStringLiteral("Dunmarrow 2.5 ");

// Counts the ticks of the shell's timer that reach it.
class ticking_page : public wizard_page {
 public:
  ticking_page(int id, wizard_page_kind kind) : wizard_page(id, kind, 0) {}
  void on_timer(int timer_id) override {
    ++ticks;
    last_id = timer_id;
  }
  int ticks = 0;
  int last_id = 0;
};

void spin(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}
}  // namespace

TEST(WizardShell, TitleIsTheProductAndVersion) { EXPECT_EQ(wizard_title(), title); }

TEST(WizardShell, MessageBoxesHaveNoOwnerAndPlainCaptionsUntilAPageIsShown) {
  auto shell = product_shell();
  EXPECT_FALSE(wizard_shell::is_initialized());
  {
    box_answerer answer;
    shell->error("disk gone");
    EXPECT_EQ(answer.seen().caption, "Error");
    EXPECT_EQ(answer.seen().text, "disk gone");
    EXPECT_EQ(answer.seen().icon, QMessageBox::Critical);
    EXPECT_EQ(answer.seen().owner, nullptr);
  }
  {
    box_answerer answer;
    shell->message("note");
    EXPECT_EQ(answer.seen().caption, "Message");
    EXPECT_EQ(answer.seen().icon, QMessageBox::Information);
  }
  {
    box_answerer answer(QMessageBox::Yes);
    EXPECT_TRUE(shell->question("go?", wizard_shell::default_button::yes));
    EXPECT_EQ(answer.seen().caption, "Question");
    EXPECT_EQ(answer.seen().default_button, QMessageBox::Yes);
  }

  shell->start();
  EXPECT_TRUE(wizard_shell::is_initialized());
  EXPECT_EQ(shell->windowTitle(), title);
  {
    box_answerer answer;
    shell->error("disk gone");
    EXPECT_EQ(answer.seen().caption, title + " Error");
    EXPECT_EQ(answer.seen().owner, shell.get());
  }
  {
    box_answerer answer;
    shell->message("note");
    EXPECT_EQ(answer.seen().caption, title + " Message");
  }
  {
    box_answerer answer(QMessageBox::No);
    EXPECT_FALSE(shell->question("go?", wizard_shell::default_button::no));
    EXPECT_EQ(answer.seen().caption, title + " Question");
    EXPECT_EQ(answer.seen().icon, QMessageBox::Question);
  }
}

TEST(WizardShell, OnlyOneShellAtATime) {
  auto shell = product_shell();
  EXPECT_THROW(wizard_shell(title, 501, 311, 312), tk_mail_assertion);
  shell.reset();
  EXPECT_EQ(wizard_shell::instance(), nullptr);
  EXPECT_FALSE(wizard_shell::is_initialized());
  EXPECT_THROW(wizard_shell::get(), tk_mail_assertion);
}

TEST(WizardShell, CancelAsksWithNoAsTheDefaultAndNoKeepsThePage) {
  auto shell = product_shell();
  shell->show();
  shell->start();
  shell->press_next();
  wizard_page* page = shell->active_page();
  {
    box_answerer answer;  // the default button: No
    shell->reject();
    EXPECT_EQ(answer.seen().text, "Are you sure you want to exit the wizard?");
    EXPECT_EQ(answer.seen().default_button, QMessageBox::No);
    EXPECT_EQ(answer.seen().caption, title + " Question");
  }
  EXPECT_TRUE(shell->isVisible());
  EXPECT_EQ(shell->active_page(), page);
  {
    box_answerer answer(QMessageBox::Yes);
    shell->close();  // the close box asks the same
    EXPECT_TRUE(answer.seen().shown);
  }
  EXPECT_FALSE(shell->isVisible());
  EXPECT_EQ(shell->result(), QDialog::Rejected);
}

TEST(WizardShell, HelpOpensTheTopicOfThePageOrTheDefault) {
  auto shell = product_shell();
  shell->set_help_folder(QStringLiteral(DMW_SOURCE_DIR "/GUI2/help"));
  shell->start();
  shell->press_help();  // welcome page: 1003
  ASSERT_NE(shell->viewer(), nullptr);
  EXPECT_TRUE(shell->viewer()->isVisible());
  EXPECT_TRUE(shell->viewer()->current_topic().endsWith("/welcome.html"));
  shell->press_next();
  shell->press_help();
  EXPECT_TRUE(shell->viewer()->current_topic().endsWith("/connect.html"));
  shell->jump_to(progress_page::page_template);
  shell->press_help();  // the progress page has the default topic
  EXPECT_TRUE(shell->viewer()->current_topic().endsWith("/index.html"));
  for (int context : {1001, 1002, 1003, 1005, 0}) {
    const QString file = QDir(shell->help_folder()).filePath(help_topic_file(context));
    EXPECT_TRUE(QFileInfo(file).isFile()) << file.toStdString();
  }
}

TEST(WizardShell, MissingHelpTopicsSayReinstallAndTheWizardGoesOn) {
  QTemporaryDir empty;
  auto shell = product_shell();
  shell->set_help_folder(empty.path());
  shell->show();
  shell->start();
  {
    box_answerer answer;
    shell->press_help();
    EXPECT_EQ(answer.seen().text, "Help file does not exist. Reinstall the program.");
    EXPECT_EQ(answer.seen().caption, title + " Error");
  }
  {
    box_answerer answer;
    shell->display_help();
    EXPECT_EQ(answer.seen().text, "Help file does not exist. Reinstall the program.");
  }
  EXPECT_EQ(shell->viewer(), nullptr);
  shell->press_next();
  EXPECT_EQ(shell->active_page()->template_id(), oracle_settings_page::page_template);
}

TEST(WizardShell, TimerTicksReachTheActivePageUntilStopped) {
  wizard_shell shell(title, 501, 311, 312);
  auto* first = new ticking_page(1, wizard_page_kind::welcome);
  auto* second = new ticking_page(2, wizard_page_kind::interior);
  shell.add_page(first);
  shell.add_page(second);
  shell.start();
  EXPECT_FALSE(shell.timer_running());
  shell.start_timer(10);
  EXPECT_TRUE(shell.timer_running());
  EXPECT_THROW(shell.start_timer(10), tk_mail_assertion);  // already running
  spin(60);
  EXPECT_GT(first->ticks, 0);
  EXPECT_EQ(first->last_id, wizard_shell::timer_id);
  shell.press_next();
  const int first_ticks = first->ticks;
  spin(60);
  EXPECT_EQ(first->ticks, first_ticks);  // only the active page hears it
  EXPECT_GT(second->ticks, 0);
  shell.stop_timer();
  shell.stop_timer();  // stopping an idle timer is harmless
  EXPECT_FALSE(shell.timer_running());
  const int second_ticks = second->ticks;
  spin(40);
  EXPECT_EQ(second->ticks, second_ticks);
  EXPECT_THROW(shell.start_timer(0), tk_mail_assertion);
  shell.start_timer(200);  // a timer still running goes with the shell
}
