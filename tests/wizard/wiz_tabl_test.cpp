// The table selection page and the query editor over an ocilite schema, with
// a wizard converter logged on to it.
#ifdef OCILITE_TOOL
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <filesystem>
#include <optional>
#include <unistd.h>

#include "GUI2/wiz_help.h"
#include "TK/tk_trace.h"
#include "common/dmw_conv.h"
#include "tests/ORA/ora_home.h"
#include "wizard/wiz_qdlg.h"
#include "wizard/wiz_tabl.h"
#include "wizard_util.h"

namespace fs = std::filesystem;

namespace {

// Runs each step on the next new modal window, in order. The next poll is
// queued before a step runs, so a box that a step's click opens is served
// from inside it; polls still queued die with the script.
class modal_script {
 public:
  explicit modal_script(std::vector<std::function<void(QWidget*)>> steps) : steps_(std::move(steps)) {
    clock_.start();
    QTimer::singleShot(0, &context_, [this] { poll(); });
  }
  size_t done() const { return next_; }

 private:
  void poll() {
    if (next_ == steps_.size() || clock_.elapsed() > 30000) return;
    QTimer::singleShot(5, &context_, [this] { poll(); });
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal == last_) return;
    last_ = modal;
    steps_[next_++](modal);
  }

  std::vector<std::function<void(QWidget*)>> steps_;
  size_t next_ = 0;
  QPointer<QWidget> last_;
  QElapsedTimer clock_;
  QObject context_;
};

set_query_dlg& editor(QWidget* modal) {
  auto* dialog = qobject_cast<set_query_dlg*>(modal);
  if (!dialog) throw std::runtime_error("not the query editor");
  return *dialog;
}

// The message box that `act` shows, answered with OK; none
// shown leaves `shown` false.
box_seen box_of(const std::function<void()>& act) {
  box_seen seen;
  modal_script script({[&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (!box) return modal->close(), void();
    seen.shown = true;
    seen.text = box->text();
    seen.icon = box->icon();
    box->button(QMessageBox::Ok)->click();
  }});
  act();
  return seen;
}

QStringList items(const QListWidget* list) {
  QStringList names;
  for (int i = 0; i < list->count(); ++i) names << list->item(i)->text();
  return names;
}

const char syntax_message[] =
    "You have an error in your query syntax. Make sure that it is a correct SQL SELECT-statement. "
    "Contact support@kestrova.com if the error persists.";

class TablesPage : public ::testing::Test {
 protected:
  TablesPage()
      : folder_(fs::temp_directory_path() / ("dmw_wiztabl_" + std::to_string(::getpid()))),
        made_(fs::create_directories(folder_)), trace_((folder_ / "trace.log").string(), true, 2, false) {
    ::setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
    home_.create_user("DB", "SCOTT", "tiger");
    home_.load("DB", "SCOTT",
               "CREATE TABLE EMP (ID NUMBER(9), ENAME VARCHAR2(20));\n"
               "CREATE TABLE BONUS (ID NUMBER(9));\n"
               "CREATE TABLE \"Dept\" (ID NUMBER(9));\n"
               "CREATE TABLE \"_X\" (ID NUMBER(9));\n"
               "CREATE TABLE \"a\" (ID NUMBER(9));\n");
    home_.make_current();
    converter_.emplace(dmw_front_end::wizard);
    converter_->store_oracle_settings(u"", u"scott", u"tiger", u"1521");
    converter_->connect_oracle_server(u"DB");
    converter_->selected_tables().clear();
    converter_->selected_objects().clear();
    converter_->available_queries().clear();
    shell_ = product_shell();
    shell_->resize(640, 480);
    shell_->show();
    shell_->start();
    shell_->jump_to(sel_tables_page::page_template);
  }
  ~TablesPage() override {
    shell_.reset();
    converter_.reset();
    fs::remove_all(folder_);
  }
  sel_tables_page& page() {
    return *static_cast<sel_tables_page*>(shell_->page_by_template(sel_tables_page::page_template));
  }
  extent_list* left() { return page().left_list(); }
  extent_list* right() { return page().right_list(); }
  void select(QListWidget* list, const QString& name) {
    list->setCurrentItem(list->findItems(name, Qt::MatchExactly).value(0));
  }

  fs::path folder_;
  bool made_;
  tk_trace trace_;
  ora_test_home home_;
  std::optional<dunmarrow_convertor> converter_;
  std::unique_ptr<wizard_shell> shell_;
};

}  // namespace

