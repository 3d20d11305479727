// Injected failures for tests of the error paths.
//
// The code of extraction and installation counts its operations at a few
// points; a test arms a point so that one of the coming operations there fails
// as if the platform had refused it. Unarmed (the state of every real run) a
// point costs one atomic load and changes nothing.
#pragma once

namespace install::fault {

enum class Point {
  kArchiveRead,   // reading one chunk of an entry's data from the archive
  kFileWrite,     // writing one chunk to an unpacked file
  kKeepOld,       // keeping a program file's old content before it is replaced
  kFileCopy,      // copying one file over its target (fails after the copy, so the target is already new)
};

// Makes the `n`-th operation at `point` from now on fail (1 = the next one),
// once. 0 disarms the point.
void FailAt(Point point, int n);

// Disarms every point.
void Reset();

// Counts one operation at `point`; true when this is the one to fail.
bool Hit(Point point);

}  // namespace install::fault
