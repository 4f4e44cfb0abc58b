#include "engine/RunChecks.h"

#include "document/Settings.h"
#include "engine/CompiledFilters.h"

namespace rowsmith {

void checkJob(const TSettings& settings, wordmill::FilterApplication& server) {
  settings.Validate();
  auto filters = compileFilters(server, settings.columnFilters);
  freeCompiledFilters(filters);
}

}  // namespace rowsmith
