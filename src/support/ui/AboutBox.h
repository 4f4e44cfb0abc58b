#pragma once

#include <QDialog>
#include <QList>

#include "shell/ComponentOwner.h"

class QLabel;
class QPushButton;
class QTabWidget;
class QTextEdit;

namespace rowsmith::gui {

// The About box (TABox): the banner, the product and its version with the
// icon and two buttons (the maker's web site, the document about the
// maker's other products), the release notes and the licence. The two text
// pages read their file (ShippedDocument) each time they are selected. The
// box has no button of its own for closing; its title bar closes it.
//
// Threading: UI thread only.
class TABox : public QDialog, public ComponentOwner {
  Q_OBJECT

 public:
  // The width at the least; the height follows the banner picture (shown at
  // its own size, centred) and the pages, and larger fonts make both larger.
  static constexpr int kDesignWidth = 536;
  enum Page { ApplicationIndex, WhatsNewIndex, LicenceIndex };
  static constexpr const char* kWhatsNewFile = "whatsnew.txt";
  static constexpr const char* kLicenceFile = "licence.txt";

  explicit TABox(QWidget* parent);

  QString componentClassName() const override { return QStringLiteral("TABox"); }
  QList<QObject*> ownedComponents() const override { return m_components; }

  QTabWidget* pageControl() const { return m_pageControl; }
  QLabel* banner() const { return m_banner; }
  QLabel* productName() const { return m_productName; }
  QLabel* programIcon() const { return m_programIcon; }
  QPushButton* webSiteButton() const { return m_button1; }
  QPushButton* otherProductsButton() const { return m_button2; }
  QTextEdit* whatsNew() const { return m_whatsNew; }
  QTextEdit* licence() const { return m_licence; }

 private:
  void buildFrame();
  QWidget* buildApplicationTab();
  QTextEdit* documentBox(const char* name);
  void FormCreate();
  void PageControlChange(int index);

  QList<QObject*> m_components;
  QLabel* m_banner = nullptr;
  QTabWidget* m_pageControl = nullptr;
  QLabel* m_programIcon = nullptr;
  QLabel* m_productName = nullptr;
  QLabel* m_comments = nullptr;
  QPushButton* m_button1 = nullptr;
  QPushButton* m_button2 = nullptr;
  QTextEdit* m_whatsNew = nullptr;
  QTextEdit* m_licence = nullptr;
};

}  // namespace rowsmith::gui
