// Renders each page of the sheet, at a fixed size, to FOLDER/NN-name.png.
// usage: dmwwiz_screens FOLDER
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <cstdio>

#include "GUI2/wiz_page.h"
#include "GUI2/wiz_shel.h"
#include "TK/tk_trace.h"
#include "common/err_hand.h"
#include "common/err_text.h"
#include "wizard/wiz_pags.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: dmwwiz_screens FOLDER\n");
    return 2;
  }
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  tk_trace log("", false, 3, false);
  error_handler handler(dmw_oracle_error_text_count, dmw_oracle_error_texts);
  wizard_shell shell(wizard_title(), wizard_shell::icon_id, wizard_shell::watermark_id,
                     wizard_shell::header_id);
  add_wizard_pages(shell);
  shell.resize(640, 480);
  shell.start();
  shell.show();
  const char* names[] = {"welcome", "connection", "settings", "tables", "progress", "finish"};
  int n = 0;
  for (wizard_page* page : shell.pages()) {
    shell.jump_to(page->template_id());
    application.processEvents();
    const QString file = folder.filePath(QString::asprintf("%02d-%s.png", n + 1, names[n]));
    if (!shell.grab().save(file)) {
      std::fprintf(stderr, "dmwwiz_screens: cannot write %s\n", file.toLocal8Bit().constData());
      return 1;
    }
    std::printf("%s\n", file.toLocal8Bit().constData());
    ++n;
  }
  return 0;
}
