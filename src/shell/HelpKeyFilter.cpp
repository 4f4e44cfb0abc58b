#include "shell/HelpKeyFilter.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QTabWidget>
#include <QVariant>

#include "support/ui/HelpDispatch.h"

namespace rowsmith::gui {

namespace {

int contextOf(const QObject* object) {
  const QVariant context = object ? object->property("helpContext") : QVariant();
  return context.isValid() ? context.toInt() : 0;
}

// The highlighted item's topic, else that of the nearest menu that has one.
int menuContext(QMenu* menu) {
  if (QAction* item = menu->activeAction()) {
    if (const int context = contextOf(item)) return context;
  }
  for (QObject* level = menu; level; level = level->parent()) {
    if (auto* parentMenu = qobject_cast<QMenu*>(level)) {
      if (const int context = contextOf(parentMenu)) return context;
    }
  }
  return 0;
}

}  // namespace

HelpKeyFilter::HelpKeyFilter(QMainWindow& mainWindow)
    : QObject(&mainWindow), m_mainWindow(mainWindow) {}

void HelpKeyFilter::install(QMainWindow& mainWindow) {
  qApp->installEventFilter(new HelpKeyFilter(mainWindow));
}

int HelpKeyFilter::contextFor(QObject* target, QMainWindow& mainWindow) {
  if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget()))
    return menuContext(menu);
  auto* widget = qobject_cast<QWidget*>(target);
  if (!widget) return -1;
  if (widget->window() == &mainWindow) {
    auto* pages = mainWindow.findChild<QTabWidget*>(QStringLiteral("PageControl"));
    return pages ? contextOf(pages->currentWidget()) : 0;
  }
  for (QWidget* level = widget; level; level = level->parentWidget()) {
    if (const int context = contextOf(level)) return context;
    if (level->isWindow()) break;
  }
  return -1;
}

bool HelpKeyFilter::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::NoModifier) return false;
  if (!qobject_cast<QWidget*>(watched)) return false;
  if (event->type() == QEvent::ShortcutOverride) {
    // Claim F1 so that no shortcut takes it; the key press that follows is
    // handled below.
    event->accept();
    return true;
  }
  const int context = contextFor(watched, m_mainWindow);
  if (context < 0) return true;
  if (context == 0)
    HelpDispatch::ShowHelpContents();
  else
    HelpDispatch::ShowHelpContext(context);
  return true;
}

}  // namespace rowsmith::gui
