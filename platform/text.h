// Text conversion between the wide strings of the logic and narrow text.
//
// The logic keeps settings, paths and URLs as wide strings. Narrow text occurs
// only at the edges: on the wire, in the fixed fields the update check fills,
// in zip entry names and in file-system calls on POSIX. It is converted with the
// system's ANSI code page: CP_ACP on Windows, UTF-8 on POSIX.
//
// Contract (both realisations):
// - The functions never fail and never throw; text that the code page cannot
//   express is replaced (POSIX: each invalid byte or lone surrogate becomes
//   U+FFFD, or "?" for wide characters that cannot be encoded).
// - The result holds exactly the converted characters, no terminator.
// - Embedded zero characters are converted like any other character.
#pragma once

#include <string>
#include <string_view>

namespace platform {

std::wstring AnsiToWide(std::string_view text);
std::string WideToAnsi(std::wstring_view text);

}  // namespace platform
