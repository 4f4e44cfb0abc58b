#pragma once

#include <QObject>
#include <QPointer>
#include <memory>
#include <string>

#include "wordmill/FilterServerListener.h"

class QWidget;

namespace rowsmith::wordmill {
class FilterApplication;
}

namespace rowsmith::gui {

class FilterEditorWindow;

// Ties a filter server to the filter editor (see FilterEditorWindow::attach):
// listens to the server, makes the editor the first time the server needs
// it, and asks the editor about unsaved filters before the owner window
// closes. The server holds the link only weakly, so either may go first.
//
// Threading: UI thread only, the thread of the server.
class FilterEditorLink : public QObject, public wordmill::FilterServerListener {
  Q_OBJECT

 public:
  FilterEditorLink(std::shared_ptr<wordmill::FilterApplication> server, QWidget& owner);

  // The editor, or nullptr while nothing has needed it.
  FilterEditorWindow* editor() const { return m_editor; }
  // The editor, made now when there is none.
  FilterEditorWindow& ensureEditor();

  void serverShown() override;
  void windowFound(const std::string& path) override;
  void windowCreated(const std::shared_ptr<wordmill::FilterWindow>& window) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::weak_ptr<wordmill::FilterApplication> m_server;
  QWidget& m_owner;
  QPointer<FilterEditorWindow> m_editor;
  // What the server holds weakly: it expires with the link.
  std::shared_ptr<wordmill::FilterServerListener> m_registration;
};

}  // namespace rowsmith::gui
