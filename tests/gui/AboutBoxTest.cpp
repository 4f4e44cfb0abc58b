// The About box: what it shows, its buttons, and its two text pages read
// afresh on every selection.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QUrl>
#include <functional>

#include "WindowFixtureSupport.h"
#include "common/ResourcePath.h"
#include "shell/MainMenus.h"
#include "support/ui/AboutBox.h"
#include "support/ui/HelpDispatch.h"
#include "support/ui/RtfText.h"
#include "support/ui/ShippedDocument.h"
#include "support/ui/WebAddresses.h"

using rowsmith::gui::HelpDispatch;
using rowsmith::gui::RtfText;
using rowsmith::gui::ShippedDocument;
using rowsmith::gui::TABox;
using rowsmith::gui::TForm1;
using rowsmith::gui::WebAddresses;
using rowsmith::gui_test::WindowFixture;

namespace {

// Runs check on the About box that the Help menu opens, then closes it.
void withBoxFromMenu(TForm1& window, const std::function<void(TABox&)>& check) {
  bool seen = false;
  QTimer::singleShot(0, &window, [&] {
    auto* box = qobject_cast<TABox*>(QApplication::activeModalWidget());
    if (!box) return;
    seen = true;
    check(*box);
    box->close();
  });
  window.menus().about1->trigger();
  QVERIFY2(seen, "the About box did not open modally");
}

QString fileText(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Makes a scratch folder the current one for the life of the object.
class CurrentFolder {
 public:
  CurrentFolder() : m_previous(QDir::currentPath()) { QDir::setCurrent(m_folder.path()); }
  ~CurrentFolder() { QDir::setCurrent(m_previous); }
  void write(const QString& name, const QByteArray& bytes) const {
    QFile file(m_folder.filePath(name));
    if (!file.open(QIODevice::WriteOnly)) qFatal("cannot write %s", qPrintable(name));
    file.write(bytes);
  }
  void remove(const QString& name) const { QFile::remove(m_folder.filePath(name)); }

 private:
  QTemporaryDir m_folder;
  QString m_previous;
};

}  // namespace

class AboutBoxTest : public QObject {
  Q_OBJECT

