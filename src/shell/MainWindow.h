#pragma once

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <string>

#include "document/RecentStrings.h"
#include "shell/ComponentOwner.h"
#include "shell/DdeServer.h"
#include "support/ui/UpdateForm.h"

class QPushButton;
class QTabWidget;

namespace rowsmith {
class PreferenceStore;
class TStringLoader;
class UpdateCheck;
namespace wordmill {
class FilterApplication;
}
}  // namespace rowsmith

namespace rowsmith::gui {

class DocumentCommands;
class FileDialogComponent;
class GoPage;
class MainMenus;
class OptionsPage;
class PreviewPage;
class QueryPage;
class RecentFilesMenu;
class SampleCommands;
class SamplePage;
class TransformCommands;
class TFormInfo;
class TransformsPage;

// How the program was started.
struct StartOptions {
  // The command-line arguments after the program's path.
  QStringList arguments;
  // The language file; empty for Languages/English.ini among the program's
  // shipped files.
  QString languageFile;
  // The socket on which other programs reach this one; nothing for none.
  std::optional<QString> ddeSocket;
};

// The main window (TForm1): a five-page wizard over one job, with Back,
// Next, Go and Exit below the pages, a menu, a tool bar and a status bar
// that shows the hint of the control under the mouse.
//
// It owns the current job (DocumentCommands), the recent-files and
// filter-file lists, the language file while it is open, the filter server
// object, the window placement and the local request channel. Start-up runs
// in two halves: the constructor (FormCreate) and afterCreate, which the
// event loop runs once the window is up.
//
// Threading: UI thread only.
class TForm1 : public QMainWindow, public ComponentOwner {
  Q_OBJECT

 public:
  static constexpr int kDesignWidth = 479;
  static constexpr int kDesignHeight = 366;
  enum Page { QueryIndex, SampleIndex, TransformsIndex, PreviewIndex, GoIndex, OptionsIndex };

  TForm1(PreferenceStore& store, StartOptions options, QWidget* parent = nullptr);
  ~TForm1() override;

  QString componentClassName() const override { return QStringLiteral("TForm1"); }
  QList<QObject*> ownedComponents() const override;

  DocumentCommands& document() const { return *m_document; }
  MainMenus& menus() const { return *m_menus; }
  QTabWidget* pageControl() const { return m_pageControl; }
  QueryPage* queryPage() const { return m_queryPage; }
  SamplePage* samplePage() const { return m_samplePage; }
  TransformsPage* transformsPage() const { return m_transformsPage; }
  PreviewPage* previewPage() const { return m_previewPage; }
  GoPage* goPage() const { return m_goPage; }
  QPushButton* prevButton() const { return m_prevButton; }
  QPushButton* nextButton() const { return m_nextButton; }
  QPushButton* goButton() const { return m_goButton; }
  QPushButton* exitButton() const { return m_bitBtn1; }
  FileDialogComponent* browseFilter() const { return m_browseFilter; }
  TRecentStrings& recentFiles() { return m_recentFiles; }
  TRecentStrings& filterFiles() { return m_filterFiles; }
  PreferenceStore& store() const { return m_store; }
  UpdateCheck& updateCheck() const { return *m_updateCheck; }
  // The update dialog while one exists, hidden or shown.
  TupdateForm* updateForm() const { return m_updateForm.data(); }
  wordmill::FilterApplication* filterServer() const { return m_filterServer.get(); }
  bool isDdeListening() const;

  // Start-up's second half: the filter server, the command line, the
  // update check. An error ends it at that point.
  void afterCreate();
  void processCommandLine();
  void startFilterServer();
  // Tools, "Show Wordmill Pro": shows the filter server's window.
  void ShowWordmillPro1Click();
  // One execute request from another program; answers whether it was
  // processed, with the message shown when it was not.
  DdeServer::Reply RowsmithDDEExecuteMacro(const std::string& text);

  // Checks the job and its filters and starts a run with its own progress
  // window; no question is asked and several runs may go on at once.
  void goButtonClick();
  void refreshButtonClick();
  SampleCommands& sampleCommands() const { return *m_sampleCommands; }
  TransformCommands& transformCommands() const { return *m_transformCommands; }
  void showPage(int index);
  // Help menu: the update dialog (modeless) and the About box (modal).
  void CheckWebForUpdates1Click();
  void About1Click();

  void prevButtonClick();
  void nextButtonClick();
  void PageControlChange();
  // The title, page and modified flag as the state query reports them.
  std::string stateText() const;

 signals:
  // afterCreate has run (whether or not it ended with an error).
  void started();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void buildFrame();
  void connectCommands();
  void FormCreate();
  bool FormCloseQuery();
  void FormClose();
  void FormDestroy();
  void processListFile(const std::string& path);
  void processParameter(const std::string& text, bool fromListFile);
  DdeServer::Reply answerRequest(char kind, const std::string& payload);
  void loadNextCheckDate();
  void saveNextCheckDate();
  // Asks the update server with a hidden dialog when the next check is due.
  void startupUpdateCheck();

  PreferenceStore& m_store;
  StartOptions m_options;
  QList<QObject*> m_components;
  QTabWidget* m_pageControl = nullptr;
  QueryPage* m_queryPage = nullptr;
  SamplePage* m_samplePage = nullptr;
  TransformsPage* m_transformsPage = nullptr;
  PreviewPage* m_previewPage = nullptr;
  GoPage* m_goPage = nullptr;
  OptionsPage* m_optionsPage = nullptr;
  QPushButton* m_goButton = nullptr;
  QPushButton* m_prevButton = nullptr;
  QPushButton* m_nextButton = nullptr;
  QPushButton* m_bitBtn1 = nullptr;
  MainMenus* m_menus = nullptr;
  FileDialogComponent* m_openDialog = nullptr;
  FileDialogComponent* m_saveDialog = nullptr;
  FileDialogComponent* m_browseFilter = nullptr;
  TFormInfo* m_formInfo = nullptr;
  DocumentCommands* m_document = nullptr;
  RecentFilesMenu* m_recentFilesMenu = nullptr;
  DdeServer* m_dde = nullptr;
  SampleCommands* m_sampleCommands = nullptr;
  TransformCommands* m_transformCommands = nullptr;
  TRecentStrings m_recentFiles;
  TRecentStrings m_filterFiles;
  std::unique_ptr<TStringLoader> m_stringLoader;
  std::shared_ptr<wordmill::FilterApplication> m_filterServer;
  std::unique_ptr<UpdateCheck> m_updateCheck;
  QPointer<TupdateForm> m_updateForm;
  std::string m_language;
  bool m_closed = false;
};

}  // namespace rowsmith::gui
