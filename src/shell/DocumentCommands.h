#pragma once

#include <QObject>
#include <QString>
#include <string>

#include "document/Settings.h"

class QWidget;

namespace rowsmith {
class TRecentStrings;
}

namespace rowsmith::gui {

class FileDialogComponent;
class QueryPage;
class SamplePage;
class TransformsPage;

// The job as a document: the current settings, the modified flag and the
// title, opening and saving settings files, and the copying between the
// settings and the page controls.
//
// Commands raise rowsmith::Error; the caller shows it (MessageBoxes).
//
// Threading: UI thread only.
class DocumentCommands : public QObject {
  Q_OBJECT

 public:
  struct Controls {
    QueryPage* query;
    SamplePage* sample;
    TransformsPage* transforms;
    FileDialogComponent* openDialog;
    FileDialogComponent* saveDialog;
  };

  DocumentCommands(QWidget& window, Controls controls, TRecentStrings& recentFiles);

  TSettings& settings() { return m_settings; }
  const TSettings& settings() const { return m_settings; }
  bool modified() const { return m_modified; }
  QString title() const { return m_title; }

  void setModified(bool modified);
  void changeOccured() { setModified(true); }
  void setTitle();

  void settingsToControls();
  void controlsToSettings(TSettings& target) const;

  // Loads a settings file, shows it and puts it first in the recent files.
  // A failed load changes nothing.
  void openFile(const std::string& path);
  void Open1Click();
  // Save and Save as: whether the job was saved (false when the user
  // cancelled the save dialog).
  bool Save1Click();
  bool Saveas1Click();
  void recentFilesClick(const std::string& path);
  // When the job has unsaved changes, asks "Save current settings?" and
  // saves on Yes. Whether the caller may go on: false on Cancel, and also
  // when the user answered Yes but then cancelled the save dialog, so that
  // no edit the user asked to keep is lost.
  bool saveChangesFirst();

 signals:
  void titleChanged(const QString& title);
  void recentFilesChanged();

 private:
  QWidget& m_window;
  Controls m_controls;
  TRecentStrings& m_recentFiles;
  TSettings m_settings;
  bool m_modified = false;
  QString m_title;
};

}  // namespace rowsmith::gui
