// Feeds arbitrary bytes to DecodeEscapes, the decoder of every text read
// from a language file. A malformed escape must end in rowsmith::Error; any
// other outcome (a crash, a sanitizer report, another exception) is a fault.
// Decoded texts must also survive a trip through EncodeEscapes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/Error.h"
#include "localisation/EscapeCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  try {
    const std::string text = rowsmith::DecodeEscapes(input);
    if (rowsmith::DecodeEscapes(rowsmith::EncodeEscapes(text)) != text) std::abort();
  } catch (const rowsmith::Error&) {
  }
  // Every byte string is a text, so encoding it must round-trip too.
  if (rowsmith::DecodeEscapes(rowsmith::EncodeEscapes(input)) != input) std::abort();
  return 0;
}
