#pragma once

#include <QObject>
#include <QRect>
#include <QString>

class QWidget;

namespace rowsmith {
class PreferenceStore;
}

namespace rowsmith::gui {

// Keeps a window's size, position and maximized state in the preference
// store, under "Software\" Company "\" AppName "\" FormName of the current
// user: the integers "Width", "Height", "Left" and "Top" (the bounds last
// seen in the normal state) and "WindowState" (1 normal, 0 otherwise).
//
// Load restores what Save wrote. Missing or mistyped values end Load
// silently, keeping what was already applied. A place that lies outside
// every screen of today (a screen removed or made smaller since) is brought
// back onto the nearest screen, shrunk to fit, rather than lost off screen.
//
// Threading: UI thread only.
class TFormInfo : public QObject {
  Q_OBJECT

 public:
  TFormInfo(QWidget& owner, PreferenceStore& store);

  QString Company = QStringLiteral("Morvane Software");
  // Empty: the program file's name without its extension.
  QString AppName;
  // Empty: the owning window's objectName.
  QString FormName;
  bool recordSize = true;
  bool recordPosition = true;

  void Load();
  // Writes the values and saves the store; errors are swallowed.
  void Save();

  // The registry-style key path the values live under.
  QString keyPath() const;

  // Where a window with the bounds `stored` is placed when the screens
  // have the given available areas: unchanged when it lies wholly on one of
  // them; otherwise moved onto (and shrunk to fit) the one it overlaps most,
  // or the first when it overlaps none.
  static QRect placeOnScreens(const QRect& stored, const QList<QRect>& screens);

 private:
  void defaultValues();

  QWidget& m_owner;
  PreferenceStore& m_store;
};

}  // namespace rowsmith::gui
