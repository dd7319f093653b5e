#include <gtest/gtest.h>

#include <QCheckBox>
#include <QClipboard>
#include <QFileDialog>
#include <QLabel>
#include <QUrlQuery>
#include <atomic>
#include <thread>

#include "GUI2/dlg_err.h"
#include "GUI2/wiz_fdlg.h"
#include "TK/tk_excep.h"
#include "common/err_hand.h"
#include "common/err_text.h"
#include "wizard_util.h"

namespace {
// Opens the dialog and presses `press` on it once it shows; the result of exec().
int result_of(QDialog& dialog, const std::function<void(QDialog&)>& press) {
  QTimer::singleShot(0, &dialog, [&] { press(dialog); });
  return dialog.exec();
}
}  // namespace

TEST(ErrorDialogs, InternalErrorBoxCopiesMailsOrJustCloses) {
  auto shell = product_shell();
  dlg_error_ex before("Internal error: \ncode=41");
  EXPECT_EQ(before.windowTitle(), "Error");
  shell->start();

  dlg_error_ex copy("Internal error: \ncode=41");
  EXPECT_EQ(copy.windowTitle(), "Dunmarrow 2.5  Error");
  EXPECT_EQ(copy.findChild<QLabel*>("1320")->text(), "Internal error: \ncode=41");
  EXPECT_TRUE(copy.send_bug_button()->isDefault());
  EXPECT_EQ(result_of(copy, [](QDialog& d) { static_cast<dlg_error_ex&>(d).copy_button()->click(); }),
            dlg_error_ex::copied);
  EXPECT_EQ(QApplication::clipboard()->text(), "Internal error: \ncode=41");

  dlg_error_ex ok("x");
  EXPECT_EQ(result_of(ok, [](QDialog& d) { static_cast<dlg_error_ex&>(d).ok_button()->click(); }),
            dlg_error_ex::ok);
  dlg_error_ex escape("x");
  EXPECT_EQ(result_of(escape, [](QDialog& d) { d.reject(); }), dlg_error_ex::ok);

  const QUrl mail = copy.bug_mail();
  EXPECT_EQ(mail.scheme(), "mailto");
  EXPECT_EQ(mail.path(), "support@dunmarrow.example");
  const QUrlQuery query(mail);
  EXPECT_EQ(query.queryItemValue("subject", QUrl::FullyDecoded), "Bug report: Dunmarrow 2.5 ");
  EXPECT_EQ(query.queryItemValue("body", QUrl::FullyDecoded), "Internal error: \ncode=41");
}

TEST(ErrorDialogs, ContinueIsTheDefaultAndTheBoxIsRemembered) {
  dlg_error_continue go(u"T, record #2: bad");
  EXPECT_EQ(go.windowTitle(), "Error");
  EXPECT_TRUE(go.continue_button()->isDefault());
  EXPECT_FALSE(go.do_not_show());
  EXPECT_EQ(result_of(go, [](QDialog& d) {
              auto& c = static_cast<dlg_error_continue&>(d);
              c.do_not_show_box()->click();
              c.continue_button()->click();
            }),
            dlg_error_continue::continue_run);
  EXPECT_TRUE(go.do_not_show());

  dlg_error_continue stop(u"x");
  EXPECT_EQ(result_of(stop, [](QDialog& d) { static_cast<dlg_error_continue&>(d).abort_button()->click(); }),
            dlg_error_continue::abort_run);
  EXPECT_FALSE(stop.do_not_show());
  dlg_error_continue escape(u"x");
  EXPECT_EQ(result_of(escape, [](QDialog& d) { d.reject(); }), dlg_error_continue::continue_run);
}

