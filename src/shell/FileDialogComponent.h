#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

namespace rowsmith::gui {

// A file dialog as a window describes it: title, filter, default extension
// and options. It is a component of its window (so the language file can
// translate its title and filter); DialogService shows it.
//
// The filter is written as pairs of a description and a mask separated by
// "|": "Rowsmith Files (*.rsm)|*.rsm|All files (*.*)|*.*". A mask of "*.*"
// stands for every file, also those without a dot in their name.
//
// Threading: UI thread only.
class FileDialogComponent : public QObject {
  Q_OBJECT
  Q_PROPERTY(QString title READ title WRITE setTitle)
  Q_PROPERTY(QString filter READ filter WRITE setFilter)

 public:
  FileDialogComponent(const QString& name, QObject* parent);

  QString title() const { return m_title; }
  void setTitle(const QString& title) { m_title = title; }
  QString filter() const { return m_filter; }
  void setFilter(const QString& filter) { m_filter = filter; }
  // Added, without its dot, to a name typed without an extension.
  QString defaultExtension() const { return m_defaultExtension; }
  void setDefaultExtension(const QString& extension) { m_defaultExtension = extension; }
  // The file name the dialog starts with (empty for none).
  QString fileName() const { return m_fileName; }
  void setFileName(const QString& fileName) { m_fileName = fileName; }
  QString initialDirectory() const { return m_initialDirectory; }
  void setInitialDirectory(const QString& directory) { m_initialDirectory = directory; }
  bool mustExist() const { return m_mustExist; }
  void setMustExist(bool mustExist) { m_mustExist = mustExist; }
  bool confirmOverwrite() const { return m_confirmOverwrite; }
  void setConfirmOverwrite(bool confirm) { m_confirmOverwrite = confirm; }

  // The filter as Qt's name filters: "Rowsmith Files (*.rsm)", "All files (*)".
  QStringList qtNameFilters() const;

 private:
  QString m_title;
  QString m_filter;
  QString m_defaultExtension;
  QString m_fileName;
  QString m_initialDirectory;
  bool m_mustExist = false;
  bool m_confirmOverwrite = false;
};

}  // namespace rowsmith::gui
