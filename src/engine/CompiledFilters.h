#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "wordmill/FilterServer.h"

namespace rowsmith {

// Holds one compiled filter: a reference to the server window in which the
// filter was opened and compiled. Destroying it closes that window.
//
// Threading: used only on the thread that compiled it.
class TVariantHolder {
 public:
  explicit TVariantHolder(std::shared_ptr<wordmill::FilterWindow> value);
  ~TVariantHolder();
  TVariantHolder(const TVariantHolder&) = delete;
  TVariantHolder& operator=(const TVariantHolder&) = delete;

  // Closes the window now and drops the reference; raises the server's
  // error when close fails (the reference is dropped all the same). The
  // destructor does the same for a holder still holding a window, but keeps
  // a failing close to itself.
  void close();

  std::shared_ptr<wordmill::FilterWindow> value;
};

// Entry i belongs to the result column with ordinal i: the filter path as
// given (empty for a column without filter) and, for a non-empty path, the
// holder of its compiled filter.
struct CompiledFilter {
  std::string path;
  std::unique_ptr<TVariantHolder> holder;
};
using CompiledFilterList = std::vector<CompiledFilter>;

// Compiles one filter per path on `server`. Raises rowsmith::Error with
// "Couldn't open " + path, the compile message, or "No transforms have been
// specified"; on failure nothing of the partial list remains.
std::unique_ptr<CompiledFilterList> compileFilters(wordmill::FilterApplication& server,
                                                   const std::vector<std::string>& paths);
// Closes every filter window of the list, in order, and nulls the variable.
// Every window is closed even when one close fails; the first such failure
// is raised once the whole list is gone.
void freeCompiledFilters(std::unique_ptr<CompiledFilterList>& filters);
// Passes one text through one compiled filter; std::nullopt stands for NULL
// (the filter's output "<NULL>"). An empty filter returns the text as it is.
std::optional<std::string> transformValue(const std::string& text,
                                          const std::shared_ptr<wordmill::FilterWindow>& filter);
// The same into `output`, which is emptied first and keeps its buffer: for
// callers that pass many values. False when the result is NULL (`output`
// then holds "<NULL>").
bool transformValueInto(std::string_view text,
                        const std::shared_ptr<wordmill::FilterWindow>& filter, std::string& output);

}  // namespace rowsmith
