#include "shell/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "common/Error.h"
#include "document/DdeChannel.h"
#include "document/DdeRequest.h"
#include "document/LaunchParameter.h"
#include "document/PreferenceStore.h"
#include "engine/DataThread.h"
#include "localisation/LangString.h"
#include "localisation/StringLoader.h"
#include "pages/ConnectionSourceDialog.h"
#include "pages/GoPage.h"
#include "pages/OptionsPage.h"
#include "pages/PageText.h"
#include "pages/PreviewPage.h"
#include "pages/QueryPage.h"
#include "pages/SampleCommands.h"
#include "pages/SamplePage.h"
#include "pages/TableNameBox.h"
#include "pages/TransformCommands.h"
#include "pages/TransformsPage.h"
#include "placement/FormInfo.h"
#include "shell/DocumentCommands.h"
#include "shell/FileDialogComponent.h"
#include "shell/FilterEditorWindow.h"
#include "shell/FormTranslator.h"
#include "shell/HelpKeyFilter.h"
#include "shell/MainMenus.h"
#include "shell/MessageBoxes.h"
#include "shell/RecentFilesMenu.h"
#include "shell/StatusForm.h"
#include "shell/StatusFormObserver.h"
#include "support/UpdateCheck.h"
#include "support/ui/AboutBox.h"
#include "support/ui/HelpContexts.h"
#include "support/ui/HelpDispatch.h"
#include "support/ui/WebAddresses.h"
#include "wordmill/FilterServer.h"

namespace rowsmith::gui {

namespace {

constexpr const char* kRowsFilter = "Rowsmith Files (*.rsm)|*.rsm|All files (*.*)|*.*";

QPushButton* frameButton(QWidget* parent, const char* name, const char* caption, const char* hint,
                         int width) {
  auto* button = new QPushButton(QString::fromUtf8(caption), parent);
  button->setObjectName(QString::fromLatin1(name));
  setHint(button, hint);
  button->setMinimumWidth(width);
  button->setMinimumHeight(25);
  return button;
}

}  // namespace

TForm1::TForm1(PreferenceStore& store, StartOptions options, QWidget* parent)
    : QMainWindow(parent),
      m_store(store),
      m_options(std::move(options)),
      m_updateCheck(std::make_unique<UpdateCheck>(store)) {
  buildFrame();
  connectCommands();
  // The window's placement is restored as soon as it has been built.
  m_formInfo = new TFormInfo(*this, m_store);
  m_formInfo->AppName = QStringLiteral("Rowsmith");
  m_formInfo->FormName = QStringLiteral("main");
  m_components << m_formInfo;
  m_formInfo->Load();
  FormCreate();
}

TForm1::~TForm1() { FormDestroy(); }

QList<QObject*> TForm1::ownedComponents() const { return m_components; }

void TForm1::buildFrame() {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Rowsmith"));
  setWindowIcon(QIcon(QStringLiteral(":/icons/rowsmith.png")));

  auto* central = new QWidget(this);
  m_pageControl = new QTabWidget(central);
  m_pageControl->setObjectName(QStringLiteral("PageControl"));
  // Every tab stays in sight: the window is never narrower than its tabs.
  m_pageControl->setUsesScrollButtons(false);
  m_queryPage = new QueryPage;
  m_samplePage = new SamplePage;
  m_transformsPage = new TransformsPage;
  m_previewPage = new PreviewPage;
  m_goPage = new GoPage;
  m_optionsPage = new OptionsPage;
  m_pageControl->addTab(m_queryPage, QStringLiteral("&1 Query"));
  m_pageControl->addTab(m_samplePage, QStringLiteral("&2 Sample data"));
  m_pageControl->addTab(m_transformsPage, QStringLiteral("&3 Transforms"));
  m_pageControl->addTab(m_previewPage, QStringLiteral("&4 Preview changes"));
  m_pageControl->addTab(m_goPage, QStringLiteral("&5 Go!"));
  m_pageControl->addTab(m_optionsPage, QStringLiteral("optionsTab"));
  const int contexts[] = {HelpContexts::kQueryPage,      HelpContexts::kSamplePage,
                          HelpContexts::kTransformsPage, HelpContexts::kPreviewPage,
                          HelpContexts::kGoPage,         HelpContexts::kNone};
  for (int i = 0; i < m_pageControl->count(); ++i)
    m_pageControl->widget(i)->setProperty("helpContext", contexts[i]);

  auto* panel = new QWidget(central);
  panel->setObjectName(QStringLiteral("Panel1"));
  m_goButton = frameButton(panel, "goButton", "&Go", "Transform live data now", 73);
  m_goButton->setIcon(style()->standardIcon(QStyle::SP_DialogYesButton));
  m_goButton->setDefault(true);
  m_prevButton = frameButton(panel, "prevButton", "< &Back", "Display the previous tab", 75);
  m_nextButton = frameButton(panel, "nextButton", "&Next >", "Display the next tab", 75);
  m_bitBtn1 = frameButton(panel, "BitBtn1", "Exit", "Leave Rowsmith", 73);
  m_bitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
  auto* buttons = new QHBoxLayout(panel);
  // The buttons keep their places from the left edge when the window grows.
  buttons->setContentsMargins(155, 8, 8, 11);
  buttons->setSpacing(5);
  for (QPushButton* button : {m_prevButton, m_nextButton, m_goButton, m_bitBtn1})
    buttons->addWidget(button);
  buttons->addStretch(1);

  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 2, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(m_pageControl, 1);
  layout->addWidget(panel);
  setCentralWidget(central);
  statusBar()->setObjectName(QStringLiteral("StatusBar1"));

  m_menus = new MainMenus(*this);

  m_openDialog = new FileDialogComponent(QStringLiteral("OpenDialog"), this);
  m_openDialog->setTitle(QStringLiteral("Load Rowsmith settings"));
  m_openDialog->setFilter(QString::fromLatin1(kRowsFilter));
  m_openDialog->setMustExist(true);
  m_saveDialog = new FileDialogComponent(QStringLiteral("SaveDialog"), this);
  m_saveDialog->setTitle(QStringLiteral("Save Rowsmith settings"));
  m_saveDialog->setFilter(QString::fromLatin1(kRowsFilter));
  m_saveDialog->setDefaultExtension(QStringLiteral("rsm"));
  m_saveDialog->setConfirmOverwrite(true);
  m_browseFilter = new FileDialogComponent(QStringLiteral("BrowseFilter"), this);
  m_browseFilter->setTitle(QStringLiteral("Browse for a Wordmill Pro filter to use"));
  m_browseFilter->setFilter(QStringLiteral("Wordmill filters (*.fll)|*.fll|All files (*.*)|*.*"));
  m_browseFilter->setDefaultExtension(QStringLiteral("fll"));

  // The design size, centred on the screen; showEvent makes room for
  // larger fonts.
  setMinimumSize(kDesignWidth, kDesignHeight);
  resize(kDesignWidth, kDesignHeight);
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - QPoint(kDesignWidth / 2, kDesignHeight / 2));

