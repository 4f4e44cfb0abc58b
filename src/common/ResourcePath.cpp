#include "common/ResourcePath.h"

#include <filesystem>
#include <system_error>

#include "common/ProgramDir.h"

namespace rowsmith {

std::string resourcePath(const std::string& relative) {
  const std::string dir = programDir();
  const std::string beside = dir + relative;
  std::error_code error;
  if (std::filesystem::exists(beside, error)) return beside;
  const std::string shared = dir + "../share/rowsmith/" + relative;
  if (std::filesystem::exists(shared, error)) return shared;
  return beside;
}

}  // namespace rowsmith
