// Packed input files. tavrel-prep reads gzip files (one or more members, as
// gzip and most log shippers write them) by unpacking them piece by piece
// as they are read, so that memory does not grow with the unpacked size.
// Archives and other compression formats are recognised by their first
// bytes and refused with the command that unpacks them, since reading
// their bytes as text would give strings of nonsense items.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/result.h"

namespace tavrel::tools {

// The bytes of an input, unpacked when they are gzip data (recognised by
// their first two bytes); other data passes as it is.
class UnpackedInput {
 public:
  explicit UnpackedInput(int fd);                  // reads the descriptor
  explicit UnpackedInput(std::string_view bytes);  // reads bytes in memory
  ~UnpackedInput();
  UnpackedInput(const UnpackedInput&) = delete;
  UnpackedInput& operator=(const UnpackedInput&) = delete;

  // Appends the next piece of the text (at most about 64 KiB) to `text`.
  // Returns 1 after appending, 0 at the end, and -1 with a reason (not
  // naming the file) for damaged or cut-off gzip data, text after it, or
  // a failed read.
  int read(std::string* text, std::string* reason);

 private:
  int fillRaw(std::size_t wanted, std::string* reason);
  int inflatePiece(std::string* text, std::string* reason);
  int afterMember(std::string* reason);

  int fd_ = -1;
  std::string_view memory_;  // what is left of the bytes in memory
  std::string raw_;          // raw bytes read and not yet used, from rawStart_
  std::size_t rawStart_ = 0;
  bool rawEnd_ = false;
  bool started_ = false;
  bool gzip_ = false;
  bool done_ = false;
  void* stream_ = nullptr;  // zlib's z_stream while gzip data is read
};

// The bytes needed at the start of a text to tell the packings apart.
constexpr std::size_t kPackingPrefix = 263;

// What to do with an input whose unpacked text starts with `prefix` (at
// least kPackingPrefix bytes, or the whole text) when it is an archive or
// compressed in a way that tavrel-prep does not read; empty otherwise.
std::string packingAdvice(std::string_view prefix, const std::string& fileName);

// Replaces the gzip data in `bytes` by what it unpacks to; leaves other
// data as it is. Fails with a message naming `fileName`: for damaged or
// cut-off gzip data, and for a zip, 7-Zip or tar archive or bzip2, xz or
// zstd data (also inside gzip), with what to do.
Result unpackInput(std::string* bytes, const std::string& fileName);

}  // namespace tavrel::tools
