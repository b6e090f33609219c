// Loading and saving documents: bytes in equal bytes out, failures that change nothing.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "KivSedDocument.h"
#include "KivTestSeed.h"

namespace fs = std::filesystem;

namespace {

std::string Bytes(std::initializer_list<int> AList) {
  std::string s;
  for (int b : AList) s.push_back(static_cast<char>(b));
  return s;
}

std::string Utf16(TKivStringView AText, bool ABigEndian) {
  std::string s;
  for (char16_t c : AText) {
    char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
    s.push_back(ABigEndian ? hi : lo);
    s.push_back(ABigEndian ? lo : hi);
  }
  return s;
}

std::string Utf32(std::u32string_view AText, bool ABigEndian) {
  std::string s;
  for (char32_t c : AText) {
    char b[4] = {static_cast<char>(c & 0xFF), static_cast<char>((c >> 8) & 0xFF),
                 static_cast<char>((c >> 16) & 0xFF), static_cast<char>(c >> 24)};
    if (ABigEndian) std::swap(b[0], b[3]), std::swap(b[1], b[2]);
    s.append(b, 4);
  }
  return s;
}

TKivString ErrorOf(const std::function<void()>& AFn) {
  try {
    AFn();
  } catch (const EKivError& e) {
    return e.Message();
  }
  return u"<no error>";
}

// A stream that cannot seek, like a pipe.
class TPipeBuf : public std::streambuf {
 public:
  explicit TPipeBuf(std::string AData) : FData(std::move(AData)) {}

 protected:
  int_type underflow() override {
    if (FPos >= FData.size()) return traits_type::eof();
    // Hand out the data in uneven small pieces.
    size_t n = std::min<size_t>(FData.size() - FPos, 1 + FPos % 777);
    setg(FData.data() + FPos, FData.data() + FPos, FData.data() + FPos + n);
    FPos += n;
    return traits_type::to_int_type(*gptr());
  }

 private:
  std::string FData;
  size_t FPos = 0;
};

class FilesDocumentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = ::testing::TempDir() + "kiv-files-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    FDir = tmpl;
  }
  void TearDown() override { fs::remove_all(FDir); }

  TKivString Path(const std::string& AName) const { return KivFromUtf8(FDir + "/" + AName); }
  TKivString Put(const std::string& AName, const std::string& ABytes) const {
    std::ofstream(FDir + "/" + AName, std::ios::binary) << ABytes;
    return Path(AName);
  }
  std::string Read(const std::string& AName) const {
    std::ifstream f(FDir + "/" + AName, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }

  std::string FDir;
  TKivEditDocument FDoc;
};

}  // namespace

