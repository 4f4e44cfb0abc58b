#pragma once

#include <QString>
#include <QWidget>
#include <memory>
#include <string>

#include "shell/FilterFileText.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace rowsmith::wordmill {
class FilterWindow;
}

namespace rowsmith::gui {

class FileDialogComponent;

// One tab of the filter editor: the text of one filter window of the
// server, with Save, Compile, a message line and a test box.
//
// The message line always answers for the text as it stands: a pause in
// typing (or a change of the test input) compiles the text again in the
// window and runs the test input through it, so the output follows what is
// typed. "<NULL>" in the output is the filter's answer for SQL NULL.
//
// Threading: UI thread only, the thread of the filter window's server.
class FilterEditorTab : public QWidget {
  Q_OBJECT

 public:
  // The pause in typing after which the text is compiled again.
  static constexpr int kRecompileDelayMs = 300;

  // filePath: the file the text is saved to; empty for a new filter.
  FilterEditorTab(std::shared_ptr<wordmill::FilterWindow> window, const QString& filePath,
                  QWidget* parent = nullptr);

  const std::shared_ptr<wordmill::FilterWindow>& filterWindow() const { return m_window; }
  QString filePath() const { return m_filePath; }
  // The file's name; "Untitled" for a new filter.
  QString fileName() const;
  // The file's name with "*" after it while there are unsaved changes.
  QString title() const;
  bool isModified() const;

  QPlainTextEdit* textEdit() const { return m_text; }
  QLabel* messageLine() const { return m_message; }
  QPushButton* saveButton() const { return m_save; }
  QPushButton* compileButton() const { return m_compile; }
  QPlainTextEdit* testInput() const { return m_input; }
  QPlainTextEdit* testOutput() const { return m_output; }

  // Writes the text to its file, asking for a file name first when it has
  // none; errors are shown in the standard error box. Returns false when
  // nothing was written.
  bool save();
  // Compiles the text now, shows the result and puts the cursor on the
  // fault.
  void compile();
  // Before the tab closes: when there are unsaved changes, asks whether to
  // save them. False means the tab stays (Cancel, or a save that failed).
  bool maySaveChanges();
  // Closes the server's window; the tab is of no use afterwards.
  void closeWindow();

 signals:
  void titleChanged();

 private:
  void buildControls();
  // Hands the edited text to the window when it differs from what the
  // window holds.
  void pushText();
  // Compiles the text in the window when it changed since the last compile;
  // true when it compiles.
  bool ensureCompiled();
  void runTest();
  void showMessage(const QString& text, bool fault);
  void moveToFault(const std::string& message);

  std::shared_ptr<wordmill::FilterWindow> m_window;
  QString m_filePath;
  FilterFileText m_file;
  // The bytes the window holds.
  std::string m_pushed;
  bool m_needsCompile = true;
  bool m_compiles = false;

  QPlainTextEdit* m_text = nullptr;
  QLabel* m_message = nullptr;
  QPushButton* m_save = nullptr;
  QPushButton* m_compile = nullptr;
  QPlainTextEdit* m_input = nullptr;
  QPlainTextEdit* m_output = nullptr;
  QTimer* m_recompile = nullptr;
  FileDialogComponent* m_saveDialog = nullptr;
};

}  // namespace rowsmith::gui
