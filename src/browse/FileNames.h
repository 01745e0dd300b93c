// How the folder list reads file names: which names a listing pattern takes, and the order in
// which names are sorted and searched.
#pragma once

#include <string>
#include <string_view>

namespace vistrel {

// Whether `name` matches the listing pattern: "*" stands for any run of characters, "?" for one
// character, and letters compare without regard to ASCII case (the patterns are ASCII).
bool matchesPattern(std::string_view name, std::string_view pattern);

// A key that orders names as the user's locale collates them, without regard to case. Keys
// compare with std::wstring's operator<. Names are UTF-8; a byte that does not belong to a valid
// sequence counts as U+FFFD.
std::wstring collationKey(std::string_view name);

// A key that orders names as the desktop's file managers list them: a run of ASCII digits counts
// by its value (img2 before img10, however long the run), the text between runs orders as
// collationKey does, and a "." sorts before anything else in its place (event.c and event.h
// before eventgenerator.c). Numbers of equal value differing only in leading zeros, and nothing
// else, put fewer zeros first. Keys compare with std::wstring's operator<.
std::wstring naturalKey(std::string_view name);

// The text after the last "/" of `path`; empty when the path has none.
std::string_view fileNameOf(std::string_view path);

} // namespace vistrel
