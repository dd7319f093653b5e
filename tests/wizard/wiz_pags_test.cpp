#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <filesystem>
#include <unistd.h>

#include "GUI2/gui_fini.h"
#include "GUI2/wiz_imgs.h"
#include "common/dmw_conv.h"
#include "wizard/wiz_vers.h"
#include "wizard_util.h"

TEST(ProgressPosition, TablesThenRecordsWithinTheTable) {
  EXPECT_EQ(progress_position(4, 1, 1000, 500), 37u);  // 25 + 12
  EXPECT_EQ(progress_position(0, 0, 10, 5), 0u);       // only queries: stays at 0
  EXPECT_EQ(progress_position(3, 2, 0, 0), 66u);       // an empty table
  EXPECT_EQ(progress_position(1, 0, 3, 2), 66u);
  EXPECT_EQ(progress_position(2, 2, 0, 0), 100u);
}

TEST(FinishPage, SuccessTextWhenTheRunHadNoErrors) {
  auto shell = product_shell();
  shell->start();
  shell->jump_to(gui_finish_page::page_template);
  auto* finish = static_cast<gui_finish_page*>(shell->active_page());
  EXPECT_TRUE(finish->text_label()->text().startsWith("Wizard has converted your Oracle database"));
  EXPECT_TRUE(finish->error_box()->isHidden());
  EXPECT_EQ(finish->title_label()->text(), "Conversion is Completed");
  EXPECT_TRUE(finish->title_label()->font().bold());
}

TEST(FinishPage, ErrorsListedOnOneLineEachWithAnEmptyLineAfter) {
  auto shell = product_shell();
  shell->add_error("EMP: Invalid user name or password.");
  shell->add_error("DEPT, record #3: bad\nvalue");
  shell->start();
  shell->jump_to(gui_finish_page::page_template);
  auto* finish = static_cast<gui_finish_page*>(shell->active_page());
  EXPECT_EQ(finish->text_label()->text(),
            "There were some errors while converting the database.\nClick 'Finish' to exit the wizard.");
  EXPECT_FALSE(finish->error_box()->isHidden());
  EXPECT_TRUE(finish->error_box()->isReadOnly());
  EXPECT_EQ(finish->error_box()->toPlainText(),
            "EMP: Invalid user name or password.\n\nDEPT, record #3: bad value\n\n");
}

TEST(FinishPage, FirstFocusOnTheListGoesOnToFinishLaterFocusStays) {
  auto shell = product_shell();
  shell->add_error("EMP: bad");
  shell->show();
  shell->start();
  shell->activateWindow();
  ASSERT_TRUE(wait_until([&] { return shell->isActiveWindow(); }, 2000));
  shell->jump_to(gui_finish_page::page_template);
  auto* finish = static_cast<gui_finish_page*>(shell->active_page());
  QAbstractButton* finish_button = shell->sheet_button(wizard_shell::button::finish);
  finish->error_box()->setFocus();
  EXPECT_TRUE(wait_until([&] { return finish_button->hasFocus(); }, 2000))
      << (QApplication::focusWidget() ? QApplication::focusWidget()->metaObject()->className() : "none");
  finish->error_box()->setFocus();
  QApplication::processEvents();
  EXPECT_TRUE(finish->error_box()->hasFocus());
}

TEST(WizardImages, OurImagesRenderAtTheAskedSize) {
  for (int id : {501, 311, 312}) {
    const QSize natural = wizard_image_size(id);
    ASSERT_FALSE(natural.isEmpty()) << id;
    QPixmap pixmap = wizard_image(id, natural * 2);
    ASSERT_EQ(pixmap.size(), natural * 2);
    // Something was drawn over a good part of it.
    const QImage image = pixmap.toImage();
    int painted = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) painted += image.pixelColor(x, y).alpha() > 0;
    EXPECT_GT(painted * 4, image.width() * image.height()) << id;
  }
  EXPECT_TRUE(wizard_image(999, QSize(10, 10)).isNull());
  EXPECT_FALSE(wizard_icon().isNull());
}

TEST(GuiLibraryCheck, RunningQtMustNotBeOlderThanTheBuild) {
  EXPECT_EQ(gui_library_version("6.4.2"), 0x60004u);
  EXPECT_EQ(gui_library_version("garbage"), 0u);
  EXPECT_EQ(gui_library_version(nullptr), 0u);
  EXPECT_TRUE(gui_library_usable(0x60004, 0x60004));
  EXPECT_TRUE(gui_library_usable(0x60005, 0x60004));
  EXPECT_FALSE(gui_library_usable(0x60003, 0x60004));
  EXPECT_FALSE(gui_library_usable(0, 0x60004));
  EXPECT_TRUE(gui_library_usable(gui_library_version(qVersion()), (QT_VERSION_MAJOR << 16) | QT_VERSION_MINOR));
}

// The profile named on the command line fills the pages; one that cannot be
// read leaves the registry's last settings.
TEST(StartProfile, FillsThePagesAndAWrongPathKeepsTheLastSettings) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() / ("dmw_startprof_" + std::to_string(::getpid()));
  fs::create_directories(folder);
  ::setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
  const std::u16string profile = (folder / "sales.dmw").u16string();
  {
    dunmarrow_convertor saved(dmw_front_end::wizard);
    saved.store_oracle_settings(u"orahost", u"sales_admin", u"s3cret", u"1522");
    saved.set_source_name(u"SALES");
    saved.set_dest_name((folder / "sales.mdb").u16string());
    saved.set_destination_format(0);
    saved.set_skip_indexes(true);
    saved.store_profile_file(profile);
  }
  {
    dunmarrow_convertor last(dmw_front_end::wizard);  // what the registry keeps last
    last.store_oracle_settings(u"lasthost", u"scott", u"", u"1521");
    last.set_source_name(u"DEMO");
    last.set_destination_format(1);
    last.set_skip_indexes(false);
  }
  dunmarrow_convertor converter(dmw_front_end::wizard);
  load_start_profile(converter, {QString::fromStdU16String(profile + u".missing")});
  EXPECT_EQ(converter.oracle_host(), u"lasthost");
  EXPECT_EQ(converter.source_name(), u"DEMO");
  EXPECT_EQ(converter.destination_format(), 1);

  // A path with a blank arrives as two arguments.
  const fs::path spaced = folder / "my sales.dmw";
  fs::copy_file(fs::path(profile), spaced);
  const QStringList arguments = QString::fromStdString(spaced.string()).split(QLatin1Char(' '));
  load_start_profile(converter, arguments);
  auto shell = product_shell();
  shell->start();
  shell->jump_to(oracle_settings_page::page_template);
  auto* connection = static_cast<oracle_settings_page*>(shell->active_page());
  EXPECT_EQ(connection->server_edit()->text(), "orahost");
  EXPECT_EQ(connection->database_edit()->text(), "SALES");
  EXPECT_EQ(connection->port_edit()->text(), "1522");
  EXPECT_EQ(connection->user_edit()->text(), "sales_admin");
  EXPECT_EQ(connection->password_edit()->text(), "s3cret");
  shell->jump_to(sel_file_page::page_template);
  auto* settings = static_cast<sel_file_page*>(shell->active_page());
  EXPECT_EQ(settings->destination_edit()->text().toStdString(), (folder / "sales.mdb").string());
  EXPECT_EQ(settings->format_list()->currentIndex(), 0);
  EXPECT_TRUE(settings->skip_indexes_box()->isChecked());
  EXPECT_FALSE(settings->definitions_box()->isChecked());
  shell.reset();
  fs::remove_all(folder);
}
