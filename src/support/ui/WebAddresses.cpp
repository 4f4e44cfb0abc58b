#include "support/ui/WebAddresses.h"

namespace rowsmith::gui {

namespace {
constexpr const char* kReferrer = "?referrer=rowsmith-2.2";
}

QString WebAddresses::site() { return QStringLiteral("https://www.morvane.example"); }

QString WebAddresses::productPage() {
  return site() + QStringLiteral("/rowsmith.html") + QLatin1String(kReferrer);
}

QString WebAddresses::homePage() { return site() + QStringLiteral("/") + QLatin1String(kReferrer); }

QString WebAddresses::supportPage() { return site() + QStringLiteral("/support.html"); }

QString WebAddresses::subscribePage() {
  return QStringLiteral("https://lists.morvane.example/subscribe/rowsmith");
}

QString WebAddresses::filterEnginePage() {
  return site() + QStringLiteral("/wordmill.html") + QLatin1String(kReferrer);
}

}  // namespace rowsmith::gui
