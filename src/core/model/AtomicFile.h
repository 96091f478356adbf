#pragma once
// Replacing a user's file safely: the content goes to a temporary file beside
// the target, which is then renamed over it, so a failure never leaves half a
// file and the old content survives any error.
#include <string>
#include <string_view>

#include "core/model/Message.h"

namespace varnel {

// Writes `content` to `path` atomically. On failure returns a message naming
// the file and the reason; the target is untouched.
LegacyRefusal WriteFileAtomically(const std::string& path, std::string_view content);

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& content);

}  // namespace varnel
