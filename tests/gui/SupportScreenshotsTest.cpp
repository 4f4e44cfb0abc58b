// The screenshots of the update dialog and the About box. With
// SCREENSHOT_FOLDER set they are written there to be looked at.
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include "screenshots/SupportScreenshots.h"
#include "support/ui/AboutBox.h"
#include "support/ui/UpdateForm.h"

using rowsmith::gui::TABox;
using rowsmith::gui::TupdateForm;

class SupportScreenshotsTest : public QObject {
  Q_OBJECT

 private slots:
  void writesEveryPictureAtTheWindowsSize();
};

void SupportScreenshotsTest::writesEveryPictureAtTheWindowsSize() {
  QTemporaryDir scratch;
  const QString folder = qEnvironmentVariableIsSet("SCREENSHOT_FOLDER")
                             ? qEnvironmentVariable("SCREENSHOT_FOLDER")
                             : scratch.path();
  renderSupportScreenshots(folder);

  const QImage update(folder + QStringLiteral("/update.png"));
  QVERIFY(update.width() >= TupdateForm::kDesignWidth);
  QVERIFY(update.height() >= TupdateForm::kDesignHeight);
  QSize aboutSize;
  for (const char* name : {"about-application.png", "about-notes.png", "about-licence.png"}) {
    const QImage page(folder + QLatin1Char('/') + QLatin1String(name));
    QVERIFY2(page.width() >= TABox::kDesignWidth, name);
    if (aboutSize.isEmpty()) aboutSize = page.size();
    QCOMPARE(page.size(), aboutSize);
  }
}

QTEST_MAIN(SupportScreenshotsTest)
#include "SupportScreenshotsTest.moc"
