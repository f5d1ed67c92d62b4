// Packed input files. tavrel-prep reads gzip files (one or more members, as
// gzip and most log shippers write them) by unpacking them in memory.
// Archives and other compression formats are recognised by their first
// bytes and refused with the command that unpacks them, since reading
// their bytes as text would give strings of nonsense items.
#pragma once

#include <string>

namespace tavrel::tools {

// Replaces the gzip data in `bytes` by what it unpacks to; leaves other
// data as it is. Returns 0, or -1 with a message naming `fileName` in
// `error`: for damaged or cut-off gzip data, and for a zip, 7-Zip or tar
// archive or bzip2, xz or zstd data (also inside gzip), with what to do.
int unpackInput(std::string* bytes, const std::string& fileName, std::string* error);

}  // namespace tavrel::tools
