#include "engine/CompiledFilters.h"

#include <exception>
#include <utility>

#include "common/Error.h"

namespace rowsmith {

TVariantHolder::TVariantHolder(std::shared_ptr<wordmill::FilterWindow> window)
    : value(std::move(window)) {}

TVariantHolder::~TVariantHolder() {
  try {
    close();
  } catch (...) {
    // A destructor must not throw; whoever needs to hear about a failed
    // close calls close() first (freeCompiledFilters does).
  }
}

void TVariantHolder::close() {
  // Dropped first, so the reference goes even when close() raises.
  auto window = std::move(value);
  value.reset();
  if (window) window->close();
}

namespace {

// Releases whatever freeCompiledFilters would, without raising: used when a
// compilation has already failed and its own error is the one to report.
void releaseQuietly(std::unique_ptr<CompiledFilterList>& filters) noexcept {
  try {
    freeCompiledFilters(filters);
  } catch (...) {
    filters.reset();
  }
}

}  // namespace

std::unique_ptr<CompiledFilterList> compileFilters(wordmill::FilterApplication& server,
                                                   const std::vector<std::string>& paths) {
  auto filters = std::make_unique<CompiledFilterList>();
  bool anyCompiled = false;
  try {
    filters->reserve(paths.size());
    for (const auto& path : paths) {
      if (path.empty()) {
        filters->push_back({path, nullptr});
        continue;
      }
      std::shared_ptr<wordmill::FilterWindow> window = server.newWindow();
      if (!window) throw Error("The filter server did not create a window for " + path);
      // A window whose filter did not open is never wrapped, so it is
      // dropped without being closed.
      if (!window->openFilter(path)) throw Error("Couldn't open " + path);
      filters->push_back({path, std::make_unique<TVariantHolder>(std::move(window))});
      // The window is closed with the rest of the list if compiling fails.
      std::string message = filters->back().holder->value->compileFilter();
      if (!message.empty()) throw Error(message);
      anyCompiled = true;
    }
    if (!anyCompiled) throw Error("No transforms have been specified");
  } catch (...) {
    releaseQuietly(filters);
    throw;
  }
  return filters;
}

void freeCompiledFilters(std::unique_ptr<CompiledFilterList>& filters) {
  std::exception_ptr firstFailure;
  if (filters) {
    for (auto& entry : *filters) {
      if (!entry.holder) continue;
      try {
        entry.holder->close();
      } catch (...) {
        if (!firstFailure) firstFailure = std::current_exception();
      }
      entry.holder.reset();
    }
  }
  filters.reset();
  if (firstFailure) std::rethrow_exception(firstFailure);
}

std::optional<std::string> transformValue(const std::string& text,
                                          const std::shared_ptr<wordmill::FilterWindow>& filter) {
  std::string output;
  if (!transformValueInto(text, filter, output)) return std::nullopt;
  return output;
}

bool transformValueInto(std::string_view text,
                        const std::shared_ptr<wordmill::FilterWindow>& filter,
                        std::string& output) {
  output.clear();
  if (!filter) {
    output.assign(text);
    return true;
  }
  filter->processAppending(text, output);
  // Only the whole output, exactly as written, stands for NULL.
  return output != "<NULL>";
}

}  // namespace rowsmith
