// Which names from the package and the update service may become paths.
#pragma once

#include <string>

namespace install {

// A stored entry name that stays inside the target folder: not absolute (no
// leading "/" or "\", no ':' in its first component, which would name a
// drive), no ".." component, no zero character. Both "/" and "\" count as
// separators, as they do when the name is turned into a path.
bool IsSafeEntryName(const std::wstring& name);

// A text that names one folder or file below another and nothing else: no
// separator, no zero character, and neither "." nor "..". The empty text
// passes.
bool IsSingleName(const std::wstring& name);

}  // namespace install
