#pragma once

#include <functional>
#include <memory>
#include <string>

namespace rowsmith::wordmill {

// One filter window of a filter server: holds one opened, compiled filter.
//
// Threading: used only by the thread that created its application object.
class FilterWindow {
 public:
  virtual ~FilterWindow() = default;
  // Reads the filter file; false when it cannot be read.
  virtual bool openFilter(const std::string& path) = 0;
  // Compiles the opened filter: empty text on success, else the message.
  virtual std::string compileFilter() = 0;
  // Runs the compiled filter over one value. The output "<NULL>" stands for
  // SQL NULL. Throws rowsmith::Error when processing fails.
  virtual std::string processStringWithCompiledFilter(const std::string& input) = 0;
  virtual void close() = 0;
};

// The application object of a filter server.
//
// Threading: created, used and dropped on one thread; each thread that
// needs a server creates its own.
class FilterApplication {
 public:
  virtual ~FilterApplication() = default;
  virtual void hide() = 0;
  virtual void calledFrom(const std::string& caller) = 0;
  virtual void show() = 0;
  virtual std::shared_ptr<FilterWindow> newWindow() = 0;
  virtual void findWindow(const std::string& path) = 0;
};

// The ProgID of the built-in filter engine.
inline constexpr const char* kWordmillProgId = "Wordmill.Application";

using FilterApplicationFactory = std::function<std::shared_ptr<FilterApplication>()>;

// Creates a server object by ProgID (compared without regard to letter
// case); an unknown ProgID raises rowsmith::Error("Invalid class string").
// Safe to call from any thread; the object belongs to the calling thread.
std::shared_ptr<FilterApplication> createObject(const std::string& progId);
// Puts a factory in place for a ProgID (tests put recording or failing
// servers in place of the real one) and returns the one it replaced. An
// empty factory removes the ProgID. Safe to call from any thread.
FilterApplicationFactory registerClass(const std::string& progId, FilterApplicationFactory factory);

}  // namespace rowsmith::wordmill
