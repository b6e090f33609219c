// The atomic file writer: the target is replaced whole or not at all.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "KivSedEncoding.h"

namespace fs = std::filesystem;

namespace {

class FilesWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = ::testing::TempDir() + "kiv-writer-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    FDir = tmpl;
  }
  void TearDown() override { fs::remove_all(FDir); }

  std::string Path(const std::string& AName) const { return FDir + "/" + AName; }
  static std::string Read(const std::string& APath) {
    std::ifstream f(APath, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  static void Put(const std::string& APath, const std::string& ABytes) {
    std::ofstream(APath, std::ios::binary) << ABytes;
  }
  // Files left in the directory besides the expected ones (no temporary files may remain).
  size_t EntryCount() const { return static_cast<size_t>(std::distance(fs::directory_iterator(FDir), {})); }

  static TKivString SaveError(const std::string& APath, const std::string& ABytes) {
    try {
      TKivAtomicFileWriter w(KivFromUtf8(APath));
      w.Write(ABytes.data(), ABytes.size());
      w.Commit();
    } catch (const EKivEditDocError& e) {
      return e.Message();
    }
    return u"<no error>";
  }

  std::string FDir;
};

}  // namespace

TEST_F(FilesWriterTest, CreatesAndReplacesFiles) {
  std::string big(3 << 20, 'x');  // larger than the write buffer
  big[12345] = 'y';
  EXPECT_EQ(SaveError(Path("a.txt"), "first"), u"<no error>");
  EXPECT_EQ(Read(Path("a.txt")), "first");
  EXPECT_EQ(SaveError(Path("a.txt"), big), u"<no error>");
  EXPECT_EQ(Read(Path("a.txt")), big);
  EXPECT_EQ(SaveError(Path("a.txt"), ""), u"<no error>");
  EXPECT_EQ(Read(Path("a.txt")), "");
  EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(FilesWriterTest, ManySmallWritesAreJoined) {
  TKivAtomicFileWriter w(KivFromUtf8(Path("b")));
  std::string expected;
  for (int i = 0; i < 100000; ++i) {
    std::string piece = std::to_string(i) + ",";
    w.Write(piece.data(), piece.size());
    expected += piece;
  }
  w.Commit();
  EXPECT_EQ(Read(Path("b")), expected);
}

TEST_F(FilesWriterTest, KeepsPermissionsAndFollowsLinks) {
  Put(Path("real"), "old");
  ASSERT_EQ(chmod(Path("real").c_str(), 0640), 0);
  ASSERT_EQ(symlink("real", Path("link").c_str()), 0);
  EXPECT_EQ(SaveError(Path("link"), "new"), u"<no error>");
  EXPECT_TRUE(fs::is_symlink(Path("link")));
  EXPECT_EQ(Read(Path("real")), "new");
  struct stat st {};
  ASSERT_EQ(stat(Path("real").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

// A dangling link gets its target created and stays a link; so does each link of a chain.
TEST_F(FilesWriterTest, DanglingLinkCreatesItsTarget) {
  fs::create_directory(Path("sub"));
  ASSERT_EQ(symlink("sub/new.txt", Path("link").c_str()), 0);
  ASSERT_EQ(symlink("link", Path("chain").c_str()), 0);
  EXPECT_EQ(SaveError(Path("chain"), "made"), u"<no error>");
  EXPECT_TRUE(fs::is_symlink(Path("link")));
  EXPECT_TRUE(fs::is_symlink(Path("chain")));
  EXPECT_EQ(Read(Path("sub/new.txt")), "made");
  EXPECT_EQ(SaveError(Path("link"), "again"), u"<no error>");
  EXPECT_EQ(Read(Path("sub/new.txt")), "again");
  EXPECT_EQ(EntryCount(), 3u);
  ASSERT_EQ(symlink("loop", Path("loop").c_str()), 0);
  EXPECT_EQ(SaveError(Path("loop"), "x"),
            u"Cannot create file \"" + KivFromUtf8(Path("loop")) + u"\". Too many levels of symbolic links");
  ASSERT_EQ(symlink("nowhere/x", Path("lost").c_str()), 0);
  EXPECT_EQ(SaveError(Path("lost"), "x"),
            u"Cannot create file \"" + KivFromUtf8(Path("lost")) + u"\". No such file or directory");
  EXPECT_TRUE(fs::is_symlink(Path("lost")));
}

// A file without write permission is not replaced, for the superuser neither (whom the system
// would let write it): the check reads the permission bits.
TEST_F(FilesWriterTest, ReadOnlyFileIsRefused) {
  Put(Path("ro"), "keep");
  ASSERT_EQ(chmod(Path("ro").c_str(), 0444), 0);
  ASSERT_EQ(symlink("ro", Path("to-ro").c_str()), 0);
  for (const char* name : {"ro", "to-ro"})
    EXPECT_EQ(SaveError(Path(name), "lost"),
              u"Cannot write file \"" + KivFromUtf8(Path(name)) + u"\". Permission denied");
  EXPECT_EQ(Read(Path("ro")), "keep");
  struct stat st {};
  ASSERT_EQ(stat(Path("ro").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0444u);
  EXPECT_EQ(EntryCount(), 2u);
  // Writable again, it is replaced.
  ASSERT_EQ(chmod(Path("ro").c_str(), 0644), 0);
  EXPECT_EQ(SaveError(Path("to-ro"), "new"), u"<no error>");
  EXPECT_EQ(Read(Path("ro")), "new");
}

// The cases where saving must fail even for root: the old content stays and no temporary file
// is left behind.
TEST_F(FilesWriterTest, FailuresLeaveTheTargetAlone) {
  fs::create_directory(Path("dir"));
  Put(Path("dir/inside"), "keep");
  Put(Path("plain"), "plain file");
  const std::string dirTarget = Path("dir");
  EXPECT_EQ(SaveError(dirTarget, "x"),
            u"Cannot create file \"" + KivFromUtf8(dirTarget) + u"\". Is a directory");
  EXPECT_EQ(Read(Path("dir/inside")), "keep");
  // A path component that is a regular file.
  const std::string underFile = Path("plain/sub.txt");
  EXPECT_EQ(SaveError(underFile, "x"),
            u"Cannot create file \"" + KivFromUtf8(underFile) + u"\". Not a directory");
  EXPECT_EQ(Read(Path("plain")), "plain file");
  const std::string noDir = Path("missing/sub.txt");
  EXPECT_EQ(SaveError(noDir, "x"),
            u"Cannot create file \"" + KivFromUtf8(noDir) + u"\". No such file or directory");
  EXPECT_EQ(SaveError("", "x"), u"Cannot create file \"\". No such file or directory");
  EXPECT_EQ(EntryCount(), 2u);
  EXPECT_EQ(std::distance(fs::directory_iterator(Path("dir")), {}), 1);
}

TEST_F(FilesWriterTest, RenameOntoADirectoryFailsAfterWriting) {
  // The directory appears after the writer was created: the rename is refused and the
  // temporary file removed.
  TKivString target = KivFromUtf8(Path("late"));
  std::string message;
  {
    TKivAtomicFileWriter w(target);
    w.Write("abc", 3);
    fs::create_directory(Path("late"));
    Put(Path("late/x"), "x");
    try {
      w.Commit();
    } catch (const EKivEditDocError& e) {
      message = KivToUtf8(e.Message());
    }
  }
  EXPECT_EQ(message.rfind("Cannot write file \"" + Path("late") + "\". ", 0), 0u) << message;
  EXPECT_EQ(Read(Path("late/x")), "x");
  EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(FilesWriterTest, AbandonedWriterRemovesItsTemporaryFile) {
  Put(Path("t"), "old");
  {
    TKivAtomicFileWriter w(KivFromUtf8(Path("t")));
    w.Write("new", 3);
  }
  EXPECT_EQ(Read(Path("t")), "old");
  EXPECT_EQ(EntryCount(), 1u);
}
