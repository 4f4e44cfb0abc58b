#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <stdexcept>

#include "support/LocalHttpServer.h"

namespace rowsmith::support_test {

namespace {

// Debian's interpreter starts fastest; any python3 will do.
const char* pythonPath() {
  return ::access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
}

// The first line the server writes, within a minute.
std::string readLine(int fd) {
  std::string line;
  char c = 0;
  while (true) {
    pollfd ready{fd, POLLIN, 0};
    if (::poll(&ready, 1, 60000) <= 0 || ::read(fd, &c, 1) != 1) break;
    if (c == '\n') break;
    line += c;
  }
  return line;
}

}  // namespace

LocalHttpServer::LocalHttpServer() {
  // Requests to the test server never go through a proxy of the environment.
  ::setenv("no_proxy", "*", 1);
  ::setenv("NO_PROXY", "*", 1);

  const std::string script = ROWSMITH_SOURCE_DIR "/tests/support/http_test_server.py";
  int output[2];
  if (::pipe(output) != 0) throw std::runtime_error("pipe failed");
  m_pid = ::fork();
  if (m_pid == 0) {
    ::dup2(output[1], STDOUT_FILENO);
    ::close(output[0]);
    ::close(output[1]);
    ::execlp(pythonPath(), "python3", script.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(output[1]);
  std::istringstream ports(readLine(output[0]));
  ::close(output[0]);
  ports >> m_port >> m_tlsPort;
  if (m_port == 0 || m_tlsPort == 0) throw std::runtime_error("the test HTTP server did not start");
}

LocalHttpServer::~LocalHttpServer() {
  if (m_pid <= 0) return;
  ::kill(m_pid, SIGTERM);
  int status = 0;
  ::waitpid(m_pid, &status, 0);
}

std::string LocalHttpServer::hostAndPort() const { return "127.0.0.1:" + std::to_string(m_port); }

std::string LocalHttpServer::url(const std::string& path) const {
  return "http://" + hostAndPort() + path;
}

std::string LocalHttpServer::secureUrl(const std::string& path) const {
  return "https://127.0.0.1:" + std::to_string(m_tlsPort) + path;
}

int LocalHttpServer::refusedPort() {
  // A port the system just handed out and took back: nothing listens there.
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

std::string hexDigits(const std::string& text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string digits;
  for (const char c : text) {
    digits += kHex[static_cast<unsigned char>(c) >> 4];
    digits += kHex[static_cast<unsigned char>(c) & 0x0F];
  }
  return digits;
}

}  // namespace rowsmith::support_test
