// Files in code pages: whole text files read in the code page of their byte-order mark, and
// documents loaded and saved in the PC code pages.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "DocumentTestSupport.h"
#include "KivSedEncoding.h"

namespace {

std::string Bytes(std::initializer_list<int> AList) {
  std::string s;
  for (int b : AList) s.push_back(static_cast<char>(b));
  return s;
}

}  // namespace

TEST(TextFileTest, ReadTextFileDetectsMarks) {
  std::string dir = ::testing::TempDir() + "kiv-enc-XXXXXX";
  ASSERT_NE(mkdtemp(dir.data()), nullptr);
  auto write = [&](const std::string& name, const std::string& bytes) {
    FILE* f = fopen((dir + "/" + name).c_str(), "wb");
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
    return KivFromUtf8(dir + "/" + name);
  };
  EXPECT_EQ(KivReadTextFile(write("a", Bytes({0xEF, 0xBB, 0xBF, 'h', 'i'}))), u"hi");
  EXPECT_EQ(KivReadTextFile(write("b", Bytes({0xFE, 0xFF, 0, 'h', 0x04, 0x36}))), u"h\u0436");
  EXPECT_EQ(KivReadTextFile(write("c", "h\xC3\xA9")), u"h\u00e9");
  EXPECT_EQ(KivReadTextFile(write("d", "\xCF"), 1251), u"\u041f");
  TKivString missing = KivFromUtf8(dir + "/none");
  EXPECT_EQ(DocErrorOf([&] { KivReadTextFile(missing); }),
            KivToUtf8(u"Cannot open file \"" + missing + u"\". No such file or directory"));
  EXPECT_EQ(DocErrorOf([&] { KivReadTextFile(KivFromUtf8(dir)); }),
            KivToUtf8(u"Cannot open file \"" + KivFromUtf8(dir) + u"\". Is a directory"));
  std::filesystem::remove_all(dir);
}

// A file in a PC code page keeps its control codes: 1A 1C 7F in 866 once loaded as
// U+001C U+007F U+001A, and U+007F saved as 0x1C.
TEST(TextFileTest, PcCodePageFilesKeepTheirControlCodes) {
  TKivEditDocument doc;
  std::istringstream in(Bytes({0x1A, 0x1C, 0x7F, 0x8F}));
  doc.LoadFromStream(in, 866);
  EXPECT_EQ(doc.Text(), u"\x1A\x1C\x7F\u041F");
  EXPECT_FALSE(doc.InvalidBytesReplaced());
  doc.Insert(0, u"\x7F");
  std::ostringstream out;
  doc.SaveToStream(out);
  EXPECT_EQ(out.str(), Bytes({0x7F, 0x1A, 0x1C, 0x7F, 0x8F}));
}
