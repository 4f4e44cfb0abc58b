#include "common/ProgramDir.h"

#include <filesystem>
#include <system_error>

namespace rowsmith {

std::string programDir() {
  std::error_code error;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error || exe.empty()) return {};
  std::string dir = exe.parent_path().string();
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
}

}  // namespace rowsmith
