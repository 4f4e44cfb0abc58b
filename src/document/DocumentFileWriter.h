#pragma once

#include <string>
#include <string_view>

namespace rowsmith {

// Writes a document file (a settings file) all at once: the bytes go to a
// temporary file in the same folder, are flushed to disk, and the temporary
// file is renamed over the target only when everything was written. A failure
// leaves any existing file as it was and removes the temporary file. A
// symbolic link is followed, so the link stays and its target is replaced. An
// existing file keeps its permission bits; a new one gets the usual ones
// (0666 less umask), or is readable and writable by its owner only (0600)
// when `ownerOnly` says it holds a secret.
//
// Errors (rowsmith::Error): "Cannot create file %s" (with the path as given)
// when the file cannot be created or replaced, also when it exists but is not
// writable; "Stream write error" when writing or flushing fails.
//
// Threading: stateless; callers writing the same path must not overlap.
class DocumentFileWriter {
 public:
  static void write(const std::string& path, std::string_view bytes, bool ownerOnly = false);
};

}  // namespace rowsmith
