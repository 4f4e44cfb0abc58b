#pragma once

#include <string>

namespace rowsmith {

// Where a URL of the HTTP getter points: host, port and path, and whether the
// connection is encrypted.
//
// A URL that begins with "http://" or "https://" (in any letter case) loses
// that scheme; without one it counts as "http://". The host is the text
// before the first "/", the path everything from that "/" on, query
// included. A URL without any "/" after its scheme has no host (and so no
// transfer). The host may name a port after a colon ("example.com:8080",
// "[::1]:8080"); otherwise the port is 80, or 443 with "https://".
//
// Threading: a value; safe to copy between threads.
class HTTPAddress {
 public:
  static HTTPAddress split(const std::string& url);

  bool secure() const { return m_secure; }
  // The host name or address without its port; IPv6 addresses keep their brackets.
  const std::string& host() const { return m_host; }
  int port() const { return m_port; }
  const std::string& path() const { return m_path; }

  // Whether a transfer can be tried: a host of the characters a host name or
  // address may have, and a port from 1 to 65535.
  bool valid() const;
  // The address written out for the transfer library: scheme, host, port and
  // path, with blanks, control characters and bytes above 127 of the path
  // percent-encoded.
  std::string transferURL() const;

 private:
  bool m_secure = false;
  std::string m_host;
  int m_port = 0;
  std::string m_path;
};

}  // namespace rowsmith
