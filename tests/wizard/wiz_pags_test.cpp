#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>

#include "GUI2/gui_fini.h"
#include "GUI2/wiz_imgs.h"
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
