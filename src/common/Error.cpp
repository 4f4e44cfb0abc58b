#include "common/Error.h"

#include <utility>

namespace rowsmith {

Error::Error(const std::string& message, std::string className)
    : std::runtime_error(message), m_className(std::move(className)) {}

SilentAbort::SilentAbort() : Error("Operation aborted", "EAbort") {}

Cancelled::Cancelled(const std::string& message) : Error(message, "EAbort") {}

}  // namespace rowsmith
