#include "shell/ComponentText.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QTabWidget>
#include <QToolBar>
#include <QWidget>

#include "shell/FileDialogComponent.h"

namespace rowsmith::gui {

namespace {

QString toStored(QString text) { return text.replace(QLatin1Char('\n'), QStringLiteral("\r\n")); }
QString toShown(QString text) { return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }

// The tab widget and index of a page of a tab widget, if the widget is one.
QTabWidget* tabOf(const QWidget* page, int& index) {
  auto* stack = qobject_cast<QStackedWidget*>(page->parentWidget());
  auto* tabs = stack ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr;
  index = tabs ? tabs->indexOf(const_cast<QWidget*>(page)) : -1;
  return index >= 0 ? tabs : nullptr;
}

QString readCaption(const QObject* c) {
  if (auto* action = qobject_cast<const QAction*>(c)) return action->text();
  if (auto* menu = qobject_cast<const QMenu*>(c)) return menu->title();
  if (auto* button = qobject_cast<const QAbstractButton*>(c)) return button->text();
  if (auto* label = qobject_cast<const QLabel*>(c)) return label->text();
  if (auto* group = qobject_cast<const QGroupBox*>(c)) return group->title();
  if (auto* widget = qobject_cast<const QWidget*>(c)) {
    int index = 0;
    if (QTabWidget* tabs = tabOf(widget, index)) return tabs->tabText(index);
    if (widget->isWindow() || qobject_cast<const QToolBar*>(c)) return widget->windowTitle();
  }
  return {};
}

void writeCaption(QObject* c, const QString& text) {
  if (auto* action = qobject_cast<QAction*>(c)) return action->setText(text);
  if (auto* menu = qobject_cast<QMenu*>(c)) return menu->setTitle(text);
  if (auto* button = qobject_cast<QAbstractButton*>(c)) return button->setText(text);
  if (auto* label = qobject_cast<QLabel*>(c)) return label->setText(text);
  if (auto* group = qobject_cast<QGroupBox*>(c)) return group->setTitle(text);
  if (auto* widget = qobject_cast<QWidget*>(c)) {
    int index = 0;
    if (QTabWidget* tabs = tabOf(widget, index)) return tabs->setTabText(index, text);
    if (widget->isWindow() || qobject_cast<QToolBar*>(c)) widget->setWindowTitle(text);
  }
}

QString readHint(const QObject* c) {
  if (auto* action = qobject_cast<const QAction*>(c)) return action->statusTip();
  if (auto* menu = qobject_cast<const QMenu*>(c)) return menu->menuAction()->statusTip();
  if (auto* widget = qobject_cast<const QWidget*>(c)) return widget->statusTip();
  return {};
}

void writeHint(QObject* c, const QString& text) {
  if (auto* action = qobject_cast<QAction*>(c)) {
    action->setStatusTip(text);
    return action->setToolTip(text);
  }
  if (auto* menu = qobject_cast<QMenu*>(c)) return menu->menuAction()->setStatusTip(text);
  if (auto* widget = qobject_cast<QWidget*>(c)) {
    widget->setStatusTip(text);
    widget->setToolTip(text);
  }
}

QString readText(const QObject* c) {
  if (auto* edit = qobject_cast<const QLineEdit*>(c)) return edit->text();
  if (auto* memo = qobject_cast<const QPlainTextEdit*>(c)) return memo->toPlainText();
  if (auto* combo = qobject_cast<const QComboBox*>(c))
    return combo->isEditable() ? combo->currentText() : QString();
  return {};
}

void writeText(QObject* c, const QString& text) {
  if (auto* edit = qobject_cast<QLineEdit*>(c)) return edit->setText(text);
  if (auto* memo = qobject_cast<QPlainTextEdit*>(c)) return memo->setPlainText(text);
  if (auto* combo = qobject_cast<QComboBox*>(c)) {
    if (combo->isEditable()) combo->setEditText(text);
  }
}

}  // namespace

QString ComponentText::read(const QObject* c, const QString& property) {
  if (property == QLatin1String("Caption")) return toStored(readCaption(c));
  if (property == QLatin1String("Hint")) return toStored(readHint(c));
  if (property == QLatin1String("Text")) return toStored(readText(c));
  if (auto* dialog = qobject_cast<const FileDialogComponent*>(c)) {
    if (property == QLatin1String("Title")) return dialog->title();
    if (property == QLatin1String("Filter")) return dialog->filter();
  }
  return {};
}

void ComponentText::write(QObject* c, const QString& property, const QString& text) {
  if (property == QLatin1String("Caption")) return writeCaption(c, toShown(text));
  if (property == QLatin1String("Hint")) return writeHint(c, toShown(text));
  if (property == QLatin1String("Text")) return writeText(c, toShown(text));
  if (auto* dialog = qobject_cast<FileDialogComponent*>(c)) {
    if (property == QLatin1String("Title")) return dialog->setTitle(text);
    if (property == QLatin1String("Filter")) return dialog->setFilter(text);
  }
}

}  // namespace rowsmith::gui
