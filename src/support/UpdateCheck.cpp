#include "support/UpdateCheck.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "common/AsciiCase.h"
#include "common/Error.h"
#include "common/ProgramDir.h"
#include "document/PreferenceStore.h"
#include "document/Settings.h"
#include "localisation/LangString.h"
#include "localisation/NumberedTexts.h"
#include "localisation/TextPattern.h"
#include "support/HTTPGet.h"
#include "support/PercentEncoding.h"
#include "support/Product.h"
#include "support/VersionsList.h"

namespace rowsmith {

namespace {

constexpr auto kMachine = PreferenceRoot::LocalMachine;

// The program's key, where the preferences of the current user live too.
std::string programKey() { return TSettings::registryName(0); }

std::string_view withoutBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// The whole day nearest to a day number, as the store keeps it.
std::int32_t storedDay(double dayNumber) {
  if (!std::isfinite(dayNumber)) return 0;
  const double limit = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(std::lround(std::clamp(dayNumber, -limit, limit)));
}

}  // namespace

UpdateCheck::UpdateCheck(PreferenceStore& store, Clock today)
    : m_store(store), m_today(std::move(today)) {}

void UpdateCheck::loadNextCheckDate() {
  m_nextCheckDate = m_store.readInteger(kMachine, programKey(), kDateValue, 0);
}

void UpdateCheck::saveNextCheckDate() {
  try {
    if (!m_store.openKey(kMachine, programKey(), true)) return;
    m_store.writeInteger(kMachine, programKey(), kDateValue, storedDay(m_nextCheckDate));
    m_store.writeText(kMachine, programKey(), kRootDirValue, programDir());
    m_store.save();
  } catch (const Error&) {
    // Not worth troubling the user: the check only runs again sooner.
  }
}

bool UpdateCheck::isDue() const { return m_today() >= m_nextCheckDate; }

double UpdateCheck::initialPickerDate() const {
  if (m_nextCheckDate != 0) return std::floor(m_nextCheckDate);
  return m_today() + kDaysAheadInPicker;
}

void UpdateCheck::postponeUntil(double pickedDay) {
  m_nextCheckDate = std::floor(pickedDay) + kPickerTimeOfDay;
  saveNextCheckDate();
}

std::string UpdateCheck::serverAddress() const {
  const std::string stored = m_store.readText(kMachine, programKey(), kServerValue, kDefaultServer);
  std::string address(withoutBlanks(stored));
  while (!address.empty() && address.back() == '/') address.pop_back();
  const std::string lower = asciiLower(address);
  if (!lower.starts_with("http://") && !lower.starts_with("https://")) {
    address.insert(0, "http://");
  }
  return address;
}

std::string UpdateCheck::requestURL() const {
  return serverAddress() + "/versions.txt?application=" + URLEncode(product::kName) +
         "&ver=" + URLEncode(product::kVersion);
}

std::string UpdateCheck::homePageURL() const {
  const std::string address = serverAddress();
  const std::size_t hostStart = address.find("://") + 3;
  return address.substr(0, address.find('/', hostStart)) + "/";
}

void UpdateCheck::fetchPage(THTTPGet& getter) const {
  getter.setURL(requestURL());
  getter.setAgent(product::kName);
  getter.FetchString();
}

UpdateVerdict UpdateCheck::answerArrived(std::string_view answer) {
  m_nextCheckDate = m_today() + kDaysAfterAnswer;
  const std::optional<std::string> field = VersionsList::productField(answer, product::kName);
  if (!field) {
    return {UpdateVerdict::Kind::NotFound, withProductName(LangString(texts::kUpdateNotFound))};
  }
  return checkVersion(*field);
}

UpdateVerdict UpdateCheck::checkVersion(std::string_view field) {
  const std::string_view stamp = VersionsList::stampText(field);
  const std::optional<double> value = VersionsList::stampValue(stamp);
  if (!value) {
    return {UpdateVerdict::Kind::InvalidStamp,
            formatPattern(LangString(texts::kInvalidStamp), {product::kName, stamp})};
  }
  if (*value > product::kBuildStamp) {
    return {UpdateVerdict::Kind::UpdateAvailable,
            withProductName(LangString(texts::kUpdateAvailable))};
  }
  return {UpdateVerdict::Kind::UpToDate, withProductName(LangString(texts::kUpToDate))};
}

std::string UpdateCheck::URLEncode(std::string_view text) {
  std::string encoded;
  for (const char c : text) {
    const bool kept = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                      c == '*' || c == '-' || c == '.' || c == '_';
    if (kept) {
      encoded += c;
    } else if (c == ' ') {
      encoded += '+';
    } else {
      appendPercentEncoded(encoded, c);
    }
  }
  return encoded;
}

std::string UpdateCheck::withProductName(std::string_view pattern) {
  return formatPattern(pattern, {product::kName});
}

std::string UpdateCheck::checkingText() { return LangString(texts::kCheckingForUpdate); }

std::string UpdateCheck::connectionErrorText() { return LangString(texts::kErrorConnecting); }

}  // namespace rowsmith
