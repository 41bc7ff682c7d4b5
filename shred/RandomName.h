#pragma once

#include <cstddef>
#include <string>

// The number of characters in a UTF-16 name: a character outside the Basic
// Multilingual Plane takes two code units (a surrogate pair) and counts once.
std::size_t CharacterCount(const std::wstring& name);

// Draws a name of random letters and digits with as many characters as
// `name`, so that a shredded item's entry keeps its length but loses its
// text. Empty when the system's random source fails.
std::wstring DrawRandomName(const std::wstring& name);
