#include "shell/FilterEditorLink.h"

#include <QEvent>
#include <QWidget>

#include "shell/FilterEditorWindow.h"
#include "wordmill/FilterServer.h"

namespace rowsmith::gui {

FilterEditorLink::FilterEditorLink(std::shared_ptr<wordmill::FilterApplication> server,
                                   QWidget& owner)
    : QObject(&owner), m_server(server), m_owner(owner) {
  setObjectName(QStringLiteral("FilterEditorLink"));
  // Not owning: the link's own lifetime decides how long the server can
  // reach it.
  m_registration = std::shared_ptr<wordmill::FilterServerListener>(
      static_cast<wordmill::FilterServerListener*>(this), [](wordmill::FilterServerListener*) {});
  if (server) server->addListener(m_registration);
  owner.installEventFilter(this);
}

FilterEditorWindow& FilterEditorLink::ensureEditor() {
  if (!m_editor) m_editor = new FilterEditorWindow(m_server, &m_owner);
  return *m_editor;
}

void FilterEditorLink::serverShown() { ensureEditor().showAndRaise(); }

void FilterEditorLink::windowFound(const std::string& path) {
  ensureEditor().openFile(QString::fromStdString(path));
}

void FilterEditorLink::windowCreated(const std::shared_ptr<wordmill::FilterWindow>& window) {
  // A window made while the editor is out of sight belongs to its caller
  // alone (filters compiled for a preview or a check); the editor shows the
  // others, such as the empty filter that Edit asks for after show.
  if (m_editor && m_editor->isVisible()) m_editor->adoptLater(window);
}

bool FilterEditorLink::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &m_owner && event->type() == QEvent::Close && m_editor &&
      !m_editor->saveChangesFirst()) {
    event->ignore();
    return true;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace rowsmith::gui