 private slots:
  void theBoxFromTheHelpMenu();
  void theTitleComesFromNumber190();
  void theButtonsLeadToTheSiteAndTheProductList();
  void thePagesReadTheirFileOnEverySelection();
  void aMissingDocumentSaysSo();
  void rtfIsShownAsItsText_data();
  void rtfIsShownAsItsText();
};

void AboutBoxTest::theBoxFromTheHelpMenu() {
  WindowFixture fixture;
  TForm1& window = fixture.start();
  withBoxFromMenu(window, [](TABox& box) {
    QCOMPARE(box.windowTitle(), QStringLiteral("About Rowsmith"));
    QCOMPARE(box.productName()->text(), QStringLiteral("Rowsmith v2.2"));
    QCOMPARE(box.pageControl()->currentIndex(), int(TABox::ApplicationIndex));
    QCOMPARE(box.pageControl()->tabText(1), QStringLiteral("Release Notes"));
    QCOMPARE(box.pageControl()->tabText(2), QStringLiteral("License Agreement"));
    QVERIFY(!box.banner()->pixmap().isNull());
    QVERIFY(!box.programIcon()->pixmap().isNull());
    QCOMPARE(box.webSiteButton()->text(), QStringLiteral("&Web site"));
    QCOMPARE(box.otherProductsButton()->toolTip(),
             QStringLiteral("Information about other Morvane Software applications"));
    QCOMPARE(box.webSiteButton()->cursor().shape(), Qt::PointingHandCursor);
    QVERIFY(box.whatsNew()->isReadOnly());
    QCOMPARE(box.whatsNew()->focusPolicy(), Qt::ClickFocus);
    QVERIFY(box.width() >= TABox::kDesignWidth);
  });
  QVERIFY(fixture.dialogs.shown.isEmpty());
}

void AboutBoxTest::theTitleComesFromNumber190() {
  WindowFixture fixture;
  fixture.writeFile(QStringLiteral("Languages/English.ini"),
                    "[global]\r\n190=A propos de %s\r\n[TABox]\r\nButton1.Caption=Site &web\r\n");
  TForm1& window = fixture.start({}, false);
  TABox box(&window);
  QCOMPARE(box.windowTitle(), QStringLiteral("A propos de Rowsmith"));
  QCOMPARE(box.webSiteButton()->text(), QStringLiteral("Site &web"));
}

void AboutBoxTest::theButtonsLeadToTheSiteAndTheProductList() {
  WindowFixture fixture;
  TForm1& window = fixture.start();
  QList<QUrl> opened;
  HelpDispatch::setOpener([&](const QUrl& url) {
    opened << url;
    return true;
  });
  TABox box(&window);
  box.webSiteButton()->click();
  box.otherProductsButton()->click();
  HelpDispatch::setOpener({});
  QCOMPARE(opened.size(), 2);
  QCOMPARE(opened[0], QUrl(WebAddresses::homePage()));
  QCOMPARE(opened[1],
           QUrl::fromLocalFile(QString::fromStdString(rowsmith::resourcePath("Products.Txt"))));
  QCOMPARE(box.webSiteButton()->property("tag").toInt(), 7);
}

void AboutBoxTest::thePagesReadTheirFileOnEverySelection() {
  WindowFixture fixture;
  TForm1& window = fixture.start();
  CurrentFolder folder;
  folder.write(QStringLiteral("whatsnew.txt"), "First notes\r\nline two");
  folder.write(QStringLiteral("licence.txt"),
               "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 Licence terms\\par Second line}");
  TABox box(&window);
  QCOMPARE(box.whatsNew()->toPlainText(), QString());

  box.pageControl()->setCurrentIndex(TABox::WhatsNewIndex);
  QCOMPARE(box.whatsNew()->toPlainText(), QStringLiteral("First notes\nline two"));
  box.pageControl()->setCurrentIndex(TABox::LicenceIndex);
  QCOMPARE(box.licence()->toPlainText(), QStringLiteral("Licence terms\nSecond line"));

  folder.write(QStringLiteral("whatsnew.txt"), "Edited notes");
  box.pageControl()->setCurrentIndex(TABox::ApplicationIndex);
  box.pageControl()->setCurrentIndex(TABox::WhatsNewIndex);
  QCOMPARE(box.whatsNew()->toPlainText(), QStringLiteral("Edited notes"));

  // Without a copy in the current folder, the program's own copy is shown.
  folder.remove(QStringLiteral("whatsnew.txt"));
  box.pageControl()->setCurrentIndex(TABox::LicenceIndex);
  box.pageControl()->setCurrentIndex(TABox::WhatsNewIndex);
  const QString shipped =
      fileText(QString::fromStdString(rowsmith::resourcePath(TABox::kWhatsNewFile)));
  QVERIFY(shipped.startsWith(QStringLiteral("Rowsmith 2.2 - Release Notes")));
  QCOMPARE(box.whatsNew()->toPlainText(), shipped);
}

void AboutBoxTest::aMissingDocumentSaysSo() {
  CurrentFolder folder;
  // No copy in the current folder and none among the program's files.
  QCOMPARE(ShippedDocument::read(QStringLiteral("no-such-notes.txt")),
           QStringLiteral("Cannot open file no-such-notes.txt"));
  folder.write(QStringLiteral("no-such-notes.txt"), "found");
  QCOMPARE(ShippedDocument::read(QStringLiteral("no-such-notes.txt")), QStringLiteral("found"));
}

void AboutBoxTest::rtfIsShownAsItsText_data() {
  QTest::addColumn<QByteArray>("rtf");
  QTest::addColumn<QString>("text");

  QTest::newRow("paragraphs and tabs")
      << QByteArray(
             "{\\rtf1\\ansi\\deff0 {\\fonttbl{\\f0\\fswiss Arial;}}"
             "{\\colortbl;\\red0\\green0\\blue0;}\\pard\\b Title\\b0\\par\r\n"
             "one\\tab two\\line three\\par}")
      << QStringLiteral("Title\none\ttwo\nthree\n");
  QTest::newRow("escapes") << QByteArray("{\\rtf1 a \\{b\\} c\\\\d}")
                           << QStringLiteral("a {b} c\\d");
  QTest::newRow("bytes and unicode")
      << QByteArray("{\\rtf1\\ansi caf\\'e9 \\'93q\\'94 \\u8212\\'97 \\uc0\\u8364 ; end}")
      << QString::fromUtf8("caf\u00e9 \u201cq\u201d \u2014 \u20ac; end");
  QTest::newRow("hidden destinations")
      << QByteArray("{\\rtf1{\\*\\generator Writer;}{\\info{\\title T}}Body{\\*\\x hidden}.}")
      << QStringLiteral("Body.");
}

void AboutBoxTest::rtfIsShownAsItsText() {
  QFETCH(QByteArray, rtf);
  QFETCH(QString, text);
  QVERIFY(RtfText::isRtf(rtf));
  QCOMPARE(RtfText::toPlainText(rtf), text);
}

QTEST_MAIN(AboutBoxTest)
#include "AboutBoxTest.moc"
