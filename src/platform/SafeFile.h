#pragma once
// Writing a file so that a failure never costs the old one: the bytes go to a temporary file
// in the same folder, which replaces the target by rename only once it is complete on disk.

#include <functional>
#include <string>

namespace gz {

class TStream;

// Calls write with a stream on a fresh temporary file beside fileName, flushes it to disk and
// renames it over fileName. If write (or the flush, or the rename) fails, the temporary file is
// removed, fileName is left as it was, and the exception passes on. A temporary file that
// cannot be created raises EFCreateError naming fileName.
void WriteFileAtomically(const std::string& fileName, const std::function<void(TStream&)>& write);

} // namespace gz