  // Creation order, which is the order the language file lists the texts in.
  m_components << m_pageControl << m_queryPage << m_queryPage->components() << m_samplePage
               << m_samplePage->components() << m_transformsPage << m_transformsPage->components()
               << m_previewPage << m_previewPage->components() << m_goPage << m_goPage->components()
               << m_optionsPage << m_optionsPage->components() << panel << m_goButton
               << m_prevButton << m_nextButton << m_bitBtn1 << statusBar() << m_menus->components()
               << m_openDialog << m_saveDialog << m_browseFilter;
}

void TForm1::connectCommands() {
  DocumentCommands::Controls controls{m_queryPage, m_samplePage, m_transformsPage, m_openDialog,
                                      m_saveDialog};
  m_document = new DocumentCommands(*this, controls, m_recentFiles);
  connect(m_document, &DocumentCommands::titleChanged, this, &QWidget::setWindowTitle);
  m_recentFilesMenu =
      new RecentFilesMenu(*m_menus->recentfiles1, m_recentFiles, [this](const std::string& path) {
        MessageBoxes::runGuarded(this, [&] { m_document->recentFilesClick(path); });
      });
  connect(m_document, &DocumentCommands::recentFilesChanged, m_recentFilesMenu,
          &RecentFilesMenu::rebuild);

  auto changed = [this] { m_document->changeOccured(); };
  connect(m_queryPage, &QueryPage::changed, this, changed);
  connect(m_samplePage, &SamplePage::changed, this, changed);
  connect(m_transformsPage, &TransformsPage::changed, this, changed);

  auto guarded = [this](auto command) {
    return [this, command] { MessageBoxes::runGuarded(this, command); };
  };
  const MainMenus& m = *m_menus;
  connect(m.open1, &QAction::triggered, this, guarded([this] { m_document->Open1Click(); }));
  connect(m.openButton, &QToolButton::clicked, this, guarded([this] { m_document->Open1Click(); }));
  connect(m.save1, &QAction::triggered, this, guarded([this] { m_document->Save1Click(); }));
  connect(m.saveButton, &QToolButton::clicked, this, guarded([this] { m_document->Save1Click(); }));
  connect(m.saveas1, &QAction::triggered, this, guarded([this] { m_document->Saveas1Click(); }));
  connect(m.exit1, &QAction::triggered, this, &QWidget::close);
  connect(m_bitBtn1, &QPushButton::clicked, this, &QWidget::close);
  for (QObject* sender : m.helpSenders()) {
    auto dispatch = [sender] { HelpDispatch::Usermanual1Click(sender); };
    if (auto* action = qobject_cast<QAction*>(sender))
      connect(action, &QAction::triggered, this, dispatch);
    else if (auto* button = qobject_cast<QToolButton*>(sender))
      connect(button, &QToolButton::clicked, this, dispatch);
  }
  auto server = [this] { return m_filterServer.get(); };
  m_sampleCommands = new SampleCommands(
      *this, {m_queryPage, m_samplePage, m_transformsPage, m_previewPage},
      [this](int index) { showPage(index); }, server);
  m_transformCommands = new TransformCommands(*this, *m_transformsPage, m_filterFiles,
                                              *m_browseFilter, server, changed);
  connect(m_queryPage->previewData(), &QPushButton::clicked, this,
          [this] { m_sampleCommands->execute(); });
  connect(m_queryPage->buildConnection(), &QPushButton::clicked, this, guarded([this] {
            std::string text = m_queryPage->dataSource();
            if (TConnEditForm::PickConnectionSource(this, text)) m_queryPage->setDataSource(text);
          }));
  connect(m_queryPage->queryCheckErrors(), &QPushButton::clicked, this,
          [this] { m_sampleCommands->queryCheckErrorsClick(); });
  connect(m_queryPage->tableNameBox(), &TableNameBox::dropDown, this,
          [this] { m_sampleCommands->tableNameDropDown(); });
  connect(m_transformsPage->previewButton(), &QPushButton::clicked, this,
          [this] { m_sampleCommands->startTestClick(); });
  connect(m.refresh1, &QAction::triggered, this, &TForm1::refreshButtonClick);
  connect(m.refreshButton, &QToolButton::clicked, this, &TForm1::refreshButtonClick);
  connect(m.showWordmillPro1, &QAction::triggered, this, &TForm1::ShowWordmillPro1Click);
  connect(m_goButton, &QPushButton::clicked, this, &TForm1::goButtonClick);
  connect(m.checkWebForUpdates1, &QAction::triggered, this, &TForm1::CheckWebForUpdates1Click);
  connect(m.about1, &QAction::triggered, this, &TForm1::About1Click);
  connect(m_prevButton, &QPushButton::clicked, this, &TForm1::prevButtonClick);
  connect(m_nextButton, &QPushButton::clicked, this, &TForm1::nextButtonClick);
  connect(m_pageControl, &QTabWidget::currentChanged, this, &TForm1::PageControlChange);
}

