#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace rowsmith {

// Fills a text pattern of the user interface: each "%s" or "%d" is replaced,
// in order, by the next of values (numbers come already written as text), and
// "%%" stands for one "%". A placeholder beyond the values given becomes
// empty, and any other "%" stays as it is, so a translation with a mistake in
// its placeholders still shows a readable text.
//
// Threading: a pure function; safe from any thread.
std::string formatPattern(std::string_view pattern, std::initializer_list<std::string_view> values);

}  // namespace rowsmith