// Every supported preamble, the Unicode forms with and without one, and single-byte pages:
// the text is read as expected and written back byte for byte.
TEST_F(FilesDocumentTest, RoundTripsBytesInEqualBytesOut) {
  const TKivString text = u"a\rb\nc\r\n\u00e9\u0436\u4e2d\U0001F600\r\r\n\n\uFEFFend";
  const std::u32string text32 = U"a\rb\nc\r\n\u00e9\u0436\u4e2d\U0001F600\r\r\n\n\uFEFFend";
  const std::string utf8 = KivToUtf8(text);
  struct Case {
    const char* Label;
    std::string Bytes;
    Integer CodePage;  // passed to LoadFromFile
    bool Detect;
    TKivString Expected;
    Integer ResultCodePage;
    bool ResultPreamble;
  };
  const std::string cyr = Bytes({0xCF, 0xF0, 0xE8, 0xE2, 0xE5, 0xF2, '\r', '\n', 0xEC, 0xE8, 0xF0, '\r'});
  const TKivString cyrText = u"\u041f\u0440\u0438\u0432\u0435\u0442\r\n\u043c\u0438\u0440\r";
  const Case cases[] = {
      {"utf-8", utf8, 65001, false, text, 65001, false},
      {"utf-8 as system code page", utf8, 0, true, text, 0, false},
      {"utf-8 bom detected", "\xEF\xBB\xBF" + utf8, 1251, true, text, 65001, true},
      {"utf-8 bom of the chosen page", "\xEF\xBB\xBF" + utf8, 65001, false, text, 65001, true},
      {"utf-16le bom", Bytes({0xFF, 0xFE}) + Utf16(text, false), 0, true, text, 1200, true},
      {"utf-16be bom", Bytes({0xFE, 0xFF}) + Utf16(text, true), 0, true, text, 1201, true},
      {"utf-16le plain", Utf16(text, false), 1200, true, text, 1200, false},
      {"utf-16be plain", Utf16(text, true), 1201, false, text, 1201, false},
      {"utf-32le bom", Bytes({0xFF, 0xFE, 0, 0}) + Utf32(text32, false), 0, true, text, 12000, true},
      {"utf-32be bom", Bytes({0, 0, 0xFE, 0xFF}) + Utf32(text32, true), 0, true, text, 12001, true},
      {"windows-1251", cyr, 1251, false, cyrText, 1251, false},
      {"windows-1251 detection finds nothing", cyr, 1251, true, cyrText, 1251, false},
      {"cp866", Bytes({0x8F, 0xE0, 0xA8, '\n'}), 866, false, u"\u041f\u0440\u0438\n", 866, false},
      {"empty file", "", 65001, true, u"", 65001, false},
      {"bom only", "\xEF\xBB\xBF", 0, true, u"", 65001, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Label);
    FDoc.Insert(0, u"previous text");
    FDoc.LoadFromFile(Put("in", c.Bytes), c.CodePage, c.Detect);
    EXPECT_EQ(FDoc.Text(), c.Expected);
    EXPECT_EQ(FDoc.CodePage(), c.ResultCodePage);
    EXPECT_EQ(FDoc.CodePageUsePreamble(), c.ResultPreamble);
    EXPECT_FALSE(FDoc.Modified());
    EXPECT_FALSE(FDoc.CanUndo());
    EXPECT_FALSE(FDoc.InvalidBytesReplaced());
    FDoc.SaveToFile(Path("out"));
    EXPECT_EQ(Read("out"), c.Bytes);
    std::ostringstream os;
    FDoc.SaveToStream(os);
    EXPECT_EQ(os.str(), c.Bytes);
  }
}

TEST_F(FilesDocumentTest, LineIndexFollowsTheLoadedSeparators) {
  FDoc.LoadFromFile(Put("in", "a\rb\nc\r\nd"), 65001);
  ASSERT_EQ(FDoc.LinesCount(), 4);
  TKivLineSeparator kind{};
  ASSERT_TRUE(FDoc.GetLineEndKind(0, kind));
  EXPECT_EQ(kind, lsCR);
  ASSERT_TRUE(FDoc.GetLineEndKind(1, kind));
  EXPECT_EQ(kind, lsLF);
  ASSERT_TRUE(FDoc.GetLineEndKind(2, kind));
  EXPECT_EQ(kind, lsCRLF);
  EXPECT_EQ(FDoc.GetLineText(3), u"d");
}

// Multi-byte characters at every offset around the block boundaries of the reader, through a
// file (sized, seekable) and a pipe-like stream (unsized, small uneven reads).
TEST_F(FilesDocumentTest, MultiByteCharactersAcrossBlockBoundaries) {
  KIV_TEST_SEED(seed);
  std::mt19937 rng(seed);
  SCOPED_TRACE("seed " + std::to_string(seed));
  const TKivString pieces[] = {u"a", u"\r\n", u"\u00e9", u"\u4e2d", u"\U0001F600", u"\r", u"\n", u"\uFEFF"};
  for (Integer cp : {65001, 1200, 1201, 12000}) {
    SCOPED_TRACE(cp);
    for (int shift = 0; shift < 4; ++shift) {
      // Starts with a letter: a leading U+FEFF would read as the preamble of the code page.
      TKivString text(static_cast<size_t>(shift) + 1, u'x');
      while (text.size() < 140000) text += pieces[rng() % std::size(pieces)];
      std::ostringstream encoded;
      {
        TKivEditDocument src;
        src.Insert(0, text);
        src.SaveToStream(encoded, cp, false);
      }
      const std::string bytes = encoded.str();
      FDoc.LoadFromFile(Put("in", bytes), cp);
      ASSERT_EQ(FDoc.Text(), text);
      TPipeBuf pipe(bytes);
      std::istream in(&pipe);
      FDoc.LoadFromStream(in, cp);
      ASSERT_EQ(FDoc.Text(), text);
      std::ostringstream again;
      FDoc.SaveToStream(again);
      ASSERT_EQ(again.str(), bytes);
    }
  }
}

