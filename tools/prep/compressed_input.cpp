#include "prep/compressed_input.h"

#include <zlib.h>

#include <algorithm>
#include <new>
#include <string_view>

namespace tavrel::tools {

namespace {

constexpr std::string_view kGzipMagic = "\x1F\x8B";

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// What to do with `bytes` when they are an archive or compressed in a way
// that tavrel-prep does not read; empty when they are neither.
std::string packingAdvice(std::string_view bytes, const std::string& fileName) {
  using namespace std::string_view_literals;
  if (startsWith(bytes, "PK\x03\x04") || startsWith(bytes, "PK\x05\x06")) {
    return fileName + " is a zip archive; unzip it first (unzip " + fileName +
           ") and give tavrel-prep the file inside";
  }
  if (startsWith(bytes, "7z\xBC\xAF\x27\x1C")) {
    return fileName + " is a 7-Zip archive; unpack it first (7z x " + fileName +
           ") and give tavrel-prep the file inside";
  }
  if (bytes.size() > 262 && bytes.substr(257, 5) == "ustar") {
    return fileName + " holds a tar archive; unpack it first (tar -xf " + fileName +
           ") and give tavrel-prep the file inside";
  }
  struct Compression {
    std::string_view magic;
    const char* name;
    const char* command;
  };
  for (const Compression& c : {Compression{"BZh"sv, "bzip2", "bunzip2 -k "},
                               Compression{"\xFD\x37\x7A\x58\x5A\x00"sv, "xz", "xz -dk "},
                               Compression{"\x28\xB5\x2F\xFD"sv, "zstd", "zstd -d "}}) {
    if (startsWith(bytes, c.magic)) {
      return fileName + " is compressed with " + c.name + "; decompress it first (" + c.command +
             fileName + ")";
    }
  }
  return "";
}

// Unpacks the gzip members in `packed` into `text`. Returns 0, or -1 with
// a reason.
int gunzip(std::string_view packed, std::string* text, std::string* reason) {
  z_stream stream{};
  if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) throw std::bad_alloc();
  std::size_t offset = 0;  // bytes of `packed` handed to zlib so far
  char buffer[1 << 16];
  int status = Z_OK;
  for (;;) {
    if (stream.avail_in == 0 && offset < packed.size()) {
      std::size_t piece = std::min<std::size_t>(packed.size() - offset, std::size_t{1} << 30);
      stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data() + offset));
      stream.avail_in = static_cast<uInt>(piece);
      offset += piece;
    }
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = sizeof buffer;
    status = inflate(&stream, Z_NO_FLUSH);
    text->append(buffer, sizeof buffer - stream.avail_out);
    std::size_t unread = stream.avail_in + (packed.size() - offset);
    if (status == Z_STREAM_END) {
      // Another member may follow; zeros that pad the file are ignored.
      std::string_view rest = packed.substr(packed.size() - unread);
      if (rest.find_first_not_of('\0') == std::string_view::npos) break;
      if (!startsWith(rest, kGzipMagic)) {
        *reason = "text after the end of the gzip data";
        break;
      }
      inflateReset(&stream);
      continue;
    }
    if (status == Z_MEM_ERROR) {
      inflateEnd(&stream);
      throw std::bad_alloc();
    }
    if (status == Z_DATA_ERROR || status == Z_NEED_DICT) {
      *reason = std::string("the gzip data is damaged (") +
                (stream.msg != nullptr ? stream.msg : "no detail") + ")";
      break;
    }
    if (status == Z_BUF_ERROR && unread == 0) {
      *reason = "the gzip data ends early (is the file complete?)";
      break;
    }
  }
  inflateEnd(&stream);
  return reason->empty() ? 0 : -1;
}

}  // namespace

int unpackInput(std::string* bytes, const std::string& fileName, std::string* error) {
  if (startsWith(*bytes, kGzipMagic)) {
    std::string text;
    std::string reason;
    if (gunzip(*bytes, &text, &reason) != 0) {
      *error = fileName + ": " + reason;
      return -1;
    }
    bytes->swap(text);
  }
  *error = packingAdvice(*bytes, fileName);
  return error->empty() ? 0 : -1;
}

}  // namespace tavrel::tools
