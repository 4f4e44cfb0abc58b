#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace rowsmith::gui {

class FileDialogComponent;

// Every message box and file dialog of the desktop program goes through
// this seam, so that tests answer them without a person: they install a
// service that scripts the answers and fails on any dialog it did not
// expect.
//
// Threading: UI thread only.
class DialogService {
 public:
  // The four kinds of message box: plain information (no icon, OK),
  // warning (OK), error (OK), and confirmation ("Confirm", question icon,
  // Yes, No, Cancel).
  enum class Kind { Information, Warning, Error, Confirmation };
  enum class Answer { Ok, Yes, No, Cancel };

  virtual ~DialogService() = default;

  virtual Answer showMessage(QWidget* parent, Kind kind, const QString& caption,
                             const QString& text) = 0;
  // The chosen path, or nothing when the user cancelled.
  virtual std::optional<QString> getOpenFileName(QWidget* parent,
                                                 const FileDialogComponent& dialog) = 0;
  virtual std::optional<QString> getSaveFileName(QWidget* parent,
                                                 const FileDialogComponent& dialog) = 0;

  // The service in use: the one installed last, else the real dialogs.
  static DialogService& instance();
  // Installs a service (nullptr restores the real dialogs); returns the one
  // it replaced.
  static DialogService* install(DialogService* service);
};

}  // namespace rowsmith::gui
