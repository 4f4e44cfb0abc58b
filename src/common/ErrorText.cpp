#include "common/ErrorText.h"

namespace rowsmith {

std::string messageWithFullStop(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
  return message;
}

}  // namespace rowsmith