TEST_F(FilesDocumentTest, OnlyTheStreamStartCarriesAByteOrderMark) {
  const std::string bom = "\xEF\xBB\xBF";
  FDoc.LoadFromFile(Put("in", bom + bom + "x" + bom), 65001, true);
  EXPECT_EQ(FDoc.Text(), u"\uFEFFx\uFEFF");
  EXPECT_TRUE(FDoc.CodePageUsePreamble());
  FDoc.SaveToFile(Path("out"));
  EXPECT_EQ(Read("out"), bom + bom + "x" + bom);
}

TEST_F(FilesDocumentTest, InvalidBytesAreShownAndReported) {
  FDoc.LoadFromFile(Put("in",
                        "a\xFF"
                        "b\xE4\xB8"),
                    65001);
  EXPECT_EQ(FDoc.Text(), u"a\uFFFDb\uFFFD");
  EXPECT_TRUE(FDoc.InvalidBytesReplaced());
  FDoc.LoadFromFile(Put("in", "fine"), 65001);
  EXPECT_FALSE(FDoc.InvalidBytesReplaced());
}

TEST_F(FilesDocumentTest, AFailedLoadChangesNothing) {
  FDoc.Insert(0, u"keep\r\nme");
  FDoc.SetCodePage(1251);
  const TKivString missing = Path("missing");
  struct Case {
    std::function<void()> Load;
    TKivString Message;
  };
  const TKivString dir = KivFromUtf8(FDir);
  const Case cases[] = {
      {[&] { FDoc.LoadFromFile(missing); },
       u"Cannot open file \"" + missing + u"\". No such file or directory"},
      {[&] { FDoc.LoadFromFile(dir); }, u"Cannot open file \"" + dir + u"\". Is a directory"},
      {[&] { FDoc.LoadFromFile(Put("x", "data"), 4242); }, u"Unknown code page: 4242"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ErrorOf(c.Load), c.Message);
    EXPECT_EQ(FDoc.Text(), u"keep\r\nme");
    EXPECT_EQ(FDoc.LinesCount(), 2);
    EXPECT_TRUE(FDoc.Modified());
    EXPECT_TRUE(FDoc.CanUndo());
    EXPECT_EQ(FDoc.CodePage(), 1251);
  }
  // A stream that breaks down in the middle.
  struct TBrokenBuf : std::streambuf {
    int_type underflow() override {
      if (FCalls++ == 0) {
        setg(FData, FData, FData + 4);
        return 'd';
      }
      throw std::runtime_error("device gone");
    }
    char FData[4] = {'d', 'a', 't', 'a'};
    int FCalls = 0;
  } broken;
  std::istream in(&broken);
  EXPECT_EQ(ErrorOf([&] { FDoc.LoadFromStream(in); }), u"Stream read error");
  EXPECT_EQ(FDoc.Text(), u"keep\r\nme");
  EXPECT_TRUE(FDoc.CanUndo());
  // A stream that failed to open is not an empty text.
  std::ifstream notThere(FDir + "/not-there");
  EXPECT_EQ(ErrorOf([&] { FDoc.LoadFromStream(notThere); }), u"Stream read error");
  // A stream larger than any text the document can hold is refused before it is read.
  struct THugeBuf : std::streambuf {
    pos_type seekoff(off_type AOff, std::ios::seekdir ADir, std::ios::openmode) override {
      FPos = ADir == std::ios::end ? (off_type(5) << 30) + AOff : ADir == std::ios::cur ? FPos + AOff : AOff;
      return pos_type(FPos);
    }
    pos_type seekpos(pos_type APos, std::ios::openmode) override { return pos_type(FPos = off_type(APos)); }
    off_type FPos = 0;
    int_type underflow() override {
      ++FReads;
      return traits_type::eof();
    }
    int FReads = 0;
  } huge;
  std::istream hugeIn(&huge);
  EXPECT_EQ(ErrorOf([&] { FDoc.LoadFromStream(hugeIn); }),
            u"The text is too long for the document: more than 1073741823 characters");
  EXPECT_EQ(huge.FReads, 0);
  EXPECT_EQ(FDoc.Text(), u"keep\r\nme");
  // Read-only documents and open compound edits refuse.
  FDoc.SetReadOnly(true);
  EXPECT_EQ(ErrorOf([&] { FDoc.LoadFromFile(Put("x", "data")); }), u"Document is read-only");
  FDoc.SetReadOnly(false);
  FDoc.BeginCompoundEdit();
  EXPECT_EQ(ErrorOf([&] { FDoc.LoadFromFile(Put("x", "data")); }),
            u"This method is prohibited while document in compound edit");
  FDoc.EndCompoundEdit();
  EXPECT_EQ(FDoc.Text(), u"keep\r\nme");
}

