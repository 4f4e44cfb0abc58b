#include "document/DdeChannel.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "common/AsciiCase.h"
#include "common/Error.h"

namespace rowsmith {

std::string DdeChannel::serviceName(const std::string& executablePath) {
  const auto slash = executablePath.find_last_of('/');
  std::string name = slash == std::string::npos ? executablePath : executablePath.substr(slash + 1);
  return name.substr(0, name.find('.'));
}

std::string DdeChannel::socketPath(const std::string& service, const std::string& topic) {
  const std::string name = service + "-" + asciiLower(topic);
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  struct stat info {};
  if (runtime && *runtime && ::stat(runtime, &info) == 0 && S_ISDIR(info.st_mode))
    return std::string(runtime) + "/" + name + ".socket";
  return "/tmp/" + name + "-" + std::to_string(::getuid()) + ".socket";
}

std::string DdeChannel::frame(char kind, const std::string& payload) {
  return std::string(1, kind) + std::to_string(payload.size()) + "\n" + payload;
}

void DdeFrameReader::feed(const char* data, std::size_t size) {
  if (m_malformed) return;
  m_buffer.append(data, size);
  const auto newline = m_buffer.find('\n');
  if (newline == std::string::npos) {
    if (m_buffer.size() > 24) m_malformed = true;
    return;
  }
  if (newline < 2 || newline > 20) {
    m_malformed = true;
    return;
  }
  for (std::size_t i = 1; i < newline; ++i) {
    if (m_buffer[i] < '0' || m_buffer[i] > '9') m_malformed = true;
  }
  if (!m_malformed && std::stoull(m_buffer.substr(1, newline - 1)) > DdeChannel::kMaxPayload)
    m_malformed = true;
}

std::optional<DdeFrame> DdeFrameReader::frame() const {
  if (m_malformed) return std::nullopt;
  const auto newline = m_buffer.find('\n');
  if (newline == std::string::npos) return std::nullopt;
  const std::size_t length = std::stoull(m_buffer.substr(1, newline - 1));
  if (m_buffer.size() - newline - 1 < length) return std::nullopt;
  return DdeFrame{m_buffer[0], m_buffer.substr(newline + 1, length)};
}

namespace {

class SocketFd {
 public:
  explicit SocketFd(int fd) : m_fd(fd) {}
  ~SocketFd() {
    if (m_fd >= 0) ::close(m_fd);
  }
  SocketFd(const SocketFd&) = delete;
  SocketFd& operator=(const SocketFd&) = delete;
  int get() const { return m_fd; }

 private:
  int m_fd;
};

}  // namespace

DdeClientReply sendDdeRequest(const std::string& socketPath, char kind,
                              const std::string& payload) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socketPath.size() >= sizeof(address.sun_path))
    throw Error("The socket path is too long: " + socketPath);
  std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);

  SocketFd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (socket.get() < 0) throw Error(std::string("Cannot create a socket: ") + std::strerror(errno));
  if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0)
    throw Error("Rowsmith is not running");

  const std::string request = DdeChannel::frame(kind, payload);
  std::size_t sent = 0;
  while (sent < request.size()) {
    const ssize_t n =
        ::send(socket.get(), request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw Error("Rowsmith closed the connection before it took the request");
    sent += static_cast<std::size_t>(n);
  }

  DdeFrameReader reader;
  char buffer[4096];
  for (;;) {
    if (auto reply = reader.frame()) return {reply->kind, reply->payload};
    if (reader.malformed()) throw Error("Rowsmith sent an answer that cannot be read");
    const ssize_t n = ::recv(socket.get(), buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw Error("Rowsmith closed the connection without an answer");
    reader.feed(buffer, static_cast<std::size_t>(n));
  }
}

}  // namespace rowsmith
