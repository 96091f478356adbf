#pragma once
// Reading and writing a user's file. A write goes to a temporary file beside
// the real file (links resolved), which is synced and renamed over it: a
// failure never leaves half a file, and the old content survives any error.
// The file keeps its mode (and owner, where the system allows it).
#include <string>
#include <string_view>

#include "core/util/Result.h"

namespace varnel {

// Writes `content` to the file `path` names (the target of a symbolic link).
// Codes: FileNotWritable (the user may not write the file or its folder),
// FileIsDirectory, FileWriteFailed. The message is "无法写入文件 PATH: reason";
// on a refusal the file and its mode are unchanged.
Status WriteFileAtomically(const std::string& path, std::string_view content);

// "无法写入文件 PATH: reason" with a code: the one wording of a write refusal.
Refusal WriteRefusal(Code code, const std::string& path, const std::string& reason);

// The whole content of a file. Codes: FileMissing, FileIsDirectory,
// FileUnreadable; the message is "无法打开文件 PATH: reason".
Result<std::string> ReadWholeFile(const std::string& path);

}  // namespace varnel
