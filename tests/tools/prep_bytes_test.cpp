// The bytes of tavrel-prep's input before any format reads them: gzip
// unpacking, refused archives and the check that the input is text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "prep/compressed_input.h"
#include "prep/text_check.h"
#include "tools/tools_test_support.h"

namespace tavrel::tools {
namespace {

const std::string kVisits =
    "# four visits of a web shop\nhome search, cart\nsearch,search\thome\n\n  , ,\n"
    "checkout home cart\n\xC3\x9C"
    "bersicht home";

TEST(CompressedInputTest, GzipIsUnpackedMemberByMember) {
  std::string packed = testing::readData("prep/gzip/visits.txt.gz");
  struct Case {
    std::string bytes;
    std::string text;
  };
  for (const Case& c : std::vector<Case>{{packed, kVisits},
                                         {packed + packed, kVisits + kVisits},
                                         {packed + std::string(512, '\0'), kVisits},
                                         {"plain text\n", "plain text\n"},
                                         {"", ""}}) {
    std::string bytes = c.bytes;
    Result unpacked = unpackInput(&bytes, "in.gz");
    EXPECT_TRUE(unpacked.ok()) << unpacked.message();
    EXPECT_EQ(bytes, c.text);
  }
}

TEST(CompressedInputTest, DamagedGzipAndOtherPackingsAreRefusedWithAdvice) {
  std::string packed = testing::readData("prep/gzip/visits.txt.gz");
  std::string flipped = packed;
  flipped[20] = static_cast<char>(flipped[20] ^ 0x55);
  std::string tar(600, '\0');
  tar.replace(257, 5, "ustar");
  struct Case {
    std::string bytes;
    std::string error;
  };
  for (const Case& c : std::vector<Case>{
           {packed.substr(0, packed.size() - 12),
            "in: the gzip data ends early (is the file complete?)"},
           {"\x1F\x8B", "in: the gzip data ends early (is the file complete?)"},
           {packed + "trailing", "in: text after the end of the gzip data"},
           {flipped.substr(0, 30) + packed.substr(30),
            "in: the gzip data is damaged (invalid bit length repeat)"},
           {"PK\x03\x04rest",
            "in is a zip archive; unzip it first (unzip in) and give "
            "tavrel-prep the file inside"},
           {tar,
            "in holds a tar archive; unpack it first (tar -xf in) and give tavrel-prep "
            "the file inside"},
           {"BZh91AY&SY", "in is compressed with bzip2; decompress it first (bunzip2 -k in)"},
           {std::string("\xFD\x37\x7A\x58\x5A\x00\x00", 7),
            "in is compressed with xz; decompress it first (xz -dk in)"}}) {
    std::string bytes = c.bytes;
    EXPECT_EQ(unpackInput(&bytes, "in").message(), c.error);
  }
}

TEST(TextCheckTest, BinaryDataAndOtherEncodingsAreRefused) {
  // Up to eight stray bytes pass: they are common in real logs.
  Result checked = checkText("caf\xE9 ok\n\xFF\xFE\xFD\xFC\xFB\xFA\xF9 \xC3\x9C\n", "in");
  EXPECT_TRUE(checked.ok()) << checked.message();
  EXPECT_TRUE(checkText("", "in").ok());
  struct Case {
    std::string text;
    std::string error;
  };
  for (const Case& c : std::vector<Case>{
           {std::string("a b\nc \0 d\n", 10),
            "in:2: a NUL byte; this is not a text file (tavrel-prep reads text, CSV and SPMF "
            "files)"},
           {std::string("\xFF\xFEh\0i\0", 6),
            "in is UTF-16 text; convert it to UTF-8 first, e.g. with iconv -f UTF-16 -t UTF-8"},
           {"ok\nok\nM\xFCller \xE9t\xE9\n\xE0 la \xE7\xE0 \xF1o \xF6l\xFC\n",
            "in:3: not UTF-8 text (more than 8 bytes that are not UTF-8, the first on this "
            "line); convert the file to UTF-8 first, e.g. with iconv -f LATIN1 -t UTF-8"}}) {
    EXPECT_EQ(checkText(c.text, "in").message(), c.error);
  }
}

}  // namespace
}  // namespace tavrel::tools
