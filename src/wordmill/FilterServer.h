#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "wordmill/FilterServerListener.h"

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
  // The same, appending the output to `output`: for callers that pass many
  // values and keep one buffer for their outputs.
  virtual void processAppending(std::string_view input, std::string& output) {
    output += processStringWithCompiledFilter(std::string(input));
  }
  virtual void close() = 0;
  // How many values the compiled filter has left exactly as they were
  // because its php-serialized or json-strings steps could not write them
  // back intact; counted from the last compile. A server that does not
  // count answers 0.
  virtual std::uint64_t valuesKeptAsTheyWere() const { return 0; }

  // What a filter editor needs. A server without an editor of its own keeps
  // the defaults: no path, no text, and editing refused with an error.
  //
  // The file the window's text belongs to: the path last opened or saved;
  // empty for a new window.
  virtual std::string path() const { return {}; }
  // The filter text the window holds.
  virtual std::string text() const { return {}; }
  // Replaces the text, as if a file with this text had been opened; the
  // filter must be compiled again before it processes values.
  virtual void replaceText(const std::string& text);
  // Writes the text to the file at path so that a reader sees the old file
  // or the whole new one, never a part; the window then belongs to path.
  // Throws rowsmith::Error with the reason when the file cannot be written.
  virtual void save(const std::string& path);
  virtual bool isClosed() const { return false; }
};

// The application object of a filter server.
//
// Threading: created, used and dropped on one thread; each thread that
// needs a server creates its own. Listeners are called on that thread.
class FilterApplication {
 public:
  virtual ~FilterApplication() = default;
  virtual void hide() = 0;
  virtual void calledFrom(const std::string& caller) = 0;
  virtual void show() = 0;
  virtual std::shared_ptr<FilterWindow> newWindow() = 0;
  virtual void findWindow(const std::string& path) = 0;

  // The windows made by newWindow that are alive and not closed, oldest
  // first. A server that keeps no list answers none.
  virtual std::vector<std::shared_ptr<FilterWindow>> windows() const { return {}; }

  // Tells the listener about every later show, findWindow and newWindow of
  // this object. The listener is held weakly: dropping it is enough to stop
  // listening, and neither side needs to outlive the other.
  void addListener(const std::shared_ptr<FilterServerListener>& listener);

 protected:
  // For implementations: report a call to every live listener, in the order
  // they were added.
  void notifyShown();
  void notifyFound(const std::string& path);
  void notifyCreated(const std::shared_ptr<FilterWindow>& window);

 private:
  std::vector<std::shared_ptr<FilterServerListener>> liveListeners();

  std::vector<std::weak_ptr<FilterServerListener>> m_listeners;
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
