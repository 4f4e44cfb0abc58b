#pragma once

// A TCP port on 127.0.0.1 that takes connections (the kernel completes
// them) and never says a word: a database server that does not answer.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

namespace rowsmith::db::testing {

class SilentServer {
 public:
  SilentServer() {
    m_socket = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_socket < 0 || bind(m_socket, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(m_socket, 4) != 0 ||
        getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
      throw std::runtime_error("cannot listen on 127.0.0.1");
    m_port = ntohs(address.sin_port);
  }
  ~SilentServer() { close(m_socket); }
  SilentServer(const SilentServer&) = delete;
  SilentServer& operator=(const SilentServer&) = delete;

  int port() const { return m_port; }
  // A PostgreSQL connection string for this server with libpq's own
  // time-out in seconds.
  std::string postgresString(int connectTimeout) const {
    return "Provider=PostgreSQL;Host=127.0.0.1;Port=" + std::to_string(m_port) +
           ";connect_timeout=" + std::to_string(connectTimeout);
  }

 private:
  int m_socket = -1;
  int m_port = 0;
};

}  // namespace rowsmith::db::testing
