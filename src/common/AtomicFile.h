#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string_view>

namespace rowsmith {

// Replaces the file at path with contents so that a reader sees either the
// old file or the whole new one, never a part: the text goes to a temporary
// file in the same folder, which is flushed to disk and then renamed over
// path. The new file gets the given permission bits. On failure the old file
// is untouched, the temporary file is removed and std::system_error is
// raised.
//
// Threading: safe from any thread; concurrent writers of one path must agree
// on their own order (the last rename wins).
void writeFileAtomically(const std::filesystem::path& path, std::string_view contents, mode_t mode);

}  // namespace rowsmith
