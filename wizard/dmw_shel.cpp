// DMWWIZ: the interactive wizard. Its one argument, when given, is a profile
// file to start from.
#include <QApplication>
#include <QMessageBox>
#include <QByteArray>
#include <clocale>
#include <optional>
#include <string>

#include "GUI2/wiz_shel.h"
#include "TK/tk_conv.h"
#include "TK/tk_trace.h"
#include "common/dmw_conv.h"
#include "common/err_hand.h"
#include "common/err_text.h"
#include "jet/dao/register.h"
#include "wizard/wiz_pags.h"
#include "wizard/wiz_vers.h"

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  QApplication application(argc, argv);
  jet_register_dao_engine();

  tk_trace log("", false, 3, false);
  error_handler handler(dmw_oracle_error_text_count, dmw_oracle_error_texts);
  handler.load_err_map(dmw_access_error_text_count, dmw_access_error_texts);

  const uint32_t running = gui_library_version(qVersion());
  trace(1, "Qt version=%X", running);
  if (!gui_library_usable(running, (QT_VERSION_MAJOR << 16) | QT_VERSION_MINOR)) {
    QMessageBox::critical(nullptr, QStringLiteral("Error"), QString::fromLatin1(gui_library_message));
    return -1;
  }

  int result = 0;
  {
    dunmarrow_convertor converter(dmw_front_end::wizard);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    load_start_profile(converter, arguments);

    wizard_shell shell(wizard_title(), wizard_shell::icon_id, wizard_shell::watermark_id,
                       wizard_shell::header_id);
    add_wizard_pages(shell);
    shell.start();
    result = shell.exec();
  }
  return result;
}
