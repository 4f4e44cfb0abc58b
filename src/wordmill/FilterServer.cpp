#include "wordmill/FilterServer.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "common/Error.h"
#include "wordmill/WordmillApplication.h"

namespace rowsmith::wordmill {

namespace {

// ProgIDs are looked up without regard to ASCII letter case.
struct ProgIdLess {
  bool operator()(const std::string& a, const std::string& b) const {
    return std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(),
        [](unsigned char x, unsigned char y) { return lower(x) < lower(y); });
  }
  static unsigned char lower(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
  }
};

// ProgID to factory. Runs on several threads create server objects at the
// same time, so every access holds the mutex.
struct ClassRegistry {
  std::mutex mutex;
  std::map<std::string, FilterApplicationFactory, ProgIdLess> factories;
};

ClassRegistry& registry() {
  static ClassRegistry instance{
      {}, {{kWordmillProgId, [] { return std::make_shared<WordmillApplication>(); }}}};
  return instance;
}

}  // namespace

void FilterWindow::replaceText(const std::string&) {
  throw Error("This filter server cannot change the text of a filter");
}

void FilterWindow::save(const std::string&) {
  throw Error("This filter server cannot save filters");
}

void FilterApplication::addListener(const std::shared_ptr<FilterServerListener>& listener) {
  std::erase_if(m_listeners, [](const auto& entry) { return entry.expired(); });
  if (listener) m_listeners.push_back(listener);
}

std::vector<std::shared_ptr<FilterServerListener>> FilterApplication::liveListeners() {
  // A copy: a listener may add listeners, or drop itself, while it is told.
  std::vector<std::shared_ptr<FilterServerListener>> live;
  for (const auto& entry : m_listeners) {
    if (auto listener = entry.lock()) live.push_back(std::move(listener));
  }
  return live;
}

void FilterApplication::notifyShown() {
  for (const auto& listener : liveListeners()) listener->serverShown();
}

void FilterApplication::notifyFound(const std::string& path) {
  for (const auto& listener : liveListeners()) listener->windowFound(path);
}

void FilterApplication::notifyCreated(const std::shared_ptr<FilterWindow>& window) {
  for (const auto& listener : liveListeners()) listener->windowCreated(window);
}

std::shared_ptr<FilterApplication> createObject(const std::string& progId) {
  FilterApplicationFactory factory;
  {
    auto& classes = registry();
    std::lock_guard lock(classes.mutex);
    auto found = classes.factories.find(progId);
    if (found != classes.factories.end()) factory = found->second;
  }
  // The factory runs outside the lock: it may take its time or register
  // further classes.
  if (!factory) throw Error("Invalid class string");
  auto object = factory();
  if (!object) throw Error("Couldn't create the server object " + progId);
  return object;
}

FilterApplicationFactory registerClass(const std::string& progId,
                                       FilterApplicationFactory factory) {
  auto& classes = registry();
  std::lock_guard lock(classes.mutex);
  auto& slot = classes.factories[progId];
  FilterApplicationFactory previous = std::move(slot);
  if (factory) {
    slot = std::move(factory);
  } else {
    // An empty factory takes the class out again.
    classes.factories.erase(progId);
  }
  return previous;
}

}  // namespace rowsmith::wordmill
