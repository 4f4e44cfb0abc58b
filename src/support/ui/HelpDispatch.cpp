#include "support/ui/HelpDispatch.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QObject>
#include <QPointer>
#include <QVariant>

#include "common/ResourcePath.h"
#include "support/ui/HelpBrowser.h"
#include "support/ui/HelpContexts.h"
#include "support/ui/WebAddresses.h"

namespace rowsmith::gui {

namespace {

HelpDispatch::Opener& opener() {
  static HelpDispatch::Opener installed;
  return installed;
}

QPointer<HelpBrowser>& openBrowser() {
  static QPointer<HelpBrowser> window;
  return window;
}

void showPage(const QString& page) {
  QPointer<HelpBrowser>& window = openBrowser();
  if (!window) {
    window = new HelpBrowser(HelpDispatch::helpFolder());
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, window.data(), &QObject::deleteLater);
  }
  window->showPage(page);
}

}  // namespace

void HelpDispatch::setOpener(Opener replacement) { opener() = std::move(replacement); }

QString HelpDispatch::helpFolder() { return QString::fromStdString(resourcePath("help")); }

HelpBrowser* HelpDispatch::browser() { return openBrowser().data(); }

void HelpDispatch::ShowHelpContext(int context) { showPage(HelpContexts::pageOf(context)); }

void HelpDispatch::ShowHelpContents() {
  showPage(QString::fromLatin1(HelpContexts::kContentsPage));
}

void HelpDispatch::ShowHelpIndex() { showPage(QString::fromLatin1(HelpContexts::kIndexPage)); }

void HelpDispatch::Usermanual1Click(QObject* sender) {
  const QVariant tag = sender ? sender->property("tag") : QVariant();
  switch (tag.isValid() ? tag.toInt() : -1) {
    case 0:
      return ShowHelpContents();
    case 4:
      ShellOpen(QString::fromStdString(resourcePath("Products.Txt")));
      return;
    case 6:
      ShellOpen(WebAddresses::productPage());
      return;
    case 7:
      ShellOpen(WebAddresses::homePage());
      return;
    case 8:
      ShellOpen(WebAddresses::supportPage());
      return;
    case 9:
      return ShowHelpIndex();
    case 10:
      ShellOpen(WebAddresses::subscribePage());
      return;
    default:
      return;
  }
}

void HelpDispatch::onAboutButton(QObject* sender, int code) {
  const int tag = code == 3 ? 7 : code == 4 ? 4 : 0;
  sender->setProperty("tag", tag);
  Usermanual1Click(sender);
}

bool HelpDispatch::ShellOpen(const QString& target) {
  const QUrl url =
      target.contains(QStringLiteral("://")) ? QUrl(target) : QUrl::fromLocalFile(target);
  if (opener()) return opener()(url);
  return QDesktopServices::openUrl(url);
}

}  // namespace rowsmith::gui
