#include "GUI2/wiz_help.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

QString help_topic_file(int context) {
  switch (context) {
    case 1001: return QStringLiteral("connect.html");
    case 1002: return QStringLiteral("settings.html");
    case 1003: return QStringLiteral("welcome.html");
    case 1005: return QStringLiteral("tables.html");
    case 1012: return QStringLiteral("existing.html");
    case 1017: return QStringLiteral("listener.html");
    case 1025: return QStringLiteral("query.html");
    default: return QStringLiteral("index.html");
  }
}

help_viewer::help_viewer(QWidget* owner) : QDialog(owner), browser_(new QTextBrowser(this)) {
  setWindowTitle(tr("Dunmarrow Help"));
  setModal(false);
  browser_->setOpenExternalLinks(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(browser_);
  layout->addWidget(buttons);
  resize(560, 480);
}

void help_viewer::show_topic(const QString& path) {
  browser_->setSource(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
  show();
  raise();
  activateWindow();
}

QString help_viewer::current_topic() const { return browser_->source().toLocalFile(); }