void TForm1::FormCreate() {
  m_language = TStringLoader::kLanguage;
  loadNextCheckDate();

  const std::filesystem::path languageFile =
      m_options.languageFile.isEmpty()
          ? TStringLoader::languageFilePath(m_language)
          : std::filesystem::path(m_options.languageFile.toStdString());
  m_stringLoader = std::make_unique<TStringLoader>(languageFile);
  setStringLoader(m_stringLoader.get());
  // A bad text in the language file stops the translation where it is; the
  // window is complete all the same, with its built-in texts from there on.
  MessageBoxes::runGuarded(this, [this] { FormTranslator::TranslateForm(*this); });

  m_pageControl->setCurrentIndex(QueryIndex);
  m_pageControl->setTabVisible(OptionsIndex, false);
  PageControlChange();

  HelpKeyFilter::install(*this);

  m_recentFiles.load(m_store, TSettings::registryName(6));
  m_filterFiles.load(m_store, TSettings::registryName(7));
  m_recentFilesMenu->rebuild();

  m_document->settings().LoadDefaults(m_store);
  m_document->settingsToControls();
  m_document->setTitle();

  if (m_options.ddeSocket) {
    m_dde = new DdeServer(
        [this](char kind, const std::string& payload) { return answerRequest(kind, payload); },
        this);
    m_dde->listen(*m_options.ddeSocket);
  }
  QTimer::singleShot(0, this, &TForm1::afterCreate);
}

