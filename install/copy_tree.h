// Copying a folder tree over another, as one step that either completes or is
// taken back.
#pragma once

#include <string>

namespace install {

// Copies the tree `source` over `destination`: folders are created before
// their content, files replace what is there (also read-only ones), folders
// whose name begins with "." are skipped with their content, files whose name
// begins with "." are copied; nothing in the destination is deleted. A
// missing source counts as empty. 0 = success; COPY_FAILED when a file could
// not be copied or kept, or a path is longer than kMaxPath - every file
// replaced so far is then put back and every file and folder created removed,
// so the destination is as it was. The old content of replaced files stays in
// the backup folder described in install_journal.h.
int CopyTree(const std::wstring& destination, const std::wstring& source);

}  // namespace install
