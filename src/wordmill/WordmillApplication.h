#pragma once

#include <memory>
#include <string>
#include <vector>

#include "wordmill/FilterServer.h"

namespace rowsmith::wordmill {

class WordmillWindow;

// The application object of the built-in filter engine. Besides creating
// filter windows it keeps whether the server is meant to be visible, who
// called it, which file it was last asked to find and (weakly) the windows it
// created, and tells its listeners about show, findWindow and newWindow: the
// desktop program's filter editor is such a listener. Without one these calls
// only record what was asked.
//
// Threading: created, used and dropped on one thread; each thread that needs
// a server creates its own (see createObject).
class WordmillApplication : public FilterApplication {
 public:
  void hide() override;
  void calledFrom(const std::string& caller) override;
  // Marks the server as shown. Without a desktop program nothing appears.
  void show() override;
  std::shared_ptr<FilterWindow> newWindow() override;
  // Remembers the path; the filter editor opens or raises that file's tab.
  void findWindow(const std::string& path) override;
  std::vector<std::shared_ptr<FilterWindow>> windows() const override;

  bool isVisible() const { return m_visible; }
  const std::string& caller() const { return m_caller; }
  const std::string& lastFoundPath() const { return m_lastFoundPath; }
  // The paths opened in those windows (empty text for a window with no file).
  std::vector<std::string> windowPaths() const;

 private:
  bool m_visible = false;
  std::string m_caller;
  std::string m_lastFoundPath;
  std::vector<std::weak_ptr<WordmillWindow>> m_windows;
};

}  // namespace rowsmith::wordmill
