#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace rowsmith {

// The local channel on which a running desktop program takes requests from
// other programs (rowsmith-run dde): a Unix socket per user, named after the
// program's executable and the topic.
//
// One request per connection. A frame is a kind byte, the payload's length
// in decimal, a line feed and the payload. Requests: 'X' an execute text,
// 'Q' a query of the window's state. Replies: 'P' processed (the payload is
// the answer of a query, empty otherwise) or 'F' failed (the payload is the
// message the user was shown).
//
// Threading: the functions are pure or use only their arguments;
// DdeFrameReader is used by one thread at a time.
struct DdeChannel {
  static constexpr const char* kTopic = "RowsmithDDE";
  static constexpr char kExecute = 'X';
  static constexpr char kQueryState = 'Q';
  static constexpr char kProcessed = 'P';
  static constexpr char kFailed = 'F';
  // Longer payloads are refused, so a stray client cannot exhaust memory.
  static constexpr std::size_t kMaxPayload = 1 << 20;

  // The service name: an executable's file name without its folder and
  // without everything from its first dot on.
  static std::string serviceName(const std::string& executablePath);
  // The socket of a service and topic for the current user: in
  // $XDG_RUNTIME_DIR when that is a folder, else in /tmp with the user id in
  // the name. Topics compare without regard to case.
  static std::string socketPath(const std::string& service, const std::string& topic = kTopic);

  static std::string frame(char kind, const std::string& payload);
};

struct DdeFrame {
  char kind = 0;
  std::string payload;
};

// Collects the bytes of one frame as they arrive.
class DdeFrameReader {
 public:
  void feed(const char* data, std::size_t size);
  // The frame, once all of it has arrived.
  std::optional<DdeFrame> frame() const;
  // The bytes cannot be a frame (bad length, too long).
  bool malformed() const { return m_malformed; }

 private:
  std::string m_buffer;
  bool m_malformed = false;
};

// The client side: sends one request to a running program and waits for its
// answer. The answer may take long: the program may be showing a message
// that a person has to close first.
struct DdeClientReply {
  char status = 0;
  std::string payload;
};

// Raises rowsmith::Error "Rowsmith is not running" when no program listens
// on the socket, and another rowsmith::Error when the exchange breaks off.
DdeClientReply sendDdeRequest(const std::string& socketPath, char kind, const std::string& payload);

}  // namespace rowsmith
