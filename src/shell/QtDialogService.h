#pragma once

#include <memory>

#include "shell/DialogService.h"

class QMessageBox;

namespace rowsmith::gui {

// The real dialogs: QMessageBox and QFileDialog, modal to their parent.
// File dialogs without a folder of their own start in the process's current
// folder.
//
// Threading: UI thread only.
class QtDialogService : public DialogService {
 public:
  Answer showMessage(QWidget* parent, Kind kind, const QString& caption,
                     const QString& text) override;
  std::optional<QString> getOpenFileName(QWidget* parent,
                                         const FileDialogComponent& dialog) override;
  std::optional<QString> getSaveFileName(QWidget* parent,
                                         const FileDialogComponent& dialog) override;

  // The box showMessage shows, not yet shown.
  static std::unique_ptr<QMessageBox> createMessageBox(QWidget* parent, Kind kind,
                                                       const QString& caption, const QString& text);
};

}  // namespace rowsmith::gui
