// rowsmith: the desktop program.
#include <QApplication>
#include <QStringList>
#include <chrono>

#include "document/DdeChannel.h"
#include "document/PreferenceStore.h"
#include "engine/db/ProcessExit.h"
#include "pages/DatabaseTask.h"
#include "shell/MainWindow.h"

namespace {

// How long the program's exit waits for work on other threads that is stuck
// on a database.
constexpr std::chrono::seconds kExitWait{2};

}  // namespace

int main(int argc, char** argv) {
  int status = 0;
  {
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
    {
      // The window saves the settings, the placement, the recent files and
      // the next update check as it closes and as it is destroyed.
      rowsmith::gui::TForm1 window(store, options);
      window.show();
      status = QApplication::exec();
    }
    // Database work still under way ends before the application goes: it
    // hands its result to the application object. Work stuck on a database
    // that does not answer gets a moment, and then the process ends without
    // it: its result (samples, names, a check) was for the window, which is
    // gone.
    if (!rowsmith::gui::DatabaseTask::waitForAll(kExitWait))
      rowsmith::db::endProcessAtOnce(
          status, "Database work was still waiting for its database; ending without it.");
  }
  // Everything is saved and the application is gone (handing the clipboard
  // over as it goes). A connection test dropped with its dialog may still
  // be waiting for a database that does not answer: it gets a moment, and
  // then the process ends without it.
  return rowsmith::db::waitForProbesOrEndProcess(status, kExitWait);
}
