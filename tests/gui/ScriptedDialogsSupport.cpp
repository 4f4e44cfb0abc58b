#include "ScriptedDialogsSupport.h"

#include "shell/FileDialogComponent.h"

namespace rowsmith::gui_test {

ScriptedDialogs::ScriptedDialogs() : m_previous(gui::DialogService::install(this)) {}

ScriptedDialogs::~ScriptedDialogs() { gui::DialogService::install(m_previous); }

void ScriptedDialogs::expectMessage(const QString& contains, Answer answer) {
  m_expected.push_back({Type::Message, contains, answer, {}});
}

void ScriptedDialogs::expectOpen(const QString& path) {
  m_expected.push_back({Type::Open, {}, Answer::Ok, path});
}

void ScriptedDialogs::expectSave(const QString& path) {
  m_expected.push_back({Type::Save, {}, Answer::Ok, path});
}

std::optional<ScriptedDialogs::Expected> ScriptedDialogs::take(Type type,
                                                               const QString& description) {
  shown << description;
  if (m_expected.empty() || m_expected.front().type != type) {
    unexpected << description;
    return std::nullopt;
  }
  Expected next = m_expected.front();
  m_expected.pop_front();
  return next;
}

gui::DialogService::Answer ScriptedDialogs::showMessage(QWidget*, Kind kind, const QString& caption,
                                                        const QString& text) {
  lastKind = kind;
  lastCaption = caption;
  const auto expected = take(Type::Message, QStringLiteral("message: %1: %2").arg(caption, text));
  if (!expected) return kind == Kind::Confirmation ? Answer::Cancel : Answer::Ok;
  if (!expected->contains.isEmpty() && !text.contains(expected->contains))
    unexpected << QStringLiteral("message without \"%1\": %2").arg(expected->contains, text);
  return expected->answer;
}

std::optional<QString> ScriptedDialogs::getOpenFileName(QWidget*,
                                                        const gui::FileDialogComponent& dialog) {
  const auto expected = take(Type::Open, QStringLiteral("open: ") + dialog.title());
  if (!expected || expected->path.isEmpty()) return std::nullopt;
  return expected->path;
}

std::optional<QString> ScriptedDialogs::getSaveFileName(QWidget*,
                                                        const gui::FileDialogComponent& dialog) {
  const auto expected = take(Type::Save, QStringLiteral("save: ") + dialog.title());
  if (!expected || expected->path.isEmpty()) return std::nullopt;
  return expected->path;
}

}  // namespace rowsmith::gui_test
