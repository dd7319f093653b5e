// The conversion-settings page and the existing-destination dialog, with a
// wizard converter and our Access engine behind them.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <filesystem>
#include <fstream>
#include <optional>
#include <unistd.h>

#include "DAO/dao_engi.h"
#include "GUI2/wiz_help.h"
#include "common/dmw_conv.h"
#include "common/err_hand.h"
#include "common/err_text.h"
#include "jet/dao/register.h"
#include "wizard/wiz_ovrd.h"
#include "wizard_util.h"

namespace fs = std::filesystem;

namespace {

class SettingsPage : public ::testing::Test {
 protected:
  SettingsPage()
      : folder_(fs::temp_directory_path() / ("dmw_wizfile_" + std::to_string(::getpid()))),
        made_(fs::create_directories(folder_)),
        handler_(dmw_oracle_error_text_count, dmw_oracle_error_texts) {
    handler_.load_err_map(dmw_access_error_text_count, dmw_access_error_texts);
    ::setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
    jet_register_dao_engine();
    converter_.emplace(dmw_front_end::wizard);
    converter_->set_dest_name(u"");
    shell_ = product_shell();
    shell_->show();
    shell_->start();
    shell_->jump_to(sel_file_page::page_template);
  }
  ~SettingsPage() override {
    shell_.reset();
    converter_.reset();
    fs::remove_all(folder_);
  }

  sel_file_page& page() { return *static_cast<sel_file_page*>(shell_->page_by_template(sel_file_page::page_template)); }
  // Types the destination and presses Next; the page's answer, and what the
  // one message box it showed said (none when it showed none).
  int next_with(const fs::path& destination, box_seen* seen = nullptr) {
    page().destination_edit()->setText(QString::fromStdString(destination.string()));
    if (!seen) return page().on_next();
    box_answerer answer;
    const int result = page().on_next();
    *seen = answer.seen();
    return result;
  }
  // Next on an existing file, answering the dialog with `answer`.
  int next_answering(const fs::path& destination, const std::function<void(overwrite_dlg2&)>& answer) {
    page().destination_edit()->setText(QString::fromStdString(destination.string()));
    dialog_answerer dialog([&](QWidget* modal) {
      auto* shown = qobject_cast<overwrite_dlg2*>(modal);
      ASSERT_NE(shown, nullptr);
      answer(*shown);
    });
    const int result = page().on_next();
    EXPECT_EQ(dialog.answered(), 1);
    return result;
  }
  fs::path make_mdb(const char* name) {
    const fs::path file = folder_ / name;
    dao_engine engine(false);
    engine.set_version(dao_engine::access_2000);
    engine.create_db(file.u16string());
    return file;
  }
  fs::path make_text(const char* name) {
    const fs::path file = folder_ / name;
    std::ofstream(file) << "not a database\n";
    return file;
  }

  fs::path folder_;
  bool made_;
  error_handler handler_;
  std::optional<dunmarrow_convertor> converter_;
  std::unique_ptr<wizard_shell> shell_;
};

}  // namespace

TEST_F(SettingsPage, BadDestinationsAreRefusedWithTheirMessages) {
  box_seen seen;
  EXPECT_EQ(next_with("", &seen), -1);
  EXPECT_EQ(seen.text, "You should enter MS Access database name");
  EXPECT_EQ(seen.icon, QMessageBox::Information);

  const fs::path read_only = make_text("ro.mdb");
  fs::permissions(read_only, fs::perms::owner_read);
  const std::pair<fs::path, const char*> refused[] = {
      {folder_, "Destination name should specify a file, not folder."},
      {read_only, "Destination name specifies an existing read-only file."},
      {folder_ / "missing" / "out.mdb", "Destination path does not exist.\nPlease verify the correct path was given."},
  };
  for (const auto& [path, message] : refused) {
    EXPECT_EQ(next_with(path, &seen), -1) << path;
    EXPECT_EQ(seen.text, message);
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(seen.caption, wizard_title() + " Error");
  }
  // What was typed is kept even when refused.
  EXPECT_EQ(converter_->dest_name(), (folder_ / "missing" / "out.mdb").u16string());
}

TEST_F(SettingsPage, DestinationIsShownAbsoluteWithTheMdbExtension) {
  EXPECT_EQ(page().destination_edit()->text(), "");  // neither a destination nor a database name
  page().destination_edit()->setText("/tmp/x/out");
  EXPECT_EQ(page().on_back(), 0);
  shell_->jump_to(sel_file_page::page_template);
  EXPECT_EQ(page().destination_edit()->text(), "/tmp/x/out.mdb");
  EXPECT_EQ(completed_destination(u"/tmp/x/out.txt"), u"/tmp/x/out.mdb");
  EXPECT_EQ(completed_destination(u"out"), fs::current_path().u16string() + u"/out.mdb");
}