TEST_F(FilesDocumentTest, SaveFailuresKeepTheOldFileAndTheModifiedState) {
  const std::string old = "old content";
  Put("target.txt", old);
  fs::create_directory(FDir + "/adir");
  FDoc.Insert(0, u"new \u4e2d text");
  struct Case {
    std::function<void()> Save;
    TKivString Message;
  };
  const TKivString target = Path("target.txt"), adir = Path("adir"), under = Path("target.txt/x");
  const Case cases[] = {
      // A character windows-1251 cannot hold: found before the file is replaced.
      {[&] { FDoc.SaveToFile(target, 1251); },
       u"Character U+4E2D at offset 4 cannot be saved in code page 1251 (windows-1251)"},
      {[&] { FDoc.SaveToFile(adir); }, u"Cannot create file \"" + adir + u"\". Is a directory"},
      {[&] { FDoc.SaveToFile(under); }, u"Cannot create file \"" + under + u"\". Not a directory"},
      {[&] { FDoc.SaveToFile(target, 777); }, u"Unknown code page: 777"},
      // A file nobody may write (checked by its permission bits, so also when run as root).
      {[&] {
         chmod((FDir + "/target.txt").c_str(), 0444);
         try {
           FDoc.SaveToFile(target);
         } catch (...) {
           chmod((FDir + "/target.txt").c_str(), 0644);
           throw;
         }
       },
       u"Cannot write file \"" + target + u"\". Permission denied"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ErrorOf(c.Save), c.Message);
    EXPECT_EQ(Read("target.txt"), old);
    EXPECT_TRUE(FDoc.Modified());
    EXPECT_EQ(std::distance(fs::directory_iterator(FDir), {}), 2);  // no temporary files left
  }
  // A stream gets nothing at all when a character cannot be written.
  std::ostringstream os;
  EXPECT_NE(ErrorOf([&] { FDoc.SaveToStream(os, 1251); }), u"<no error>");
  EXPECT_EQ(os.str(), "");
  EXPECT_TRUE(FDoc.Modified());
  // A stream that refuses the bytes.
  std::ostream bad(nullptr);
  EXPECT_EQ(ErrorOf([&] { FDoc.SaveToStream(bad); }), u"Stream write error");
  EXPECT_TRUE(FDoc.Modified());
  // And the save that works.
  FDoc.SaveToFile(target);
  EXPECT_EQ(Read("target.txt"), "new \xE4\xB8\xAD text");
  EXPECT_FALSE(FDoc.Modified());
  EXPECT_EQ(FDoc.CodePage(), 0);
}

