#pragma once
// The hexadecimal text in which the user edits a slave-status table's
// parameter bytes: two digits per byte, groups separated by single commas
// ("01,0a,ff").
#include <string>
#include <string_view>

#include "core/model/CModule.h"
#include "core/util/Result.h"

namespace varnel {

// The editor's text for `bytes`: "%02x" per byte joined by ",".
std::string FormatUserParams(const Bytes& bytes);

// The longest text `byteCount` bytes can have: 3 * byteCount - 1 (0 for none).
int UserParamsMaxLength(int byteCount);

// Checks the format of the characters present: digits (either case) at
// positions p with (p + 1) not a multiple of 3, commas at the others. The
// empty text and a text cut short after a digit or a comma pass. A refusal
// is Code::BadValue with USER_PARAMS_FORMAT_ERROR.
Status CheckUserParamsText(std::string_view text);

// The `byteCount` bytes a checked text gives: byte k from the digits at
// 3k and 3k+1 as far as the text reaches, 0 where the text has ended.
Bytes ParseUserParams(std::string_view text, int byteCount);

inline constexpr const char* USER_PARAMS_FORMAT_ERROR = "用户参数格式错误";

}  // namespace varnel
