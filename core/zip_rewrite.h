// SPDX-License-Identifier: Apache-2.0
// A zip written again with some members' contents changed, through libzip:
// a member that comes out the same keeps its compressed bytes as they stand,
// so that redacting one sheet of a workbook leaves every other member as it
// was, byte for byte.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "core/levels.h"

namespace mivaro::detail {

// What a regular member should hold: given its name and its bytes (held to
// the walk's limits), writes its new contents into rewritten, with the
// memory they take from the budget in held.
using RewriteMember = std::function<bool(const std::string& name, Bytes& bytes,
                                         std::string& rewritten, Held& held, std::string& error)>;

// Writes the zip whole again, piece by piece through put, each regular member's contents passed
// through rewrite. A member whose contents change is stored anew with its
// own compression method, time and attributes; every other member (folders
// and links too) is copied as it stands, its name, order and compressed
// bytes untouched. Memory comes from the walk's budget. False, saying why
// and writing nothing, when the zip or one of its members cannot be read or
// rewrite or put fails.
bool RewriteZip(std::string_view whole, Walk& walk, const RewriteMember& rewrite,
                const std::function<bool(std::string_view)>& put, std::string& error);

}  // namespace mivaro::detail
