// Taking a sub-category's key out of the selector's text and putting it
// into a statement.
#pragma once

#include <string>
#include <string_view>

namespace catalog {

// The text before the first comma; empty when there is no comma. A comma
// byte is never the second byte of a Big5 character, so a byte search is
// safe.
std::string subCategoryKey(std::string_view selectorText);

// The key as an SQL string literal: quoted, every quote inside doubled, so
// a key holding a quote finds its own rows instead of breaking (or
// changing) the statement.
std::string sqlStringLiteral(std::string_view text);

}  // namespace catalog
