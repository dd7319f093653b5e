#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>

#include "GUI2/gui_fini.h"
#include "GUI2/wiz_page.h"
#include "TK/tk_excep.h"
#include "wizard_util.h"

namespace {
// A page whose answers the test sets; it records its activations.
class scripted_page : public wizard_page {
 public:
  scripted_page(int id, wizard_page_kind kind) : wizard_page(id, kind, 0) {}
  bool page_init() override { ++activations; return accept; }
  bool on_kill_active() override { return may_leave; }
  int on_next() override { return next; }
  int on_back() override { return back; }
  bool accept = true;
  bool may_leave = true;
  int next = 0;
  int back = 0;
  int activations = 0;
};

struct sheet {
  wizard_shell shell{QStringLiteral("Dunmarrow 2.5 "), 501, 311, 312};
  scripted_page* pages[5];
  sheet() {
    const wizard_page_kind kinds[] = {wizard_page_kind::welcome, wizard_page_kind::interior,
                                      wizard_page_kind::interior, wizard_page_kind::interior,
                                      wizard_page_kind::finish};
    for (int i = 0; i < 5; ++i) shell.add_page(pages[i] = new scripted_page(100 + i, kinds[i]));
  }
  int at() const { return shell.active_page()->template_id(); }
};

bool enabled(wizard_shell& shell, wizard_shell::button b) { return shell.sheet_button(b)->isEnabled(); }
bool shown(wizard_shell& shell, wizard_shell::button b) { return !shell.sheet_button(b)->isHidden(); }
}  // namespace

TEST(WizardNavigation, PagesThatRefuseActivationAreSkippedInTheDirectionOfTravel) {
  sheet s;
  s.pages[0]->accept = false;  // even the first page may be skipped
  s.shell.start();
  EXPECT_EQ(s.at(), 101);
  s.pages[2]->accept = false;
  s.shell.press_next();
  EXPECT_EQ(s.at(), 103);
  EXPECT_EQ(s.pages[2]->activations, 1);  // asked, then passed over
  s.shell.press_back();
  EXPECT_EQ(s.at(), 101);
  s.pages[0]->accept = true;
  s.shell.press_back();
  EXPECT_EQ(s.at(), 100);
}

TEST(WizardNavigation, NextAndBackJumpStayOrAreHeldByTheLeavingPage) {
  sheet s;
  s.shell.start();
  s.shell.press_next();
  s.pages[1]->next = 104;  // a jump forward
  s.shell.press_next();
  EXPECT_EQ(s.at(), 104);
  s.pages[4]->back = 0;
  s.shell.jump_to(102);
  s.pages[2]->back = 100;  // a jump back
  s.shell.press_back();
  EXPECT_EQ(s.at(), 100);
  s.shell.press_next();
  s.pages[1]->next = -1;  // stay
  s.shell.press_next();
  EXPECT_EQ(s.at(), 101);
  s.pages[1]->next = 0;
  s.pages[1]->may_leave = false;  // the page keeps the user
  s.shell.press_next();
  EXPECT_EQ(s.at(), 101);
  // A jump to a skipped page goes on in the same direction.
  s.pages[1]->may_leave = true;
  s.pages[1]->next = 102;
  s.pages[2]->accept = false;
  s.shell.press_next();
  EXPECT_EQ(s.at(), 103);
}

TEST(WizardNavigation, NothingToGoToKeepsThePage) {
  sheet s;
  s.shell.start();
  s.shell.jump_to(103);
  s.pages[4]->accept = false;
  s.shell.press_next();
  EXPECT_EQ(s.at(), 103);
  EXPECT_TRUE(enabled(s.shell, wizard_shell::button::next));
}

TEST(WizardNavigation, ButtonsFollowThePageKind) {
  auto shell = product_shell();
  shell->show();
  shell->start();
  using b = wizard_shell::button;
  EXPECT_FALSE(enabled(*shell, b::back));
  EXPECT_TRUE(enabled(*shell, b::next));
  EXPECT_FALSE(shown(*shell, b::finish));
  EXPECT_TRUE(enabled(*shell, b::cancel));
  EXPECT_TRUE(enabled(*shell, b::help));
  shell->press_back();  // disabled: nothing happens
  EXPECT_EQ(shell->active_page()->template_id(), welcome_page::page_template);

  const int interior[] = {oracle_settings_page::page_template, sel_file_page::page_template,
                          sel_tables_page::page_template, progress_page::page_template};
  for (int id : interior) {
    // The connection page goes on only once connected: a stand-in connects.
    if (auto* connection = qobject_cast<oracle_settings_page*>(shell->active_page())) {
      connection->database_edit()->setText(QStringLiteral("DB"));
      connection->set_connect_call([](const std::u16string&) {});
    }
    shell->press_next();
    ASSERT_EQ(shell->active_page()->template_id(), id);
    EXPECT_FALSE(shell->active_page()->title().isEmpty());
    EXPECT_TRUE(enabled(*shell, b::back));
    EXPECT_TRUE(enabled(*shell, b::next));
    EXPECT_FALSE(shown(*shell, b::finish));
  }
  shell->press_next();
  ASSERT_EQ(shell->active_page()->template_id(), gui_finish_page::page_template);
  EXPECT_FALSE(enabled(*shell, b::back));
  EXPECT_FALSE(shown(*shell, b::next));
  EXPECT_TRUE(shown(*shell, b::finish));
  EXPECT_TRUE(enabled(*shell, b::finish));
  EXPECT_FALSE(enabled(*shell, b::cancel));
  EXPECT_FALSE(enabled(*shell, b::help));
  shell->reject();  // Escape on the last page: no question, no closing
  EXPECT_TRUE(shell->isVisible());
  shell->press_finish();
  EXPECT_FALSE(shell->isVisible());
  EXPECT_EQ(shell->result(), QDialog::Accepted);
}

TEST(WizardNavigation, HeadersSayWhichStep) {
  auto shell = product_shell();
  const char* titles[][2] = {{"Step 1 of 4", "Connect to Oracle server"},
                             {"Step 2 of 4", "Conversion Settings"},
                             {"Step 3 of 4", "Select tables to convert"},
                             {"Step 4 of 4", "Database conversion is in progress"}};
  const auto& pages = shell->pages();
  ASSERT_EQ(pages.size(), 6u);
  const int order[] = {103, 132, 105, 127, 106, 116};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(pages[i]->template_id(), order[i]);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(pages[i + 1]->title(), titles[i][0]);
    EXPECT_EQ(pages[i + 1]->subTitle(), titles[i][1]);
  }
  // Exterior pages carry the watermark and no header.
  EXPECT_FALSE(pages[0]->pixmap(QWizard::WatermarkPixmap).isNull());
  EXPECT_FALSE(pages[5]->pixmap(QWizard::WatermarkPixmap).isNull());
  EXPECT_TRUE(pages[0]->subTitle().isEmpty());
  EXPECT_FALSE(shell->pixmap(QWizard::LogoPixmap).isNull());
}

TEST(WizardNavigation, CheckBoxesToggleByControlId) {
  sheet s;
  auto* box = new QCheckBox(s.pages[1]);
  box->setObjectName("1222");
  EXPECT_TRUE(s.pages[1]->invert_chbox(1222));
  EXPECT_FALSE(s.pages[1]->invert_chbox(1222));
  box->setTristate(true);
  box->setCheckState(Qt::PartiallyChecked);
  EXPECT_TRUE(s.pages[1]->invert_chbox(1222));
  EXPECT_THROW(s.pages[1]->invert_chbox(1223), tk_mail_assertion);
}
