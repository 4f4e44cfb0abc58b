#include "shell/FilterEditorTab.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTimer>
#include <QVBoxLayout>
#include <exception>

#include "shell/DialogService.h"
#include "shell/FileDialogComponent.h"
#include "shell/FilterHighlighter.h"
#include "shell/MessageBoxes.h"
#include "wordmill/FilterServer.h"

namespace rowsmith::gui {

namespace {

constexpr const char* kFilterFiles = "Wordmill filters (*.fll)|*.fll|All files (*.*)|*.*";

// A box a few lines high for the test input and output.
QPlainTextEdit* testBox(QWidget* parent, const char* name, int lines) {
  auto* box = new QPlainTextEdit(parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setTabChangesFocus(true);
  const int height = box->fontMetrics().lineSpacing() * lines +
                     2 * (box->frameWidth() + int(box->document()->documentMargin()));
  box->setFixedHeight(height);
  return box;
}

}  // namespace

FilterEditorTab::FilterEditorTab(std::shared_ptr<wordmill::FilterWindow> window,
                                 const QString& filePath, QWidget* parent)
    : QWidget(parent), m_window(std::move(window)), m_filePath(filePath) {
  buildControls();
  m_pushed = m_window->text();
  m_file = FilterFileText::fromBytes(m_pushed);
  m_text->setPlainText(m_file.text);
  m_text->document()->setModified(false);
  if (!m_file.editable) {
    m_text->setReadOnly(true);
    m_save->setEnabled(false);
  }

  connect(m_text, &QPlainTextEdit::textChanged, this, [this] {
    m_needsCompile = true;
    m_recompile->start();
  });
  connect(m_text->document(), &QTextDocument::modificationChanged, this,
          &FilterEditorTab::titleChanged);
  connect(m_recompile, &QTimer::timeout, this, &FilterEditorTab::runTest);
  connect(m_input, &QPlainTextEdit::textChanged, this, &FilterEditorTab::runTest);
  connect(m_save, &QPushButton::clicked, this, &FilterEditorTab::save);
  connect(m_compile, &QPushButton::clicked, this, &FilterEditorTab::compile);
  runTest();
}

void FilterEditorTab::buildControls() {
  m_text = new QPlainTextEdit(this);
  m_text->setObjectName(QStringLiteral("filterText"));
  m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
  m_text->setTabStopDistance(m_text->fontMetrics().horizontalAdvance(QLatin1Char(' ')) * 4);
  new FilterHighlighter(m_text->document());

  m_message = new QLabel(this);
  m_message->setObjectName(QStringLiteral("messageLine"));
  m_message->setWordWrap(true);
  m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_message->setTextFormat(Qt::PlainText);

  m_save = new QPushButton(QStringLiteral("&Save"), this);
  m_save->setObjectName(QStringLiteral("saveButton"));
  m_save->setToolTip(QStringLiteral("Write the filter to its file"));
  m_compile = new QPushButton(QStringLiteral("&Compile"), this);
  m_compile->setObjectName(QStringLiteral("compileButton"));
  m_compile->setToolTip(QStringLiteral("Check the filter as the preview and the run will"));
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(m_save);
  buttons->addWidget(m_compile);
  buttons->addStretch(1);

  auto* test = new QGroupBox(QStringLiteral("Test"), this);
  test->setObjectName(QStringLiteral("testBox"));
  m_input = testBox(test, "testInput", 3);
  m_input->setPlaceholderText(QStringLiteral("Type a value to try the filter on"));
  m_output = testBox(test, "testOutput", 3);
  m_output->setReadOnly(true);
  auto* inputLabel = new QLabel(QStringLiteral("&Input:"), test);
  inputLabel->setBuddy(m_input);
  auto* grid = new QGridLayout(test);
  grid->addWidget(inputLabel, 0, 0);
  grid->addWidget(new QLabel(QStringLiteral("Output:"), test), 0, 1);
  grid->addWidget(m_input, 1, 0);
  grid->addWidget(m_output, 1, 1);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_text, 1);
  layout->addWidget(m_message);
  layout->addLayout(buttons);
  layout->addWidget(test);

  m_recompile = new QTimer(this);
  m_recompile->setSingleShot(true);
  m_recompile->setInterval(kRecompileDelayMs);