TEST_F(FilesDocumentTest, SavingInAnotherCodePageKeepsTheDocumentsOwn) {
  FDoc.Insert(0, u"\u041f\u0440\u0438");
  std::ostringstream os;
  FDoc.SaveToStream(os, 1251, true);  // no preamble exists for windows-1251
  EXPECT_EQ(os.str(), Bytes({0xCF, 0xF0, 0xE8}));
  EXPECT_EQ(FDoc.CodePage(), 0);
  std::ostringstream os2;
  FDoc.SaveToStream(os2, 1200, true);
  EXPECT_EQ(os2.str(), Bytes({0xFF, 0xFE, 0x1F, 0x04, 0x40, 0x04, 0x38, 0x04}));
  EXPECT_FALSE(FDoc.CodePageUsePreamble());
}

TEST_F(FilesDocumentTest, CodePageProperties) {
  std::vector<bool> reports;
  FDoc.OnDocChanged = [&](TKivEditDocument&, TKivDocStatusChanges AChanges) {
    reports.push_back(AChanges.Contains(dcCodePagePropsChanged));
  };
  EXPECT_EQ(FDoc.CodePage(), 0);
  EXPECT_EQ(FDoc.CodePageName(), u"UTF-8");
  EXPECT_FALSE(FDoc.CodePageUsePreamble());
  FDoc.SetCodePage(1251);
  EXPECT_EQ(FDoc.CodePageName(), u"windows-1251");
  FDoc.SetCodePage(1251);
  FDoc.SetCodePageName(u"koi8-r");
  EXPECT_EQ(FDoc.CodePage(), 20866);
  FDoc.SetCodePageUsePreamble(true);
  FDoc.SetCodePageUsePreamble(true);
  EXPECT_EQ(reports, (std::vector<bool>{true, true, true}));
  EXPECT_EQ(ErrorOf([&] { FDoc.SetCodePageName(u"bogus"); }), u"Unknown code page name: bogus");
  EXPECT_EQ(ErrorOf([&] { FDoc.SetCodePage(3); }), u"Unknown code page: 3");
  EXPECT_EQ(FDoc.CodePage(), 20866);
  EXPECT_EQ(reports.size(), 3u);
  // A load that changes the code page says so too.
  reports.clear();
  FDoc.LoadFromFile(Put("in",
                        "\xFF\xFE"
                        "a\0"),
                    0, true);
  ASSERT_FALSE(reports.empty());
  EXPECT_TRUE(reports.back());
}

// Listeners told AfterRefresh see the new text with its new line index, after the parser
// heard of it.
TEST_F(FilesDocumentTest, AfterRefreshComesAfterTheIndexAndTheParser) {
  std::vector<std::string> log;
  struct TParser : TKivEditParserBase {
    std::vector<std::string>* Log;
    void LinesChangedFrom(Integer AStart) override {
      Log->push_back("parser from " + std::to_string(AStart));
    }
  };
  auto parser = std::make_unique<TParser>();
  parser->Log = &log;
  FDoc.SetParser(std::move(parser));
  struct TListener : TKivDocumentListener {
    TKivEditDocument* Doc;
    std::vector<std::string>* Log;
    void BeforeRefresh() override { Log->push_back("before " + KivToUtf8(Doc->Text())); }
    void AfterRefresh() override {
      Log->push_back("after " + std::to_string(Doc->LinesCount()) + " " + KivToUtf8(Doc->GetLineText(2)));
    }
  } listener;
  listener.Doc = &FDoc;
  listener.Log = &log;
  FDoc.Insert(0, u"old");
  FDoc.AddListener(&listener);
  log.clear();
  FDoc.LoadFromFile(Put("in", "one\ntwo\nthree"), 65001);
  FDoc.RemoveListener(&listener);
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log.front(), "before ");  // the old text went first, as a deletion
  EXPECT_EQ(log.back(), "after 3 three");
  EXPECT_EQ(log[log.size() - 2], "parser from 0");
}
