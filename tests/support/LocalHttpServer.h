#pragma once

// The test server of tests/support/http_test_server.py, started on free ports
// of 127.0.0.1 for as long as the object lives. See the script for its pages.

#include <sys/types.h>

#include <string>

namespace rowsmith::support_test {

class LocalHttpServer {
 public:
  LocalHttpServer();
  ~LocalHttpServer();
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  // "127.0.0.1:PORT", the plain server's host and port.
  std::string hostAndPort() const;
  // "http://127.0.0.1:PORT" + path.
  std::string url(const std::string& path) const;
  // "https://127.0.0.1:TLSPORT" + path, served with a self-signed certificate.
  std::string secureUrl(const std::string& path) const;

  // A port of 127.0.0.1 on which nothing listens.
  static int refusedPort();

 private:
  pid_t m_pid = -1;
  int m_port = 0;
  int m_tlsPort = 0;
};

// The bytes of text as the hexadecimal digits that the server's /answer/ pages take.
std::string hexDigits(const std::string& text);

}  // namespace rowsmith::support_test