TEST_F(TablesPage, ListsSortByCodeUnitsAndKeepRoomForALongName) {
  EXPECT_EQ(items(left()), QStringList({"BONUS", "Dept", "EMP", "_X", "a"}));
  EXPECT_EQ(left()->currentRow(), 0);
  EXPECT_FALSE(page().findChild<QPushButton*>("1114")->isHidden());
  const QString long_name(300, QChar('Q'));
  converter_->available_queries() = {{long_name.toStdU16String(), u"SELECT ID FROM EMP"},
                                     {u"Pay", u"SELECT 1 FROM EMP"}};
  shell_->jump_to(sel_tables_page::page_template);
  EXPECT_EQ(items(left()), QStringList({"BONUS", "Dept", "EMP", "Pay", long_name, "_X", "a"}));
  QApplication::processEvents();
  EXPECT_GT(left()->horizontalScrollBar()->maximum(), 0);
  // The right list widens for the long name and keeps the room once it left.
  select(left(), long_name);
  page().on_add();
  page().on_del_all();
  QApplication::processEvents();
  EXPECT_GE(right()->horizontal_extent(), right()->text_extent(long_name));
  EXPECT_GT(right()->horizontalScrollBar()->maximum(), 0);
}

TEST_F(TablesPage, MovesFollowTheSelectionRules) {
  page().on_add();  // BONUS, the first item
  EXPECT_EQ(items(right()), QStringList({"BONUS"}));
  EXPECT_EQ(left()->currentItem()->text(), "Dept");  // the same index
  select(left(), "a");
  emit left()->itemDoubleClicked(left()->currentItem());
  EXPECT_EQ(left()->currentItem()->text(), "_X");  // past the end: the last
  left()->clearSelection();
  page().findChild<QPushButton*>("1101")->click();  // nothing selected
  EXPECT_EQ(right()->count(), 2);
  page().findChild<QPushButton*>("1102")->click();
  EXPECT_EQ(left()->count(), 0);
  EXPECT_EQ(right()->currentRow(), 0);
  select(right(), "a");
  page().findChild<QPushButton*>("1111")->click();
  EXPECT_EQ(items(left()), QStringList({"a"}));
  EXPECT_EQ(right()->currentItem()->text(), "_X");
  page().findChild<QPushButton*>("1110")->click();
  EXPECT_EQ(right()->count(), 0);
  EXPECT_EQ(left()->currentRow(), 0);
  // Removing the last one selected hands the selection to the other side.
  page().on_add_all();
  while (right()->count() > 1) page().on_delete();
  page().on_delete();
  EXPECT_EQ(left()->count(), 5);
  EXPECT_EQ(left()->currentRow(), 0);
  // A plain table in the right list opens no editor on a double-click.
  page().on_add();
  modal_script any({[](QWidget* modal) { modal->close(); }});
  emit right()->itemDoubleClicked(right()->item(0));
  QApplication::processEvents();
  EXPECT_EQ(any.done(), 0u);
}

TEST_F(TablesPage, QueriesRefuseTakenNamesAndKeepTheirTextWhenMoved) {
  QString again_name, again_query, told;
  modal_script script({
      [](QWidget* m) {
        editor(m).name_edit()->setText("emp");
        editor(m).query_edit()->setPlainText("\n  select ENAME from EMP");
        editor(m).findChild<QPushButton*>("1")->click();
      },
      [&](QWidget* m) {
        told = static_cast<QMessageBox*>(m)->text();
        static_cast<QMessageBox*>(m)->button(QMessageBox::Ok)->click();
      },
      [&](QWidget* m) {
        again_name = editor(m).name_edit()->text();
        again_query = editor(m).query_edit()->toPlainText();
        editor(m).name_edit()->setText("Names");
        editor(m).findChild<QPushButton*>("1")->click();
      },
  });
  page().findChild<QPushButton*>("1114")->click();
  EXPECT_EQ(script.done(), 3u);
  EXPECT_EQ(told, "Duplicate table name. Try again.");
  EXPECT_EQ(again_name, "emp");
  EXPECT_EQ(again_query, "select ENAME from EMP");  // as stored: without the leading blanks
  EXPECT_EQ(items(right()), QStringList({"Names"}));
  const sel_tables_page::query_map names_only{{u"Names", u"select ENAME from EMP"}};
  EXPECT_EQ(page().selected_queries(), names_only);

  // Removed and added back: the text is the same.
  select(right(), "Names");
  page().on_delete();
  EXPECT_TRUE(page().selected_queries().empty());
  EXPECT_EQ(page().available_queries(), names_only);
  select(left(), "Names");
  page().on_add();
  EXPECT_EQ(page().selected_queries(), names_only);

  // Editing may give it a table's name.
  modal_script rename({[](QWidget* m) {
    EXPECT_EQ(editor(m).name_edit()->text(), "Names");
    editor(m).name_edit()->setText("emp");
    editor(m).findChild<QPushButton*>("1")->click();
  }});
  select(right(), "Names");
  emit right()->itemDoubleClicked(right()->currentItem());
  EXPECT_EQ(rename.done(), 1u);
  EXPECT_EQ(items(right()), QStringList({"emp"}));
  EXPECT_EQ(page().selected_queries().at(u"emp"), u"select ENAME from EMP");
}

