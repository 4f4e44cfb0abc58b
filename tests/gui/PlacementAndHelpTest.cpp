// Window placement kept between sessions, and help: F1, the Help menu and
// the help window.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>

#include "WindowFixtureSupport.h"
#include "placement/FormInfo.h"
#include "shell/HelpKeyFilter.h"
#include "shell/MainMenus.h"
#include "support/ui/HelpBrowser.h"
#include "support/ui/HelpContexts.h"
#include "support/ui/HelpDispatch.h"

using rowsmith::gui::HelpContexts;
using rowsmith::gui::HelpDispatch;
using rowsmith::gui::HelpKeyFilter;
using rowsmith::gui::TForm1;
using rowsmith::gui::TFormInfo;
using rowsmith::gui_test::WindowFixture;

class PlacementAndHelpTest : public QObject {
  Q_OBJECT

 private slots:
  void firstStartIsCentredAtTheDesignSize();
  void theWindowComesBackWhereItWas();
  void aMaximizedWindowComesBackMaximized();
  void placesOffEveryScreenComeBackOnScreen();
  void f1ShowsTheTopicOfWhatTheUserIsLookingAt();
  void helpMenuItemsDispatchByTag();
  void theHelpWindowShowsTheShippedPages();
};

void PlacementAndHelpTest::firstStartIsCentredAtTheDesignSize() {
  WindowFixture fixture;
  TForm1& window = fixture.start();
  QCOMPARE(window.size(), QSize(479, 366));
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  QVERIFY(qAbs(window.geometry().center().x() - screen.center().x()) <= 1);
}

void PlacementAndHelpTest::theWindowComesBackWhereItWas() {
  WindowFixture fixture;
  {
    TForm1& window = fixture.start();
    window.show();
    window.setGeometry(40, 50, 600, 420);
    QVERIFY(window.close());
    fixture.destroy();
  }
  TForm1& next = fixture.start();
  QCOMPARE(next.geometry(), QRect(40, 50, 600, 420));
  const auto& values = fixture.store().values(rowsmith::PreferenceRoot::CurrentUser,
                                              "Software\\Morvane Software\\Rowsmith\\main");
  QCOMPARE(values.size(), std::size_t(5));
}

void PlacementAndHelpTest::aMaximizedWindowComesBackMaximized() {
  WindowFixture fixture;
  {
    TForm1& window = fixture.start();
    window.show();
    window.setGeometry(30, 30, 500, 400);
    QVERIFY(window.close());
    fixture.destroy();
  }
  {
    TForm1& window = fixture.start();
    window.showMaximized();
    QVERIFY(window.close());
    fixture.destroy();
  }
  TForm1& next = fixture.start();
  QVERIFY(next.windowState() & Qt::WindowMaximized);
  // The normal bounds stay those of the last normal close.
  QCOMPARE(fixture.store().readInteger(rowsmith::PreferenceRoot::CurrentUser,
                                       "Software\\Morvane Software\\Rowsmith\\main", "Width", 0),
           500);
}

void PlacementAndHelpTest::placesOffEveryScreenComeBackOnScreen() {
  const QList<QRect> screens{QRect(0, 0, 1280, 1024), QRect(1280, 0, 1920, 1080)};
  struct Case {
    QRect stored;
    QRect placed;
  };
  const Case cases[] = {
      {QRect(100, 100, 479, 366), QRect(100, 100, 479, 366)},    // on the first screen
      {QRect(1400, 200, 800, 600), QRect(1400, 200, 800, 600)},  // on the second
      {QRect(4000, 3000, 479, 366), QRect(801, 658, 479, 366)},  // a screen that is gone
      {QRect(-900, 100, 479, 366), QRect(0, 100, 479, 366)},     // left of every screen
      {QRect(500, 900, 479, 366), QRect(500, 658, 479, 366)},    // past the bottom edge
      {QRect(10, 10, 3000, 2000), QRect(1280, 0, 1920, 1080)},   // larger than any screen
  };
  for (const Case& c : cases) QCOMPARE(TFormInfo::placeOnScreens(c.stored, screens), c.placed);
}

