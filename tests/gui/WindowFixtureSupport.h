#pragma once

// A main window for a test: its own preference store and language file in a
// temporary folder, start-up run to its end, the dialogs scripted. The
// automatic update check is put off unless a test sets another date.

#include <QSignalSpy>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdint>
#include <memory>
#include <string>

#include "ScriptedDialogsSupport.h"
#include "document/PreferenceStore.h"
#include "shell/MainWindow.h"

namespace rowsmith::gui_test {

class WindowFixture {
 public:
  WindowFixture();

  // Language file path in the fixture's folder.
  QString languageFile() const {
    return m_folder.filePath(QStringLiteral("Languages/English.ini"));
  }
  // A path in the fixture's folder.
  QString path(const QString& name) const { return m_folder.filePath(name); }
  // Writes a file in the fixture's folder and returns its path.
  QString writeFile(const QString& name, const QByteArray& bytes) const;
  // Writes a settings file with the given data source and returns its path.
  QString writeJob(const QString& name, const std::string& dataSource) const;
  QByteArray readFile(const QString& path) const;

  // Builds the window (FormCreate) and runs afterCreate. With
  // shippedLanguageFile the complete language file of the program is used.
  gui::TForm1& start(const QStringList& arguments = {}, bool shippedLanguageFile = true);
  gui::TForm1& window() { return *m_window; }
  // Destroys the window (FormDestroy) without closing it first.
  void destroy() { m_window.reset(); }

  PreferenceStore& store() { return *m_store; }
  // The stored date of the next automatic update check, and the update
  // server's address, as the next start reads them.
  static constexpr std::int32_t kNeverDue = 2958465;  // 31 December 9999
  void setNextCheckDate(std::int32_t dayNumber);
  void setUpdateServer(const std::string& address);
  ScriptedDialogs dialogs;

 private:
  QTemporaryDir m_folder;
  std::unique_ptr<PreferenceStore> m_store;
  std::unique_ptr<gui::TForm1> m_window;
};

}  // namespace rowsmith::gui_test
