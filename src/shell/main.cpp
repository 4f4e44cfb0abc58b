// rowsmith: the desktop program.
#include <QApplication>
#include <QStringList>

#include "document/DdeChannel.h"
#include "document/PreferenceStore.h"
#include "pages/DatabaseTask.h"
#include "shell/MainWindow.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Rowsmith"));
  QApplication::setOrganizationName(QStringLiteral("Morvane Software"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/rowsmith.png")));

  rowsmith::gui::StartOptions options;
  options.arguments = QApplication::arguments().mid(1);
  const std::string service =
      rowsmith::DdeChannel::serviceName(QApplication::applicationFilePath().toStdString());
  options.ddeSocket = QString::fromStdString(rowsmith::DdeChannel::socketPath(service));

  rowsmith::PreferenceStore store;
  int status = 0;
  {
    rowsmith::gui::TForm1 window(store, options);
    window.show();
    status = QApplication::exec();
  }
  // Database work still under way ends before the application goes.
  rowsmith::gui::DatabaseTask::waitForAll();
  return status;
}
