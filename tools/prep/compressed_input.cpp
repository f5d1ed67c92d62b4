#include "prep/compressed_input.h"

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

namespace tavrel::tools {

namespace {

constexpr std::string_view kGzipMagic = "\x1F\x8B";
constexpr std::size_t kPiece = 1 << 16;

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

z_stream* zlibStream(void* stream) { return static_cast<z_stream*>(stream); }

}  // namespace

UnpackedInput::UnpackedInput(int fd) : fd_(fd) {}

UnpackedInput::UnpackedInput(std::string_view bytes) : memory_(bytes) {}

UnpackedInput::~UnpackedInput() {
  if (stream_ != nullptr) {
    inflateEnd(zlibStream(stream_));
    delete zlibStream(stream_);
  }
}

// Reads raw bytes until at least `wanted` are unused or the input ends.
// Returns 0, or -1 with a reason when a read fails.
int UnpackedInput::fillRaw(std::size_t wanted, std::string* reason) {
  if (rawStart_ > 0 && rawStart_ == raw_.size()) {
    raw_.clear();
    rawStart_ = 0;
  }
  while (!rawEnd_ && raw_.size() - rawStart_ < wanted) {
    if (rawStart_ > 0) {
      raw_.erase(0, rawStart_);
      rawStart_ = 0;
    }
    if (fd_ < 0) {
      std::size_t take = std::min(memory_.size(), kPiece);
      raw_.append(memory_.substr(0, take));
      memory_.remove_prefix(take);
      rawEnd_ = memory_.empty();
      continue;
    }
    std::size_t size = raw_.size();
    raw_.resize(size + kPiece);
    ssize_t got = ::read(fd_, raw_.data() + size, kPiece);
    raw_.resize(size + (got > 0 ? static_cast<std::size_t>(got) : 0));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *reason = std::string("cannot read it: ") + std::strerror(errno);
      return -1;
    }
    if (got == 0) rawEnd_ = true;
  }
  return 0;
}

// After a gzip member: another member, zeros that pad the file, or the
// end. Returns 0 when reading goes on (or is done), -1 with a reason.
int UnpackedInput::afterMember(std::string* reason) {
  for (;;) {
    if (fillRaw(2, reason) != 0) return -1;
    std::string_view rest = std::string_view(raw_).substr(rawStart_);
    if (rest.empty()) {
      done_ = true;
      return 0;
    }
    if (rest[0] != '\0') break;
    // Zeros pad the file only when nothing else follows them.
    std::size_t nonzero = rest.find_first_not_of('\0');
    if (nonzero != std::string_view::npos) {
      *reason = "text after the end of the gzip data";
      return -1;
    }
    rawStart_ = raw_.size();
  }
  if (!startsWith(std::string_view(raw_).substr(rawStart_), kGzipMagic)) {
    *reason = "text after the end of the gzip data";
    return -1;
  }
  inflateReset(zlibStream(stream_));
  return 0;
}

// Unpacks the next piece of gzip data into `text`: 1 after appending,
// 0 at the end, -1 with a reason.
int UnpackedInput::inflatePiece(std::string* text, std::string* reason) {
  z_stream* stream = zlibStream(stream_);
  std::size_t before = text->size();
  for (;;) {
    if (rawStart_ == raw_.size() && fillRaw(1, reason) != 0) return -1;
    stream->next_in = reinterpret_cast<Bytef*>(raw_.data() + rawStart_);
    stream->avail_in = static_cast<uInt>(raw_.size() - rawStart_);
    text->resize(before + kPiece);
    stream->next_out = reinterpret_cast<Bytef*>(text->data() + before);
    stream->avail_out = static_cast<uInt>(kPiece);
    int status = inflate(stream, Z_NO_FLUSH);
    rawStart_ = raw_.size() - stream->avail_in;
    std::size_t got = kPiece - stream->avail_out;
    text->resize(before + got);
    if (status == Z_MEM_ERROR) throw std::bad_alloc();
    if (status == Z_DATA_ERROR || status == Z_NEED_DICT) {
      *reason = std::string("the gzip data is damaged (") +
                (stream->msg != nullptr ? stream->msg : "no detail") + ")";
      return -1;
    }
    if (status == Z_STREAM_END && afterMember(reason) != 0) return -1;
    if (got > 0) return 1;
    if (done_) return 0;
    if (status != Z_STREAM_END && rawStart_ == raw_.size() && rawEnd_) {
      *reason = "the gzip data ends early (is the file complete?)";
      return -1;
    }
  }
}

int UnpackedInput::read(std::string* text, std::string* reason) {
  if (!started_) {
    started_ = true;
    if (fillRaw(2, reason) != 0) return -1;
    gzip_ = startsWith(std::string_view(raw_).substr(rawStart_), kGzipMagic);
    if (gzip_) {
      stream_ = new z_stream{};
      if (inflateInit2(zlibStream(stream_), 16 + MAX_WBITS) != Z_OK) throw std::bad_alloc();
    }
  }
  if (done_) return 0;
  if (gzip_) return inflatePiece(text, reason);
  if (rawStart_ == raw_.size() && fillRaw(1, reason) != 0) return -1;
  if (rawStart_ == raw_.size()) {
    done_ = true;
    return 0;
  }
  text->append(raw_, rawStart_, std::string::npos);
  rawStart_ = raw_.size();
  return 1;
}

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

Result unpackInput(std::string* bytes, const std::string& fileName) {
  std::string text;
  std::string reason;
  {
    UnpackedInput input{std::string_view(*bytes)};
    int status;
    while ((status = input.read(&text, &reason)) > 0) {
    }
    if (status < 0) return Result::failure(fileName + ": " + reason);
  }
  bytes->swap(text);
  std::string advice = packingAdvice(*bytes, fileName);
  return advice.empty() ? Result() : Result::failure(std::move(advice));
}

}  // namespace tavrel::tools
