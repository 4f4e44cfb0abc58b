#pragma once

#include <memory>
#include <string>

namespace rowsmith::wordmill {

class FilterWindow;

// Hears the calls on a filter server's application object that concern the
// server's own window: being shown, finding a filter file's window and
// making a new window. The desktop program's filter editor listens so that
// these calls open and raise its tabs.
//
// Threading: called synchronously, inside the call it reports, on the thread
// that uses the application object. An error a listener raises reaches the
// caller of that call.
class FilterServerListener {
 public:
  virtual ~FilterServerListener() = default;
  // show was called.
  virtual void serverShown() = 0;
  // findWindow was called with this path.
  virtual void windowFound(const std::string& path) = 0;
  // newWindow made this window (before its caller has done anything with it).
  virtual void windowCreated(const std::shared_ptr<FilterWindow>& window) = 0;
};

}  // namespace rowsmith::wordmill
