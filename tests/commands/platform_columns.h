// Files that the command tests expect in the form of the system they run on.
#pragma once

#include <string>

#include "per_platform.h"

// A settings file as the program creates it: UTF-8 on Linux; on Windows
// UTF-16LE after a byte-order mark (so that Chinese values survive the
// system's own profile functions), lines ending in CR LF.
inline std::string Utf16File(const std::string& ascii) {
  std::string bytes = "\xFF\xFE";
  for (char c : ascii) bytes += std::string{c, '\0'};
  return bytes;
}

// Lines of a file written in text mode: the C library ends them in CR LF on Windows.
inline const PerPlatform<std::string> kTextModeLineEnd{"\n", "\r\n"};

inline std::string WithTextModeLineEnds(const std::string& text) {
  std::string converted;
  for (char c : text) converted += c == '\n' ? kTextModeLineEnd.Here() : std::string(1, c);
  return converted;
}