TEST_F(TablesPage, NextStoresTheSelectionThatBackAndReturnShow) {
  {
    box_answerer no;  // the default button
    shell_->press_next();
    EXPECT_EQ(no.seen().text, "There are no tables selected. Continue anyway?");
    EXPECT_EQ(no.seen().default_button, QMessageBox::No);
  }
  EXPECT_EQ(shell_->active_page(), &page());
  converter_->selected_objects() = {{u"EMP", u""}, {u"Top", u"SELECT ID FROM EMP"}};
  converter_->available_queries() = {{u"Spare", u"SELECT ID FROM BONUS"}};
  shell_->jump_to(sel_tables_page::page_template);
  EXPECT_EQ(items(right()), QStringList({"EMP", "Top"}));
  EXPECT_EQ(items(left()), QStringList({"BONUS", "Dept", "Spare", "_X", "a"}));

  select(left(), "a");
  page().on_add();
  select(left(), "Spare");
  page().on_add();
  select(right(), "Top");
  page().on_delete();
  EXPECT_EQ(page().on_next(), 0);
  EXPECT_EQ(converter_->selected_tables(), (std::vector<std::u16string>{u"EMP", u"a"}));
  const sel_tables_page::query_map spare{{u"Spare", u"SELECT ID FROM BONUS"}};
  const sel_tables_page::query_map top{{u"Top", u"SELECT ID FROM EMP"}};
  EXPECT_EQ(converter_->selected_objects(), spare);
  EXPECT_EQ(converter_->available_queries(), top);

  // Changes left by Back are not kept.
  page().on_add_all();
  shell_->press_back();
  shell_->jump_to(sel_tables_page::page_template);
  EXPECT_EQ(items(right()), QStringList({"EMP", "Spare", "a"}));
  EXPECT_EQ(items(left()), QStringList({"BONUS", "Dept", "Top", "_X"}));
  EXPECT_EQ(page().selected_queries(), spare);
}

TEST_F(TablesPage, EditorChecksNameAndQueryBeforeClosing) {
  set_query_dlg dialog(u"", u"", &page());
  const auto ok_says = [&](const QString& name, const QString& query) {
    dialog.name_edit()->setText(name);
    dialog.query_edit()->setPlainText(query);
    const box_seen seen = box_of([&] { dialog.on_ok(); });
    return seen.shown ? seen.text : QStringLiteral("closed");
  };
  EXPECT_EQ(ok_says("", "SELECT 1"), "Table name is empty!");
  EXPECT_EQ(ok_says("T", ""), "Query is empty!");
  EXPECT_EQ(ok_says("T", " \t\r\n  "), "Query is empty!");
  EXPECT_EQ(ok_says("T", "WITH A AS (SELECT 1 FROM DUAL) SELECT * FROM A"), "The query must start with SELECT.");
  EXPECT_EQ(ok_says("T", "  SEL"), "The query must start with SELECT.");
  EXPECT_EQ(ok_says("T", "SELECT1"), "closed");
  EXPECT_EQ(ok_says("T", "\r\n\n   \tSeLeCt ID FROM EMP"), "closed");
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.query(), u"SeLeCt ID FROM EMP");
  EXPECT_EQ(dialog.name(), u"T");
  // What the list buffers can hold, and no more text than the edits read.
  dialog.name_edit()->setText(QString(400, QChar('n')));
  EXPECT_EQ(dialog.name_edit()->text().size(), set_query_dlg::max_name);
  dialog.query_edit()->setPlainText(QString(3000, QChar('x')));
  EXPECT_EQ(dialog.query_edit()->toPlainText().size(), set_query_dlg::max_text);
}

TEST_F(TablesPage, TestQueryTellsWhyOracleRefusedIt) {
  set_query_dlg dialog(u"", u"", &page());
  const auto test_says = [&](const QString& query) {
    dialog.query_edit()->setPlainText(query);
    return box_of([&] { dialog.test_button()->click(); });
  };
  const box_seen good = test_says("\n select ENAME from EMP");
  EXPECT_EQ(good.text, "The query is correct.");
  EXPECT_EQ(good.icon, QMessageBox::Information);
  const box_seen bad = test_says("SELECT SALARY FROM EMP");
  EXPECT_EQ(bad.icon, QMessageBox::Critical);
  EXPECT_TRUE(bad.text.startsWith(QString(syntax_message) + "\n")) << bad.text.toStdString();
  EXPECT_TRUE(bad.text.contains("ORA-00904")) << bad.text.toStdString();
  EXPECT_EQ(test_says("WITH A AS (SELECT 1 FROM DUAL) SELECT * FROM A").text, "The query must start with SELECT.");
  shell_->set_help_folder(QStringLiteral(DMW_SOURCE_DIR "/GUI2/help"));
  dialog.findChild<QPushButton*>("9")->click();
  ASSERT_NE(shell_->viewer(), nullptr);
  EXPECT_TRUE(shell_->viewer()->current_topic().endsWith("/query.html"));
}
#endif