void TForm1::afterCreate() {
  const bool done = MessageBoxes::runGuarded(this, [this] {
    startFilterServer();
    processCommandLine();
  });
  if (done) startupUpdateCheck();
  emit started();
}

void TForm1::loadNextCheckDate() { m_updateCheck->loadNextCheckDate(); }

void TForm1::saveNextCheckDate() { m_updateCheck->saveNextCheckDate(); }

void TForm1::startupUpdateCheck() {
  if (!m_updateCheck->isDue() || m_updateForm) return;
  m_updateForm = new TupdateForm(*m_updateCheck, this);
  m_updateForm->fetchPage();
}

void TForm1::CheckWebForUpdates1Click() {
  // A dialog left hidden by the start-up check appears as it is.
  if (!m_updateForm) m_updateForm = new TupdateForm(*m_updateCheck, this);
  m_updateForm->show();
  m_updateForm->raise();
  m_updateForm->activateWindow();
}

void TForm1::About1Click() {
  TABox box(this);
  box.exec();
}

void TForm1::startFilterServer() {
  m_filterServer = wordmill::createObject(wordmill::kWordmillProgId);
  // The server's own window: the filter editor, made when first needed.
  FilterEditorWindow::attach(m_filterServer, *this);
  try {
    m_filterServer->hide();
    m_filterServer->calledFrom("Rowsmith");
  } catch (const std::exception&) {
    HelpDispatch::ShellOpen(WebAddresses::filterEnginePage());
    MessageBoxes::showPlain(
        this,
        "Wordmill Pro has not been installed - it is required by Rowsmith\r\n\r\n"
        "Please go to " +
            WebAddresses::site().toStdString() +
            " to download and install Wordmill Pro.\r\n"
            "Wordmill Pro is included in the purchase price of Rowsmith");
  }
}

void TForm1::processCommandLine() {
  for (const QString& argument : m_options.arguments)
    processParameter(argument.toStdString(), false);
}

void TForm1::processListFile(const std::string& path) {
  for (const std::string& line : LaunchParameter::readListFile(path)) processParameter(line, true);
}

void TForm1::processParameter(const std::string& text, bool fromListFile) {
  const LaunchParameter parameter = LaunchParameter::classify(text, fromListFile);
  switch (parameter.kind) {
    case LaunchParameter::Kind::OpenFile:
      m_document->openFile(parameter.text);
      break;
    case LaunchParameter::Kind::ListFile:
      processListFile(parameter.text);
      break;
    case LaunchParameter::Kind::Invalid:
      MessageBoxes::showPlain(this, LaunchParameter::invalidMessage(parameter.text));
      break;
    case LaunchParameter::Kind::Ignored:
      break;
  }
}

DdeServer::Reply TForm1::RowsmithDDEExecuteMacro(const std::string& request) {
  // The handler sees the request as lines, each followed by CR LF.
  std::string text;
  std::string line;
  for (std::size_t i = 0; i <= request.size(); ++i) {
    if (i < request.size() && request[i] != '\r' && request[i] != '\n') {
      line += request[i];
      continue;
    }
    if (i < request.size() || !line.empty()) text += line + "\r\n";
    line.clear();
    if (i + 1 < request.size() && request[i] == '\r' && request[i + 1] == '\n') ++i;
  }
  const auto path = DdeRequest::fileOpenPath(text);
  if (!path) {
    const std::string message = DdeRequest::invalidMessage(text);
    MessageBoxes::showPlain(this, message);
    return {false, message};
  }
  std::string failure;
  const bool opened = MessageBoxes::runGuarded(this, [&] {
    try {
      m_document->openFile(*path);
    } catch (const std::exception& error) {
      failure = error.what();
      throw;
    }
  });
  return {opened, failure};
}

DdeServer::Reply TForm1::answerRequest(char kind, const std::string& payload) {
  if (kind == DdeChannel::kExecute) return RowsmithDDEExecuteMacro(payload);
  if (kind == DdeChannel::kQueryState) return {true, stateText()};
  return {false, "Unknown request"};
}

