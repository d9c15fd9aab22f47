// Case folding that touches only the ASCII letters, as the client's names are
// compared everywhere in the updater, and the drive/folder split of a path.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// 'A'..'Z' become 'a'..'z'; every other unit stays as it is.
char16_t asciiToLower(char16_t unit);

// A copy of text with only the ASCII letters lower-cased.
std::u16string asciiLowered(const std::u16string& text);

// Equal when the texts differ at most in the case of ASCII letters.
bool asciiEqualsIgnoringCase(const char16_t* a, const char16_t* b);
bool asciiEqualsIgnoringCase(std::u16string_view a, std::u16string_view b);

// Splits a path as the runtime's path splitting does: the drive is the leading
// letter and colon when present, else empty; the folder runs from there up to
// and including the last "\" or "/", else empty.
void splitDriveAndFolder(const char16_t* path, std::u16string& drive, std::u16string& folder);
