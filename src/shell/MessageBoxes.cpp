#include "shell/MessageBoxes.h"

#include <exception>

#include "common/Error.h"
#include "common/ErrorText.h"

namespace rowsmith::gui {

namespace {

QString& title() {
  static QString text = QStringLiteral("Rowsmith");
  return text;
}

}  // namespace

QString MessageBoxes::applicationTitle() { return title(); }

void MessageBoxes::setApplicationTitle(const QString& text) { title() = text; }

void MessageBoxes::showError(QWidget* parent, const std::string& message) {
  DialogService::instance().showMessage(parent, DialogService::Kind::Error, title(),
                                        QString::fromStdString(messageWithFullStop(message)));
}

void MessageBoxes::showPlain(QWidget* parent, const std::string& text) {
  DialogService::instance().showMessage(parent, DialogService::Kind::Information, title(),
                                        QString::fromStdString(text));
}

DialogService::Answer MessageBoxes::askSaveCurrentSettings(QWidget* parent) {
  return DialogService::instance().showMessage(parent, DialogService::Kind::Confirmation,
                                               QStringLiteral("Confirm"),
                                               QStringLiteral("Save current settings?"));
}

bool MessageBoxes::runGuarded(QWidget* parent, const std::function<void()>& command) {
  try {
    command();
    return true;
  } catch (const SilentAbort&) {
    return false;
  } catch (const std::exception& error) {
    showError(parent, error.what());
    return false;
  }
}

}  // namespace rowsmith::gui
