// Folder creation and path splitting for the version folder and the unpacked
// tree. Paths use the platform's separator platform::kPathSeparator.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace install {

// Makes the folder `path` and every missing folder above it. 1 when something
// (a folder or a file) is already there, or when `path` is absolute and the
// folders were created - shortest first, each creation's outcome ignored, so
// an absolute path always gives 1. 0, with nothing created, for a relative
// path that does not exist (no leading separator, and a first component that
// does not end in ':') and for a path longer than kMaxPath.
int CreateDirTree(const std::wstring& path);

// Creates the missing folders above the entry `name` inside `folder` (which
// exists). Always 1; folders that cannot be created show up when the file in
// them cannot be.
int CreateParentDirs(const std::wstring& folder, const std::wstring& name);

// For each occurrence of `separator` in `text`, the text from its beginning up
// to that occurrence, in order; an occurrence right at the search position (a
// leading separator, or the second of two adjacent ones) adds nothing. The
// part after the last separator is never listed.
std::vector<std::wstring> PathPrefixes(std::wstring_view text, std::wstring_view separator);

// Turns every "/" and "\" into the platform's separator, in place.
void SlashToBackslash(std::wstring& path);

// True when something exists at `path` and it is a folder.
bool IsDirectory(const std::wstring& path);

}  // namespace install
