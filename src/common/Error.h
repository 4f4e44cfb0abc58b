#pragma once

#include <stdexcept>
#include <string>

namespace rowsmith {

// The error every layer raises. It carries the message exactly as the user
// sees it; the edge that reports it (a message box, the runner's stderr)
// decides how to show it. className() names the kind of error in reports
// such as the worker's "Exception %s in module %s at %p." box.
//
// Threading: immutable after construction; safe to pass between threads.
class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message, std::string className = "Exception");

  const std::string& className() const noexcept { return m_className; }

 private:
  std::string m_className;
};

// A failure that must end the current operation without being shown
// (the equivalent of a silent abort).
class SilentAbort : public Error {
 public:
  SilentAbort();
};

// A statement interrupted because the user cancelled while it waited for the
// database (db::Connection::cancel): the operation ends as cancelled, not as
// failed. Raised only after a cancel was asked for.
class Cancelled : public Error {
 public:
  explicit Cancelled(const std::string& message);
};

}  // namespace rowsmith
