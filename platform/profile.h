// Profile files: INI-style text files of "[section]" headers and "key=value"
// lines, read and written one value at a time. Windows realises these with the
// private-profile functions; POSIX with a reader and writer of our own that
// follows the same rules.
//
// Text rules shared by both realisations:
// - Section and key names are matched case-insensitively; the first section of
//   a name is the one that is read and written, and within it the first line of
//   a key.
// - White space around names and values is trimmed; a value enclosed in a
//   matching pair of double or single quotes loses them.
// - Lines starting with ';' are comments. Lines that are neither a header, a
//   comment nor "key=value" are ignored, as are keys before the first header.
//
// Neither function keeps the file open between calls; every call reads the file
// anew, resolving `file` against the current directory.
#pragma once

#include <cstdint>

namespace platform {

// With `key` null: delivers the key names of `section` in file order, each key
// once (in the spelling of its first line), each followed by a zero, and the
// list closed by one more zero. Returns the number of characters delivered, not
// counting the closing zero; 0 when the file, the section or its keys are
// missing. A list that does not fit is cut after `size` - 2 characters (the
// last name may be cut short) and closed by two zeros; the result is then
// `size` - 2.
//
// With `key` given: copies the key's value, or `defaultValue` when the file,
// section or key is missing, and returns its length. A value that does not fit
// is cut to `size` - 1 characters and terminated; the result is then `size` - 1.
//
// `buffer` must hold `size` characters; nothing is written when `size` is 0.
uint32_t GetProfileString(const wchar_t* section, const wchar_t* key, const wchar_t* defaultValue,
                          wchar_t* buffer, uint32_t size, const wchar_t* file);

// Replaces the value of `key` in `section`, or adds the key (and the section,
// and the file, when missing). Every other line of the file keeps its bytes on
// POSIX; the system's writer on Windows keeps every other line's content but
// may rewrite its line ends and the spaces around "=".
// True when the new content is stored. On POSIX the file is replaced atomically
// (a new file is written beside it and renamed over it), so a failure leaves the
// old file whole. A null key or value, or a name or value with a line break,
// is refused with false.
bool WriteProfileString(const wchar_t* section, const wchar_t* key, const wchar_t* value,
                        const wchar_t* file);

}  // namespace platform