void PlacementAndHelpTest::f1ShowsTheTopicOfWhatTheUserIsLookingAt() {
  WindowFixture fixture;
  TForm1& window = fixture.start();
  window.show();
  const int pages[] = {HelpContexts::kQueryPage, HelpContexts::kSamplePage,
                       HelpContexts::kTransformsPage, HelpContexts::kPreviewPage,
                       HelpContexts::kGoPage};
  for (int i = 0; i < 5; ++i) {
    window.pageControl()->setCurrentIndex(i);
    QCOMPARE(HelpKeyFilter::contextFor(window.goButton(), window), pages[i]);
  }
  // F1 on the page opens that page's help.
  window.pageControl()->setCurrentIndex(TForm1::GoIndex);
  QTest::keyClick(window.goButton(), Qt::Key_F1);
  QVERIFY(HelpDispatch::browser());
  QCOMPARE(HelpDispatch::browser()->currentPage(), QStringLiteral("page-go.html"));
  // A window with no topic of its own shows nothing; one with a topic shows it.
  QWidget plain;
  QCOMPARE(HelpKeyFilter::contextFor(&plain, window), -1);
  plain.setProperty("helpContext", HelpContexts::kProgressWindow);
  QCOMPARE(HelpKeyFilter::contextFor(&plain, window), int(HelpContexts::kProgressWindow));
}

void PlacementAndHelpTest::helpMenuItemsDispatchByTag() {
  WindowFixture fixture;
  TForm1& window = fixture.start();
  QList<QUrl> opened;
  HelpDispatch::setOpener([&](const QUrl& url) {
    opened << url;
    return true;
  });
  window.menus().productHomePage1->trigger();
  window.menus().morvaneSoftwareHomePage1->trigger();
  window.menus().technicalsupport1->trigger();
  window.menus().subscribeToUpdateList1->trigger();
  QPushButton otherProducts;
  HelpDispatch::onAboutButton(&otherProducts, 4);
  HelpDispatch::setOpener({});
  QCOMPARE(opened.size(), 5);
  QCOMPARE(opened[0].path(), QStringLiteral("/rowsmith.html"));
  QCOMPARE(opened[0].query(), QStringLiteral("referrer=rowsmith-2.2"));
  QCOMPARE(opened[1].path(), QStringLiteral("/"));
  QCOMPARE(opened[2].path(), QStringLiteral("/support.html"));
  QCOMPARE(opened[3].path(), QStringLiteral("/subscribe/rowsmith"));
  QVERIFY(opened[4].isLocalFile());
  QVERIFY(opened[4].toLocalFile().endsWith(QStringLiteral("/Products.Txt")));
  QCOMPARE(otherProducts.property("tag").toInt(), 4);
  // None of them leaves the reserved example domain.
  for (int i = 0; i < 4; ++i) QVERIFY(opened[i].host().endsWith(QStringLiteral(".example")));

  window.menus().index1->trigger();
  QCOMPARE(HelpDispatch::browser()->currentPage(), QStringLiteral("keywords.html"));
  window.menus().contents1->trigger();
  QCOMPARE(HelpDispatch::browser()->currentPage(), QStringLiteral("index.html"));
}

void PlacementAndHelpTest::theHelpWindowShowsTheShippedPages() {
  for (int context :
       {HelpContexts::kHelpMenu, HelpContexts::kFileMenu, HelpContexts::kQueryPage,
        HelpContexts::kSamplePage, HelpContexts::kTransformsPage, HelpContexts::kPreviewPage,
        HelpContexts::kGoPage, HelpContexts::kProgressWindow, HelpContexts::kUpdateDialog,
        HelpContexts::kConnectionBuilder, HelpContexts::kConnectionSource,
        HelpContexts::kFilterEditor}) {
    const QString page = HelpContexts::pageOf(context).section(QLatin1Char('#'), 0, 0);
    QVERIFY2(QFile::exists(QStringLiteral(ROWSMITH_SOURCE_DIR "/resources/help/") + page),
             qPrintable(page));
  }
  HelpDispatch::ShowHelpContext(HelpContexts::kQueryPage);
  const QString text = HelpDispatch::browser()->view()->toPlainText();
  QVERIFY2(!text.contains(QStringLiteral("Help page missing")), qPrintable(text));
  QCOMPARE(HelpDispatch::browser()->currentPage(), QStringLiteral("page-query.html"));
}

QTEST_MAIN(PlacementAndHelpTest)
#include "PlacementAndHelpTest.moc"
