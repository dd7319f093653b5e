#pragma once
// The wizard's help: HTML topics of our own in a dmwwiz-help folder, one per
// help context, shown in a window of the program.
#include <QDialog>
#include <QString>

class QTextBrowser;

// The topic file of a context id (1001 connection, 1002 conversion settings,
// 1003 welcome, 1005 table selection, 1012 an existing destination, 1017
// the Oracle listener and host, 1025 the query editor); 0 and unknown ids
// give the default topic.
QString help_topic_file(int context);

class help_viewer : public QDialog {
  Q_OBJECT
 public:
  explicit help_viewer(QWidget* owner);
  // Shows the topic file and raises the window.
  void show_topic(const QString& path);
  QString current_topic() const;

 private:
  QTextBrowser* browser_;
};
