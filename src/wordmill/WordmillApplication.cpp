#include "wordmill/WordmillApplication.h"

#include <algorithm>

#include "wordmill/WordmillWindow.h"

namespace rowsmith::wordmill {

void WordmillApplication::hide() { m_visible = false; }

void WordmillApplication::calledFrom(const std::string& caller) { m_caller = caller; }

void WordmillApplication::show() {
  m_visible = true;
  notifyShown();
}

std::shared_ptr<FilterWindow> WordmillApplication::newWindow() {
  // Forget windows that are gone, so a long-lived server does not grow.
  std::erase_if(m_windows, [](const std::weak_ptr<WordmillWindow>& w) {
    auto window = w.lock();
    return !window || window->isClosed();
  });
  auto window = std::make_shared<WordmillWindow>();
  m_windows.push_back(window);
  notifyCreated(window);
  return window;
}

void WordmillApplication::findWindow(const std::string& path) {
  m_lastFoundPath = path;
  notifyFound(path);
}

std::vector<std::shared_ptr<FilterWindow>> WordmillApplication::windows() const {
  std::vector<std::shared_ptr<FilterWindow>> alive;
  for (const auto& w : m_windows) {
    if (auto window = w.lock(); window && !window->isClosed()) alive.push_back(std::move(window));
  }
  return alive;
}

std::vector<std::string> WordmillApplication::windowPaths() const {
  std::vector<std::string> paths;
  for (const auto& window : windows()) paths.push_back(window->path());
  return paths;
}

}  // namespace rowsmith::wordmill
