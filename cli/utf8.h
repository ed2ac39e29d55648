#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace mivaro::cli {

// Appends text as the body of a JSON string: quotes, backslashes and control
// characters escaped, ill-formed UTF-8 replaced by U+FFFD, so the output is
// always valid JSON in valid UTF-8.
void AppendJsonEscaped(std::string& out, std::string_view text);

// Appends text for a terminal or a CSV field: control characters, invisible
// format characters and ill-formed UTF-8 replaced by U+FFFD, everything else
// as it is.
void AppendPrintable(std::string& out, std::string_view text);

}  // namespace mivaro::cli
