// Renders each page of the sheet and each of its dialogs, at fixed sizes, to
// FOLDER/NN-name.png, for looking at them without a desktop, and the pages a
// user goes through side by side in FOLDER/overview.png.
// usage: dmwwiz_screens FOLDER [HELP_FOLDER]
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <cstdio>

#include "GUI2/dlg_err.h"
#include "GUI2/gui_fini.h"
#include "GUI2/wiz_help.h"
#include "GUI2/wiz_page.h"
#include "GUI2/wiz_shel.h"
#include "TK/tk_trace.h"
#include "common/err_hand.h"
#include "common/err_text.h"
#include "wizard/wiz_ovrd.h"
#include "wizard/wiz_pags.h"
#include "wizard/wiz_qdlg.h"
#include "wizard/wiz_tabl.h"
#include "wizard/wiz_wait.h"

namespace {
int written = 0;
QMap<QString, QImage> pictures;  // by name, for the overview

bool write_png(const QImage& image, const QString& file) {
  if (!image.save(file)) {
    std::fprintf(stderr, "dmwwiz_screens: cannot write %s\n", file.toLocal8Bit().constData());
    return false;
  }
  std::printf("%s\n", file.toLocal8Bit().constData());
  return true;
}

bool save(QApplication& application, QWidget& widget, const QDir& folder, const char* name) {
  application.processEvents();
  const QImage image = widget.grab().toImage();
  pictures.insert(QString::fromLatin1(name), image);
  return write_png(image, folder.filePath(QString::asprintf("%02d-%s.png", ++written, name)));
}

// The pages a user goes through, half size, three to a row, in
// FOLDER/overview.png (the picture README shows).
bool save_overview(const QDir& folder) {
  const char* names[] = {"welcome", "connection-filled", "settings-filled",
                         "tables-selected", "progress-running", "finish-errors"};
  const QSize cell(320, 240);
  const int gap = 8;
  QImage sheet(3 * cell.width() + 4 * gap, 2 * cell.height() + 3 * gap, QImage::Format_RGB32);
  sheet.fill(QColor(0x80, 0x80, 0x80));
  QPainter painter(&sheet);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  for (int i = 0; i < 6; ++i) {
    const QImage page = pictures.value(QString::fromLatin1(names[i]));
    if (page.isNull()) return false;
    const QPoint at(gap + (i % 3) * (cell.width() + gap), gap + (i / 3) * (cell.height() + gap));
    painter.drawImage(QRect(at, cell), page.scaled(cell, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
  }
  painter.end();
  return write_png(sheet, folder.filePath(QStringLiteral("overview.png")));
}
}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: dmwwiz_screens FOLDER [HELP_FOLDER]\n");
    return 2;
  }
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  tk_trace log("", false, 3, false);
  error_handler handler(dmw_oracle_error_text_count, dmw_oracle_error_texts);
  wizard_shell shell(wizard_title(), wizard_shell::icon_id, wizard_shell::watermark_id,
                     wizard_shell::header_id);
  if (argc > 2) shell.set_help_folder(QString::fromLocal8Bit(argv[2]));
  add_wizard_pages(shell);
  shell.resize(640, 480);
  shell.start();
  shell.show();
  const char* names[] = {"welcome", "connection", "settings", "tables", "progress", "finish"};
  int n = 0;
  for (wizard_page* page : shell.pages()) {
    shell.jump_to(page->template_id());
    if (!save(application, shell, folder, names[n++])) return 1;
  }

  // The connection page as a user fills it, and its wait box over the sheet.
  auto* connection = static_cast<oracle_settings_page*>(shell.page_by_template(oracle_settings_page::page_template));
  shell.jump_to(oracle_settings_page::page_template);
  // The finish page shown last turned these two off; a user here has them.
  shell.enable_button(wizard_shell::button::cancel, true);
  shell.enable_button(wizard_shell::button::help, true);
  connection->server_edit()->setText(QStringLiteral("orasrv01.kestrova.local"));
  connection->database_edit()->setText(QStringLiteral("SALES"));
  connection->port_edit()->setText(QStringLiteral("1521"));
  connection->user_edit()->setText(QStringLiteral("scott"));
  connection->password_edit()->setText(QStringLiteral("tiger"));
  if (!save(application, shell, folder, "connection-filled")) return 1;
  {
    connection_wait_box wait(&shell);
    wait.show();
    if (!save(application, wait, folder, "connection-wait")) return 1;
    wait.done(QDialog::Rejected);
  }