std::string TForm1::stateText() const {
  return "title=" + windowTitle().toStdString() +
         "\npage=" + std::to_string(m_pageControl->currentIndex()) +
         "\nmodified=" + (m_document->modified() ? "1" : "0") + "\n";
}

bool TForm1::isDdeListening() const { return m_dde && m_dde->isListening(); }

void TForm1::goButtonClick() {
  MessageBoxes::runGuarded(this, [this] {
    auto job = std::make_unique<TSettings>();
    m_document->controlsToSettings(*job);
    job->fileName = m_document->settings().fileName;
    job->Validate();
    if (!m_filterServer) throw Error("Wordmill Pro has not been started");
    // Every filter must open and compile before anything starts.
    auto filters = TDataThread::compileFilters(*m_filterServer, job->columnFilters);
    TDataThread::freeCompiledFilters(filters);
    auto* form = new TTstatusForm;
    form->show();
    // Every run keeps an undo journal, beside the job when it has a file.
    RunOptions options;
    options.journal = true;
    TDataThread::create(std::move(job), std::make_shared<StatusFormObserver>(form), {}, options);
  });
}

void TForm1::refreshButtonClick() { m_sampleCommands->refresh(m_pageControl->currentIndex()); }

void TForm1::ShowWordmillPro1Click() {
  MessageBoxes::runGuarded(this, [this] {
    if (!m_filterServer) throw Error("Wordmill Pro has not been started");
    m_filterServer->show();
  });
}

void TForm1::showPage(int index) {
  m_pageControl->setCurrentIndex(index);
  PageControlChange();
}

void TForm1::prevButtonClick() {
  const int index = m_pageControl->currentIndex();
  if (index > 0) m_pageControl->setCurrentIndex(index - 1);
  PageControlChange();
}

void TForm1::nextButtonClick() {
  const int index = m_pageControl->currentIndex();
  if (index < m_pageControl->count() - 1) m_pageControl->setCurrentIndex(index + 1);
  PageControlChange();
}

void TForm1::PageControlChange() {
  const int index = m_pageControl->currentIndex();
  m_nextButton->setEnabled(index < m_pageControl->count() - 1);
  m_prevButton->setEnabled(index > 0);
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (!m_closed) {
    if (!FormCloseQuery()) {
      event->ignore();
      return;
    }
    FormClose();
  }
  event->accept();
}

bool TForm1::FormCloseQuery() {
  bool mayClose = false;
  MessageBoxes::runGuarded(this, [&] { mayClose = m_document->saveChangesFirst(); });
  return mayClose;
}

void TForm1::FormClose() {
  m_closed = true;
  if (m_updateForm) m_updateForm->close();
  m_document->controlsToSettings(m_document->settings());
  MessageBoxes::runGuarded(this, [this] { m_document->settings().SaveDefaults(m_store); });
  setStringLoader(nullptr);
  m_stringLoader.reset();
  m_formInfo->Save();
}

void TForm1::FormDestroy() {
  // The update dialog goes first, taking its transfer with it.
  delete m_updateForm.data();
  m_filterServer.reset();
  try {
    m_recentFiles.save(m_store, TSettings::registryName(6));
    m_filterFiles.save(m_store, TSettings::registryName(7));
  } catch (const std::exception&) {
    // Nothing can be shown any more: the window is going away.
  }
  saveNextCheckDate();
  if (stringLoader() == m_stringLoader.get()) setStringLoader(nullptr);
}

void TForm1::showEvent(QShowEvent* event) {
  // Never smaller than the design size, nor than the controls need with the
  // fonts of this desktop (known only once the window is polished).
  const QSize least = minimumSizeHint().expandedTo(QSize(kDesignWidth, kDesignHeight));
  setMinimumSize(least);
  if (width() < least.width() || height() < least.height()) resize(size().expandedTo(least));
  QMainWindow::showEvent(event);
}

bool TForm1::event(QEvent* event) {
  // A control without a hint leaves the last hint in the status bar.
  if (event->type() == QEvent::StatusTip && static_cast<QStatusTipEvent*>(event)->tip().isEmpty())
    return true;
  return QMainWindow::event(event);
}

void TForm1::keyPressEvent(QKeyEvent* event) {
  // Go is the window's default button: Enter in a control that does not
  // use Enter itself starts a run.
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
      event->modifiers() == Qt::NoModifier) {
    m_goButton->click();
    return;
  }
  QMainWindow::keyPressEvent(event);
}

}  // namespace rowsmith::gui
