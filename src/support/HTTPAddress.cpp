#include "support/HTTPAddress.h"

#include <algorithm>
#include <charconv>

#include "common/AsciiCase.h"
#include "support/PercentEncoding.h"

namespace rowsmith {

namespace {

constexpr std::string_view kPlainScheme = "http://";
constexpr std::string_view kSecureScheme = "https://";

// The port named after a host, 0 when the text is not one.
int portNumber(std::string_view text) {
  int port = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return 0;
  return port >= 1 && port <= 65535 ? port : 0;
}

bool isHostNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_';
}

bool isIPv6Character(char c) {
  return (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || (c >= '0' && c <= '9') || c == ':' ||
         c == '.';
}

}  // namespace

HTTPAddress HTTPAddress::split(const std::string& url) {
  HTTPAddress address;
  const std::string lower = asciiLower(url);
  std::string_view rest = url;
  if (lower.starts_with(kSecureScheme)) {
    address.m_secure = true;
    rest.remove_prefix(kSecureScheme.size());
  } else if (lower.starts_with(kPlainScheme)) {
    rest.remove_prefix(kPlainScheme.size());
  }

  const std::size_t slash = rest.find('/');
  std::string_view host;
  if (slash == std::string_view::npos) {
    address.m_path = rest;
  } else {
    host = rest.substr(0, slash);
    address.m_path = rest.substr(slash);
  }

  address.m_port = address.m_secure ? 443 : 80;
  // The port follows the last colon, after the closing bracket of an IPv6 address.
  const std::size_t bracket = host.starts_with('[') ? host.find(']') : std::string_view::npos;
  const std::size_t colon = host.rfind(':');
  if (colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket)) {
    address.m_port = portNumber(host.substr(colon + 1));
    host = host.substr(0, colon);
  }
  address.m_host = host;
  return address;
}

bool HTTPAddress::valid() const {
  if (m_port == 0 || m_host.empty()) return false;
  if (m_host.front() == '[') {
    return m_host.size() > 2 && m_host.back() == ']' &&
           std::all_of(m_host.begin() + 1, m_host.end() - 1, isIPv6Character);
  }
  return std::all_of(m_host.begin(), m_host.end(), isHostNameCharacter);
}

std::string HTTPAddress::transferURL() const {
  std::string url(m_secure ? kSecureScheme : kPlainScheme);
  url += m_host + ":" + std::to_string(m_port);
  for (const char c : m_path) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F) {
      appendPercentEncoded(url, c);
    } else {
      url += c;
    }
  }
  return url;
}

}  // namespace rowsmith
