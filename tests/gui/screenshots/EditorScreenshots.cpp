#include "EditorScreenshots.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextCursor>
#include <cstdio>

#include "shell/FilterEditorLink.h"
#include "shell/FilterEditorTab.h"
#include "shell/FilterEditorWindow.h"
#include "wordmill/FilterServer.h"

namespace {

QString writeFilter(const QTemporaryDir& folder, const QString& name, const QByteArray& text) {
  QFile file(folder.filePath(name));
  if (!file.open(QIODevice::WriteOnly)) std::fprintf(stderr, "cannot write %s\n", qPrintable(name));
  file.write(text);
  return file.fileName();
}

void saveGrab(QWidget& widget, const QString& folder, const QString& name) {
  // Layouts and scroll bars settle once the events of the last changes ran.
  QCoreApplication::processEvents();
  const QString path = QDir(folder).filePath(name);
  if (!widget.grab().save(path)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
  std::printf("%s\n", qPrintable(path));
}

}  // namespace

void renderEditorScreenshots(const QString& folder) {
  QTemporaryDir scratch;
  const QString names = writeFilter(scratch, QStringLiteral("title-case-names.fll"),
                                    "# Names in title case; \"van\" and \"de\" stay small.\n"
                                    "trim\n"
                                    "collapse-spaces\n"
                                    "null-if \"N/A\"                # a placeholder becomes NULL\n"
                                    "title\n"
                                    "regex \"(?<=\\S )Van(?= \\S)\" \"van\"\n"
                                    "regex \"(?<=\\S )De(?= \\S)\" \"de\"\n");
  const QString broken = writeFilter(scratch, QStringLiteral("tidy-city.fll"),
                                     "# Tidies a city column.\n"
                                     "trim\n"
                                     "collapse-spaces\n"
                                     "replace \"St. \" \"Saint \" frist\n"
                                     "uper\n");

  QWidget owner;
  auto server = rowsmith::wordmill::createObject(rowsmith::wordmill::kWordmillProgId);
  rowsmith::gui::FilterEditorLink* link = rowsmith::gui::FilterEditorWindow::attach(server, owner);
  server->findWindow(names.toStdString());
  server->findWindow(broken.toStdString());
  server->show();
  rowsmith::gui::FilterEditorWindow& editor = *link->editor();
  editor.resize(760, 580);

  rowsmith::gui::FilterEditorTab* tab = editor.currentTab();
  tab->testInput()->setPlainText(QStringLiteral("  st. LOUIS "));
  // An unsaved change, so the tab shows its mark.
  tab->textEdit()->moveCursor(QTextCursor::End);
  tab->textEdit()->insertPlainText(QStringLiteral("null-if-empty\n"));
  tab->compile();
  saveGrab(editor, folder, QStringLiteral("filter-editor.png"));

  editor.tabs()->setCurrentIndex(0);
  tab = editor.currentTab();
  tab->testInput()->setPlainText(QStringLiteral("  lUDWIG   VAN BEETHOVEN "));
  tab->compile();
  saveGrab(editor, folder, QStringLiteral("filter-editor-test.png"));
}