  // The settings page as a user leaves it, and the question its Next asks
  // when the file is there already.
  auto* settings = static_cast<sel_file_page*>(shell.page_by_template(sel_file_page::page_template));
  shell.jump_to(sel_file_page::page_template);
  // The finish page shown last turned these two off; a user here has them.
  shell.enable_button(wizard_shell::button::cancel, true);
  shell.enable_button(wizard_shell::button::help, true);
  settings->destination_edit()->setText(QStringLiteral("/home/anna/exports/ORCL.mdb"));
  settings->format_list()->setCurrentIndex(1);
  settings->skip_indexes_box()->setChecked(true);
  if (!save(application, shell, folder, "settings-filled")) return 1;
  {
    overwrite_dlg2 existing(sel_file_page::existing_help_context,
                            QStringLiteral("The destination database already exists. Select one of the\n"
                                           "options below. Click 'Help' button for more information."),
                            &shell);
    existing.show();
    if (!save(application, existing, folder, "existing-destination")) return 1;
  }

  // The progress page part-way through a run (the worked example: 37).
  auto* progress = static_cast<progress_page*>(shell.page_by_template(progress_page::page_template));
  shell.jump_to(progress_page::page_template);
  shell.set_wizard_buttons(false, false, false);
  // As during a run: the finish page shown last turned these two off.
  shell.enable_button(wizard_shell::button::cancel, true);
  shell.enable_button(wizard_shell::button::help, true);
  progress->bar()->setValue(static_cast<int>(progress_position(4, 1, 1000, 500)));
  progress->object_line()->setText(QStringLiteral("Processing table 'EMPLOYEES'"));
  if (!save(application, shell, folder, "progress-running")) return 1;

  // The finish page after a run with errors.
  shell.add_error("EMP, record #3: Duplicate field values being used for an unique index were found. "
                  "See 'Troubleshooting' article of the product documentation for solution.");
  shell.add_error("DEPT: ORA-00942: table or view does not exist");
  shell.add_error("BONUS, record #12: Field 'COMM' left empty: the record is too large.");
  shell.jump_to(gui_finish_page::page_template);
  if (!save(application, shell, folder, "finish-errors")) return 1;

  // The tables page with a few tables and a query on each side.
  auto* tables = static_cast<sel_tables_page*>(shell.page_by_template(sel_tables_page::page_template));
  shell.jump_to(sel_tables_page::page_template);
  shell.enable_button(wizard_shell::button::cancel, true);
  shell.enable_button(wizard_shell::button::help, true);
  tables->fill({u"BONUS", u"CUSTOMERS", u"DEPT", u"EMP", u"ORDER_ITEMS", u"ORDERS", u"PRODUCT_DESCRIPTIONS",
                u"SALGRADE"},
               {u"DEPT", u"EMP"},
               {{u"Staff by department", u"SELECT D.DNAME, E.ENAME FROM DEPT D, EMP E"}},
               {{u"Yearly pay", u"SELECT ENAME, SAL * 12 AS YEARLY FROM EMP"}});
  if (!save(application, shell, folder, "tables-selected")) return 1;

  set_query_dlg editor(u"Staff by department",
                       u"SELECT D.DNAME, E.ENAME, E.JOB, E.SAL\n"
                       u"  FROM DEPT D, EMP E\n"
                       u" WHERE E.DEPTNO = D.DEPTNO\n"
                       u" ORDER BY D.DNAME, E.ENAME",
                       tables);
  editor.show();
  if (!save(application, editor, folder, "query-editor")) return 1;
  editor.hide();

  QMessageBox question(QMessageBox::Question, wizard_title() + " Question",
                       QStringLiteral("Are you sure you want to exit the wizard?"),
                       QMessageBox::Yes | QMessageBox::No, &shell);
  question.setDefaultButton(QMessageBox::No);
  question.show();
  if (!save(application, question, folder, "cancel-question")) return 1;
  question.hide();

  dlg_error_continue ask(u"EMP, record #3: Duplicate field values being used for an unique index were found.\n"
                         u"See 'Troubleshooting' article of the product documentation\nfor solution.",
                         &shell);
  ask.show();
  if (!save(application, ask, folder, "error-continue")) return 1;
  ask.hide();

  dlg_error_ex internal("Internal error: \ncode=646d775f636f6e765c313432", &shell);
  internal.show();
  if (!save(application, internal, folder, "error-internal")) return 1;
  internal.hide();

  shell.jump_to(oracle_settings_page::page_template);
  shell.display_help(1001);
  if (help_viewer* viewer = shell.viewer()) {
    if (!save(application, *viewer, folder, "help")) return 1;
  }
  return save_overview(folder) ? 0 : 1;
}