TEST_F(SettingsPage, FormatAndOptionsGoBothWays) {
  converter_->set_destination_format(0);
  converter_->set_only_definitions(true);
  converter_->set_skip_indexes(false);
  shell_->jump_to(sel_file_page::page_template);
  QComboBox* format = page().format_list();
  ASSERT_EQ(format->count(), 2);  // filled once, however often the page shows
  EXPECT_EQ(format->itemText(0), "MS Access 95/97");
  EXPECT_EQ(format->itemText(1), "MS Access 2000");
  EXPECT_EQ(format->currentIndex(), 0);
  EXPECT_TRUE(page().definitions_box()->isChecked());
  EXPECT_FALSE(page().skip_indexes_box()->isChecked());

  format->setCurrentIndex(1);
  page().definitions_box()->click();
  page().skip_indexes_box()->click();
  page().on_back();
  EXPECT_EQ(converter_->destination_format(), 1);
  EXPECT_FALSE(converter_->only_definitions());
  EXPECT_TRUE(converter_->skip_indexes());
}

TEST_F(SettingsPage, BrowseOffersTheSaveDialogAndAddsTheExtension) {
  page().destination_edit()->setText(QString::fromStdString((folder_ / "first.mdb").string()));
  dialog_answerer answer([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Select destination MS Access database");
    EXPECT_EQ(dialog->nameFilters().value(0), "MS Access Databases (.mdb) (*.mdb)");
    dialog->selectFile(QString::fromStdString((folder_ / "picked").string()));
    static_cast<QDialog*>(dialog)->accept();
  });
  page().browse_button()->click();
  EXPECT_EQ(page().destination_edit()->text().toStdString(), (folder_ / "picked.mdb").string());
}

TEST_F(SettingsPage, EachChoiceForAnExistingFileSetsItsMode) {
  shell_->set_help_folder(QStringLiteral(DMW_SOURCE_DIR "/GUI2/help"));
  const fs::path mdb = make_mdb("old.mdb");
  const auto size = fs::file_size(mdb);
  for (int mode : {3, 2, 1, 0}) {
    EXPECT_EQ(next_answering(mdb, [&](overwrite_dlg2& dialog) {
                EXPECT_EQ(dialog.windowTitle(), wizard_title() + " Warning");
                EXPECT_EQ(dialog.findChild<QLabel*>("1320")->text(),
                          "The destination database already exists. Select one of the\n"
                          "options below. Click 'Help' button for more information.");
                EXPECT_TRUE(dialog.findChild<QRadioButton*>("1329")->isChecked());
                if (mode == 1) {
                  dialog.help_button()->click();
                  EXPECT_TRUE(shell_->viewer()->current_topic().endsWith("/existing.html"));
                }
                dialog.findChild<QRadioButton*>(QString::number(1329 + mode))->click();
                dialog.ok_button()->click();
              }),
              0);
    EXPECT_EQ(converter_->mode(), mode);
    // No choice touches the file before the run; mode 0 replaces it only then.
    EXPECT_EQ(fs::file_size(mdb), size);
  }
  // The checks leave no lock or build file behind.
  for (const auto& entry : fs::directory_iterator(folder_))
    EXPECT_TRUE(entry.path() == mdb || entry.path().filename() == "config") << entry.path();

  // Cancel: the user stays, the mode and the file as they were.
  converter_->set_mode(2);
  EXPECT_EQ(next_answering(mdb, [](overwrite_dlg2& dialog) {
              dialog.findChild<QRadioButton*>("1332")->click();
              dialog.cancel_button()->click();
            }),
            -1);
  EXPECT_EQ(converter_->mode(), 2);
  EXPECT_EQ(fs::file_size(mdb), size);
}

TEST_F(SettingsPage, WritingIntoAFileNeedsAnAccessFile) {
  const fs::path text = make_text("notes.mdb");
  converter_->set_mode(0);
  for (int mode : {1, 2, 3}) {
    box_answerer error;
    EXPECT_EQ(next_answering(text, [&](overwrite_dlg2& dialog) {
                dialog.mode_button(mode)->click();
                dialog.ok_button()->click();
              }),
              -1);
    EXPECT_EQ(error.seen().text.toStdString(), "File '" + text.string() + "' does not comply with MS Access format.");
    EXPECT_EQ(error.seen().icon, QMessageBox::Critical);
    EXPECT_EQ(converter_->mode(), 0);
  }
  // A file that only starts like one is no better.
  const fs::path posing = folder_ / "posing.mdb";
  std::string header(4096, '\0');
  header[20] = 1;
  std::ofstream(posing, std::ios::binary) << header;
  {
    box_answerer error;
    EXPECT_EQ(next_answering(posing, [](overwrite_dlg2& dialog) {
                dialog.mode_button(3)->click();
                dialog.ok_button()->click();
              }),
              -1);
    EXPECT_EQ(error.seen().icon, QMessageBox::Critical);
    EXPECT_EQ(converter_->mode(), 0);
  }
  // Mode 0 replaces it after the run: accepted, and left in place until then.
  converter_->set_mode(1);
  EXPECT_EQ(next_answering(text, [](overwrite_dlg2& dialog) { dialog.ok_button()->click(); }), 0);
  EXPECT_EQ(converter_->mode(), 0);
  EXPECT_TRUE(fs::exists(text));
}

TEST_F(SettingsPage, ANewFileKeepsTheModeAndIsNotAsked) {
  converter_->set_mode(3);
  // A dialog that should not have opened is closed, failing the test rather than hanging it.
  QTimer::singleShot(500, &page(), [] {
    if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
  });
  EXPECT_EQ(next_with(folder_ / "new.mdb"), 0);
  EXPECT_EQ(converter_->mode(), 3);
  EXPECT_FALSE(fs::exists(folder_ / "new.mdb"));
}