  m_saveDialog = new FileDialogComponent(QStringLiteral("SaveFilterDialog"), this);
  m_saveDialog->setTitle(QStringLiteral("Save the filter as"));
  m_saveDialog->setFilter(QString::fromLatin1(kFilterFiles));
  m_saveDialog->setDefaultExtension(QStringLiteral("fll"));
  m_saveDialog->setConfirmOverwrite(true);
}

QString FilterEditorTab::fileName() const {
  return m_filePath.isEmpty() ? QStringLiteral("Untitled") : QFileInfo(m_filePath).fileName();
}

QString FilterEditorTab::title() const {
  return isModified() ? fileName() + QLatin1Char('*') : fileName();
}

bool FilterEditorTab::isModified() const { return m_text->document()->isModified(); }

void FilterEditorTab::pushText() {
  // A file that is not UTF-8 text is never changed: the window keeps its
  // own bytes.
  if (!m_file.editable) return;
  std::string bytes = m_file.toBytes(m_text->toPlainText());
  if (bytes == m_pushed) return;
  m_window->replaceText(bytes);
  m_pushed = std::move(bytes);
  m_needsCompile = true;
}

bool FilterEditorTab::ensureCompiled() {
  if (!m_needsCompile) return m_compiles;
  std::string message;
  try {
    pushText();
    message = m_window->compileFilter();
  } catch (const std::exception& error) {
    message = error.what();
  }
  m_needsCompile = false;
  m_compiles = message.empty();
  QString text =
      m_compiles ? QStringLiteral("Compiled without errors.") : QString::fromStdString(message);
  if (!m_file.editable)
    text += QStringLiteral(
        "\nThe file is not UTF-8 text; it is shown read-only so that its "
        "bytes stay as they are.");
  showMessage(text, !m_compiles);
  return m_compiles;
}

void FilterEditorTab::runTest() {
  m_recompile->stop();
  if (!ensureCompiled()) {
    m_output->clear();
    m_output->setPlaceholderText(QStringLiteral("The filter does not compile"));
    return;
  }
  try {
    const std::string output =
        m_window->processStringWithCompiledFilter(m_input->toPlainText().toStdString());
    m_output->setPlaceholderText(QString());
    m_output->setPlainText(QString::fromStdString(output));
  } catch (const std::exception& error) {
    m_output->clear();
    m_output->setPlaceholderText(QStringLiteral("The filter failed on this value"));
    showMessage(QString::fromStdString(error.what()), true);
  }
}

void FilterEditorTab::compile() {
  m_needsCompile = true;
  runTest();
  if (!m_compiles) {
    // The message of the last compile is on the message line.
    moveToFault(m_message->text().toStdString());
  }
}

void FilterEditorTab::moveToFault(const std::string& message) {
  static const QRegularExpression position(QStringLiteral("^(\\d+):(\\d+): "));
  const auto match = position.match(QString::fromStdString(message));
  if (!match.hasMatch()) return;
  const QTextBlock block = m_text->document()->findBlockByNumber(match.captured(1).toInt() - 1);
  if (!block.isValid()) return;
  // The column counts characters from 1; a QString counts UTF-16 units.
  const QString line = block.text();
  int offset = 0;
  for (int column = 1; column < match.captured(2).toInt() && offset < line.size(); ++column)
    offset += line[offset].isHighSurrogate() && offset + 1 < line.size() ? 2 : 1;
  QTextCursor cursor(block);
  cursor.setPosition(block.position() + offset);
  m_text->setTextCursor(cursor);
  m_text->setFocus();
}

void FilterEditorTab::showMessage(const QString& text, bool fault) {
  m_message->setText(text);
  m_message->setProperty("fault", fault);
  m_message->setStyleSheet(fault ? QStringLiteral("color: #b71c1c;")
                                 : QStringLiteral("color: #2e7d32;"));
}

bool FilterEditorTab::save() {
  if (!m_file.editable) return false;
  QString path = m_filePath;
  if (path.isEmpty()) {
    const auto chosen = DialogService::instance().getSaveFileName(this, *m_saveDialog);
    if (!chosen) return false;
    path = *chosen;
  }
  const bool saved = MessageBoxes::runGuarded(this, [&] {
    pushText();
    m_window->save(path.toStdString());
  });
  if (!saved) return false;
  if (path != m_filePath) {
    // Relative pairs tables are now found from the new folder.
    m_filePath = path;
    m_needsCompile = true;
  }
  m_text->document()->setModified(false);
  emit titleChanged();
  runTest();
  return true;
}

bool FilterEditorTab::maySaveChanges() {
  if (!isModified()) return true;
  switch (DialogService::instance().showMessage(
      this, DialogService::Kind::Confirmation, QStringLiteral("Confirm"),
      QStringLiteral("Save changes to %1?").arg(fileName()))) {
    case DialogService::Answer::Yes:
      return save();
    case DialogService::Answer::No:
      return true;
    default:
      return false;
  }
}

void FilterEditorTab::closeWindow() {
  m_recompile->stop();
  MessageBoxes::runGuarded(this, [this] { m_window->close(); });
}

}  // namespace rowsmith::gui