TEST(ErrorDialogs, QuestionsFromTheWorkerAreAskedOnTheUserInterfaceThread) {
  auto shell = product_shell();
  shell->start();
  std::thread::id shown_on;
  dialog_answerer answer([&](QWidget* modal) {
    shown_on = std::this_thread::get_id();
    auto* dialog = qobject_cast<dlg_error_continue*>(modal);
    ASSERT_NE(dialog, nullptr);
    dialog->do_not_show_box()->click();
    dialog->abort_button()->click();
  });
  std::atomic<bool> done{false};
  error_front_end::answer got{false, false};
  std::thread worker([&] {
    got = shell->ask_continue("T: bad");
    shell->start_progress_timer(200);
    done = true;
  });
  ASSERT_TRUE(wait_until([&] { return done.load(); }));
  worker.join();
  EXPECT_EQ(shown_on, std::this_thread::get_id());
  EXPECT_TRUE(got.abort);
  EXPECT_TRUE(got.do_not_show);
  ASSERT_TRUE(wait_until([&] { return shell->timer_running(); }, 2000));
  shell->stop_timer();

  // While the user waits for a stopping run, nothing more is asked.
  shell->set_stopping(true);
  std::thread quiet([&] { got = shell->ask_continue("T: bad"); });
  quiet.join();
  EXPECT_FALSE(got.abort);
  EXPECT_EQ(answer.answered(), 1);
}

TEST(ErrorDialogsDeathTest, InternalErrorOnTheWorkerShowsTheBoxThenEndsWithMinusOne) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        error_handler handler(dmw_oracle_error_text_count, dmw_oracle_error_texts);
        auto shell = product_shell();
        shell->start();
        bool shown = false;
        dialog_answerer answer([&](QWidget* modal) {
          auto* box = qobject_cast<dlg_error_ex*>(modal);
          if (!box) std::_Exit(3);
          shown = true;
          box->ok_button()->click();
        });
        std::thread worker([] { error_handler::get().handle(tk_mail_assertion("dmw_conv", 7), false); });
        wait_until([] { return false; }, 20000);
        worker.detach();
        std::_Exit(shown ? 4 : 5);  // not reached: the box ends the process
      },
      ::testing::ExitedWithCode(255), "");
}

TEST(ErrorDialogs, ErrorListKeepsTheFirstTwenty) {
  auto shell = product_shell();
  for (int i = 1; i <= 25; ++i) shell->append_error_line(u"E" + std::u16string(1, u'a' + (i % 26)));
  EXPECT_EQ(shell->error_line_count(), 20u);
  EXPECT_EQ(shell->errors().front(), "Eb");
  shell->clear_errors();
  EXPECT_TRUE(shell->errors().empty());
}

TEST(FileDialogs, DefaultExtensionIsAddedUnlessTheNameHoldsIt) {
  EXPECT_EQ(with_default_extension("/tmp/run", "dmw"), "/tmp/run.dmw");
  EXPECT_EQ(with_default_extension("/tmp/run", ".dmw"), "/tmp/run.dmw");
  EXPECT_EQ(with_default_extension("/tmp/run.dmw", "dmw"), "/tmp/run.dmw");
  EXPECT_EQ(with_default_extension("/tmp/run.dmw.old", "dmw"), "/tmp/run.dmw.old");  // anywhere
  EXPECT_EQ(with_default_extension("", "dmw"), "");  // cancelled
}

TEST(FileDialogs, SaveDialogStartsInTheInitialFolderAndRestoresTheWorkingOne) {
  const QString before = QDir::currentPath();
  QString seen_folder, working;
  dialog_answerer answer([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    seen_folder = dialog->directory().absolutePath();
    working = QDir::currentPath();
    EXPECT_EQ(dialog->windowTitle(), "Select Profile File");
    dialog->selectFile(QDir::temp().filePath("chosen"));
    static_cast<QDialog*>(dialog)->accept();
  });
  const QString chosen = save_file_dialog(nullptr, "Profile Files (.dmw) (*.dmw);;All Files (*.*) (*)",
                                          "Select Profile File", QDir::temp().filePath("start.dmw"), "dmw");
  EXPECT_EQ(chosen, QDir::temp().filePath("chosen.dmw"));
  EXPECT_EQ(seen_folder, QDir::temp().absolutePath());
  EXPECT_EQ(working, QDir::temp().absolutePath());
  EXPECT_EQ(QDir::currentPath(), before);
}
