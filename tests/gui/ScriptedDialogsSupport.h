#pragma once

// Answers the program's message boxes and file dialogs in tests, in the
// order the test expects them, and records any dialog it did not expect.

#include <QString>
#include <QStringList>
#include <deque>

#include "shell/DialogService.h"

namespace rowsmith::gui_test {

class ScriptedDialogs : public gui::DialogService {
 public:
  enum class Type { Message, Open, Save };
  struct Expected {
    Type type;
    // For a message: a text the box must contain (empty: any).
    QString contains;
    Answer answer = Answer::Ok;
    // For a file dialog: the chosen path, empty for Cancel.
    QString path;
  };

  ScriptedDialogs();
  ~ScriptedDialogs() override;

  void expectMessage(const QString& contains, Answer answer = Answer::Ok);
  void expectOpen(const QString& path);
  void expectSave(const QString& path);

  Answer showMessage(QWidget* parent, Kind kind, const QString& caption,
                     const QString& text) override;
  std::optional<QString> getOpenFileName(QWidget* parent,
                                         const gui::FileDialogComponent& dialog) override;
  std::optional<QString> getSaveFileName(QWidget* parent,
                                         const gui::FileDialogComponent& dialog) override;

  // Every dialog shown, as "kind: caption: text" or "open: title".
  QStringList shown;
  // Dialogs that came when none (or another kind) was expected.
  QStringList unexpected;
  bool allAnswered() const { return m_expected.empty(); }
  // The kind and caption of the last message box.
  Kind lastKind = Kind::Information;
  QString lastCaption;

 private:
  std::optional<Expected> take(Type type, const QString& description);

  std::deque<Expected> m_expected;
  gui::DialogService* m_previous;
};

}  // namespace rowsmith::gui_test
