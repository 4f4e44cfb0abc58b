// rowsmith-screenshots FOLDER: renders the desktop program's windows with
// the demo job open to PNG files, so that a person can look at every page
// without a display (make screenshots).
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <cstdio>

#include "ConnectionScreenshots.h"
#include "EditorScreenshots.h"
#include "SupportScreenshots.h"
#include "document/PreferenceStore.h"
#include "engine/KeptValuesNotice.h"
#include "pages/SampleCommands.h"
#include "shell/DocumentCommands.h"
#include "shell/MainWindow.h"
#include "shell/QtDialogService.h"
#include "shell/StatusForm.h"
#include "support/ui/HelpBrowser.h"
#include "support/ui/HelpContexts.h"
#include "support/ui/HelpDispatch.h"

namespace {

using rowsmith::gui::DialogService;
using rowsmith::gui::TForm1;

QString g_folder;

void save(QWidget& widget, const QString& name) {
  const QString path = QDir(g_folder).filePath(name);
  if (!widget.grab().save(path)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
  std::printf("%s\n", qPrintable(path));
}

void renderMainWindow(TForm1& window, const QString& suffix) {
  const char* pages[] = {"page-1-query",   "page-2-sample", "page-3-transforms",
                         "page-4-preview", "page-5-go",     "options"};
  for (int i = 0; i < 6; ++i) {
    window.pageControl()->setCurrentIndex(i);
    window.PageControlChange();
    save(window, QString::fromLatin1(pages[i]) + suffix + QStringLiteral(".png"));
  }
  window.pageControl()->setCurrentIndex(0);
}

void renderBox(QWidget* parent, DialogService::Kind kind, const QString& caption,
               const QString& text, const QString& name) {
  auto box = rowsmith::gui::QtDialogService::createMessageBox(parent, kind, caption, text);
  box->show();
  save(*box, name);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: rowsmith-screenshots FOLDER\n");
    return 2;
  }
  g_folder = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(g_folder);

  // A store and language file of their own, and a fresh copy of the demo database.
  QTemporaryDir scratch;
  rowsmith::PreferenceStore store(
      std::filesystem::path(scratch.filePath(QStringLiteral("config")).toStdString()));
  const QString database = scratch.filePath(QStringLiteral("demo.sqlite"));
  QFile::copy(QStringLiteral(ROWSMITH_SOURCE_DIR "/examples/demo.sqlite"), database);

  rowsmith::gui::StartOptions options;
  options.languageFile = scratch.filePath(QStringLiteral("Languages/English.ini"));
  QDir().mkpath(scratch.filePath(QStringLiteral("Languages")));
  QFile::copy(QStringLiteral(ROWSMITH_SOURCE_DIR "/resources/Languages/English.ini"),
              options.languageFile);
  TForm1 window(store, options);
  window.show();
  window.document().openFile(ROWSMITH_SOURCE_DIR "/examples/demo.rsm");
  window.document().settings().dataSource = "Provider=SQLite;Data Source=" + database.toStdString();
  window.document().settingsToControls();

  // The sample rows and the preview of changes, as the demo job gives them.
  QSignalSpy done(&window.sampleCommands(), &rowsmith::gui::SampleCommands::finished);
  window.sampleCommands().execute();
  done.wait(20000);
  window.sampleCommands().startTestClick();

  renderMainWindow(window, QString());
  window.resize(820, 560);
  renderMainWindow(window, QStringLiteral("-large"));
  window.resize(TForm1::kDesignWidth, TForm1::kDesignHeight);

  renderBox(&window, DialogService::Kind::Confirmation, QStringLiteral("Confirm"),
            QStringLiteral("Save current settings?"), QStringLiteral("save-prompt.png"));
  renderBox(&window, DialogService::Kind::Error, window.windowTitle(),
            QStringLiteral("Cannot open file /home/me/jobs/missing.rsm."),
            QStringLiteral("error-box.png"));

  {
    rowsmith::gui::TTstatusForm running;
    running.show();
    running.showStatus(QStringLiteral("Processing row 1234 of 5000 (24%)"));
    running.showProgress(24);
    running.rateText()->setText(QStringLiteral("2468 rows/s, about 2 s left"));
    save(running, QStringLiteral("progress-running.png"));
    running.showStatus(QStringLiteral("Complete. 5000 rows processed."));
    running.showProgress(100);
    running.showJournal(QStringLiteral("/home/me/jobs/move.20261211-093000.journal"), 5000);
    running.setFinished();
    // Its clock runs from the worker's attaching, which this window never saw.
    running.rateText()->setText(QStringLiteral("2468 rows/s, took 2 s"));
    save(running, QStringLiteral("progress-done.png"));
    running.showNotice(QString::fromStdString(
        rowsmith::keptValuesNotice(3, "option_value", "/home/me/filters/move-site.fll")));
    save(running, QStringLiteral("progress-notice.png"));
  }

  rowsmith::gui_test::renderConnectionScreenshots(g_folder);
  for (const char* name :
       {"connection-source.png", "connection-builder.png", "connection-builder-mysql.png"})
    std::printf("%s\n", qPrintable(QDir(g_folder).filePath(QLatin1String(name))));

  rowsmith::gui::HelpDispatch::ShowHelpContext(rowsmith::gui::HelpContexts::kQueryPage);
  save(*rowsmith::gui::HelpDispatch::browser(), QStringLiteral("help.png"));

  renderSupportScreenshots(g_folder);
  renderEditorScreenshots(g_folder);
  return 0;
}
