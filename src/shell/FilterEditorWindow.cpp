#include "shell/FilterEditorWindow.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "common/Error.h"
#include "shell/DialogService.h"
#include "shell/FileDialogComponent.h"
#include "shell/FilterEditorLink.h"
#include "shell/FilterEditorTab.h"
#include "shell/MessageBoxes.h"
#include "support/ui/HelpContexts.h"
#include "wordmill/FilterServer.h"

namespace rowsmith::gui {

namespace {

constexpr const char* kTitle = "Wordmill Pro";

// Two names of one file: the same file when both resolve to it, else the
// same absolute path (for files that do not exist yet).
QString fileKey(const QString& path) {
  const QFileInfo info(path);
  const QString canonical = info.canonicalFilePath();
  return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

}  // namespace

FilterEditorLink* FilterEditorWindow::attach(std::shared_ptr<wordmill::FilterApplication> server,
                                             QWidget& owner) {
  return new FilterEditorLink(std::move(server), owner);
}

FilterEditorWindow::FilterEditorWindow(std::weak_ptr<wordmill::FilterApplication> server,
                                       QWidget* owner)
    : QWidget(owner, Qt::Window), m_server(std::move(server)) {
  setObjectName(QStringLiteral("FilterEditor"));
  setProperty("helpContext", HelpContexts::kFilterEditor);
  buildControls();
  updateTitles();
  resize(720, 560);
}

void FilterEditorWindow::buildControls() {
  m_new = new QPushButton(QStringLiteral("&New"), this);
  m_new->setObjectName(QStringLiteral("newButton"));
  m_new->setToolTip(QStringLiteral("Start a new filter (Ctrl+N)"));
  m_open = new QPushButton(QStringLiteral("&Open..."), this);
  m_open->setObjectName(QStringLiteral("openButton"));
  m_open->setToolTip(QStringLiteral("Open a filter file (Ctrl+O)"));
  auto* band = new QHBoxLayout;
  band->addWidget(m_new);
  band->addWidget(m_open);
  band->addStretch(1);

  m_tabs = new QTabWidget(this);
  m_tabs->setObjectName(QStringLiteral("filterTabs"));
  m_tabs->setTabsClosable(true);
  m_tabs->setMovable(true);
  m_tabs->setDocumentMode(true);
  m_empty = new QLabel(QStringLiteral("No filter is open.\n\nNew starts a filter; Open... opens a "
                                      "filter file; Edit... on the Transforms page opens the "
                                      "filter of a column."),
                       this);
  m_empty->setAlignment(Qt::AlignCenter);
  m_empty->setWordWrap(true);
  m_stack = new QStackedWidget(this);
  m_stack->addWidget(m_empty);
  m_stack->addWidget(m_tabs);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(band);
  layout->addWidget(m_stack, 1);

  m_openDialog = new FileDialogComponent(QStringLiteral("OpenFilterDialog"), this);
  m_openDialog->setTitle(QStringLiteral("Open a Wordmill Pro filter"));
  m_openDialog->setFilter(QStringLiteral("Wordmill filters (*.fll)|*.fll|All files (*.*)|*.*"));
  m_openDialog->setMustExist(true);

  auto shortcut = [this](const QKeySequence& keys, auto command) {
    auto* action = new QAction(this);
    action->setShortcut(keys);
    addAction(action);
    connect(action, &QAction::triggered, this, command);
  };
  shortcut(QKeySequence::New, [this] { MessageBoxes::runGuarded(this, [this] { newFilter(); }); });
  shortcut(QKeySequence::Open, [this] { openClick(); });
  shortcut(QKeySequence::Save, [this] {
    if (FilterEditorTab* current = currentTab()) current->save();
  });
  shortcut(QKeySequence::Close, [this] {
    if (m_tabs->count() > 0) closeTab(m_tabs->currentIndex());
  });

  connect(m_new, &QPushButton::clicked, this,
          [this] { MessageBoxes::runGuarded(this, [this] { newFilter(); }); });
  connect(m_open, &QPushButton::clicked, this, &FilterEditorWindow::openClick);
  connect(m_tabs, &QTabWidget::tabCloseRequested, this, &FilterEditorWindow::closeTab);
  connect(m_tabs, &QTabWidget::currentChanged, this, &FilterEditorWindow::updateTitles);
}

int FilterEditorWindow::tabCount() const { return m_tabs->count(); }

FilterEditorTab* FilterEditorWindow::tab(int index) const {
  return qobject_cast<FilterEditorTab*>(m_tabs->widget(index));
}

FilterEditorTab* FilterEditorWindow::currentTab() const {
  return qobject_cast<FilterEditorTab*>(m_tabs->currentWidget());
}

std::shared_ptr<wordmill::FilterApplication> FilterEditorWindow::server() const {
  auto server = m_server.lock();
  if (!server) throw Error("The filter server has been released");
  return server;
}

void FilterEditorWindow::showAndRaise() {
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
}

void FilterEditorWindow::openFile(const QString& path) {
  if (path.isEmpty()) return;
  const QString key = fileKey(path);
  for (int i = 0; i < m_tabs->count(); ++i) {
    if (!tab(i)->filePath().isEmpty() && fileKey(tab(i)->filePath()) == key) {
      m_tabs->setCurrentIndex(i);
      return;
    }
  }
  const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
  std::shared_ptr<wordmill::FilterWindow> window = server()->newWindow();
  if (!window) throw Error("The filter server did not create a window for " + path.toStdString());
  if (!QFileInfo::exists(absolute)) {
    window->replaceText({});
  } else if (!window->openFilter(absolute.toStdString())) {
    window->close();
    throw Error("Couldn't open " + path.toStdString());
  }
  addTab(window, absolute);
}

void FilterEditorWindow::newFilter() {
  std::shared_ptr<wordmill::FilterWindow> window = server()->newWindow();
  if (!window) throw Error("The filter server did not create a window");
  window->replaceText({});
  addTab(window, QString());
}

void FilterEditorWindow::adoptLater(const std::shared_ptr<wordmill::FilterWindow>& window) {
  if (!window) return;
  if (m_pending.empty()) QTimer::singleShot(0, this, &FilterEditorWindow::adoptPending);
  m_pending.push_back(window);
}

void FilterEditorWindow::adoptPending() {
  const auto pending = std::move(m_pending);
  m_pending.clear();
  for (const auto& window : pending) {
    // Windows this editor made itself have their tabs already.
    if (window->isClosed() || hasTabFor(window.get())) continue;
    MessageBoxes::runGuarded(this, [&] {
      // A window nobody has put a filter in starts as an empty filter.
      if (window->path().empty() && window->text().empty()) window->replaceText({});
      addTab(window, QString::fromStdString(window->path()));
    });
  }
}

bool FilterEditorWindow::hasTabFor(const wordmill::FilterWindow* window) const {
  for (int i = 0; i < m_tabs->count(); ++i) {
    if (tab(i)->filterWindow().get() == window) return true;
  }
  return false;
}

FilterEditorTab* FilterEditorWindow::addTab(const std::shared_ptr<wordmill::FilterWindow>& window,
                                            const QString& path) {
  auto* page = new FilterEditorTab(window, path, m_tabs);
  const int index = m_tabs->addTab(page, page->title());
  connect(page, &FilterEditorTab::titleChanged, this, &FilterEditorWindow::updateTitles);
  m_tabs->setCurrentIndex(index);
  m_stack->setCurrentWidget(m_tabs);
  updateTitles();
  page->textEdit()->setFocus();
  return page;
}

void FilterEditorWindow::openClick() {
  MessageBoxes::runGuarded(this, [this] {
    if (const auto path = DialogService::instance().getOpenFileName(this, *m_openDialog))
      openFile(*path);
  });
}

bool FilterEditorWindow::closeTab(int index) {
  FilterEditorTab* page = tab(index);
  if (!page) return true;
  m_tabs->setCurrentIndex(index);
  if (!page->maySaveChanges()) return false;
  page->closeWindow();
  m_tabs->removeTab(m_tabs->indexOf(page));
  page->deleteLater();
  if (m_tabs->count() == 0) m_stack->setCurrentWidget(m_empty);
  updateTitles();
  return true;
}

bool FilterEditorWindow::saveChangesFirst() {
  for (int i = 0; i < m_tabs->count(); ++i) {
    FilterEditorTab* page = tab(i);
    if (!page->isModified()) continue;
    // The user sees the filter the question is about.
    showAndRaise();
    m_tabs->setCurrentIndex(i);
    if (!page->maySaveChanges()) return false;
  }
  return true;
}

void FilterEditorWindow::updateTitles() {
  for (int i = 0; i < m_tabs->count(); ++i) {
    m_tabs->setTabText(i, tab(i)->title());
    m_tabs->setTabToolTip(i, tab(i)->filePath());
  }
  const FilterEditorTab* current = currentTab();
  setWindowTitle(current ? current->title() + QStringLiteral(" - ") + QString::fromLatin1(kTitle)
                         : QString::fromLatin1(kTitle));
}

}  // namespace rowsmith::gui
