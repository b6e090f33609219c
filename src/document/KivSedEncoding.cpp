#include "KivSedEncoding.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <system_error>

// ---- TKivAtomicFileWriter ----

TKivString KivSysErrorMessage(int AErrno) {
  return KivFromUtf8(std::generic_category().message(AErrno));
}

namespace {
constexpr size_t kWriteBufferSize = 1 << 20;

std::string ParentDir(const std::string& APath) {
  size_t slash = APath.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return APath.substr(0, slash);
}

// The file a path names once symbolic links are followed, also when the last link dangles (its
// target is then to be created); 0 or the errno of the failure in AErr.
std::string FollowLinks(std::string APath, int& AErr) {
  AErr = 0;
  for (int depth = 0; depth < 40; ++depth) {
    struct stat lst {};
    if (lstat(APath.c_str(), &lst) != 0 || !S_ISLNK(lst.st_mode)) return APath;
    std::string link(static_cast<size_t>(lst.st_size > 0 ? lst.st_size : PATH_MAX) + 1, '\0');
    const ssize_t n = readlink(APath.c_str(), link.data(), link.size());
    if (n < 0) {
      AErr = errno;
      return APath;
    }
    link.resize(static_cast<size_t>(n));
    APath = !link.empty() && link[0] == '/' ? link : ParentDir(APath) + "/" + link;
  }
  AErr = ELOOP;
  return APath;
}

// Whether an existing file may be replaced. The permission bits are checked as well as the
// access rights, so that a file nobody may write stays untouched even for the superuser.
bool MayReplace(const std::string& APath, const struct stat& ASt) {
  return (ASt.st_mode & 0222) != 0 && access(APath.c_str(), W_OK) == 0;
}

mode_t CurrentUmask() {
  mode_t m = umask(0);
  umask(m);
  return m;
}
}  // namespace

TKivAtomicFileWriter::TKivAtomicFileWriter(const TKivString& AFileName) : FFileName(AFileName) {
  auto fail = [&](int AErr) -> void {
    throw EKivEditDocError(u"Cannot create file \"%s\". %s", {FFileName, KivSysErrorMessage(AErr)});
  };
  FTarget = KivToUtf8(AFileName);
  if (FTarget.empty() || FTarget.back() == '/') fail(FTarget.empty() ? ENOENT : EISDIR);
  // A symbolic link stays: the file it points to is replaced, or created when it is missing.
  int linkErr = 0;
  FTarget = FollowLinks(FTarget, linkErr);
  if (linkErr != 0) fail(linkErr);
  struct stat st {};
  bool exists = stat(FTarget.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) fail(EISDIR);
  // The rename would replace a read-only file as long as its directory is writable.
  if (exists && !MayReplace(FTarget, st))
    throw EKivEditDocError(u"Cannot write file \"%s\". %s", {FFileName, KivSysErrorMessage(EACCES)});
  std::string base = FTarget.substr(FTarget.find_last_of('/') + 1);
  FTempName = ParentDir(FTarget) + "/." + base + ".kivsave-XXXXXX";
  FFd = mkostemp(FTempName.data(), O_CLOEXEC);
  if (FFd < 0) {
    int err = errno;
    FTempName.clear();
    fail(err);
  }
  // The replacement keeps the target's permissions; a new file gets the usual ones.
  if (exists) {
    fchmod(FFd, st.st_mode & 07777);
    if (fchown(FFd, st.st_uid, st.st_gid) != 0) {
      // Not permitted for another owner: the file then belongs to whoever saved it.
    }
  } else {
    fchmod(FFd, 0666 & ~CurrentUmask());
  }
  FBuffer.reserve(kWriteBufferSize);
}

TKivAtomicFileWriter::~TKivAtomicFileWriter() {
  if (FFd >= 0) close(FFd);
  if (!FCommitted && !FTempName.empty()) unlink(FTempName.c_str());
}

void TKivAtomicFileWriter::Fail(TKivStringView AFormat, int AErrno) {
  if (FFd >= 0) close(FFd);
  FFd = -1;
  if (!FTempName.empty()) unlink(FTempName.c_str());
  FTempName.clear();
  throw EKivEditDocError(AFormat, {FFileName, KivSysErrorMessage(AErrno)});
}

namespace {
// Writes everything or returns the errno of the failure.
int WriteAll(int AFd, const char* ABytes, size_t ASize) {
  while (ASize > 0) {
    ssize_t n = ::write(AFd, ABytes, std::min<size_t>(ASize, 1u << 30));
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return EIO;
    ABytes += n;
    ASize -= static_cast<size_t>(n);
  }
  return 0;
}
}  // namespace

void TKivAtomicFileWriter::FlushBuffer() {
  if (FBuffer.empty()) return;
  int err = WriteAll(FFd, FBuffer.data(), FBuffer.size());
  FBuffer.clear();
  if (err != 0) Fail(u"Cannot write file \"%s\". %s", err);
}

void TKivAtomicFileWriter::Write(const char* ABytes, size_t ASize) {
  KIV_ASSERT(FFd >= 0 && !FCommitted, "KivSedEncoding");
  if (FBuffer.size() + ASize <= kWriteBufferSize) {
    FBuffer.append(ABytes, ASize);
    return;
  }
  FlushBuffer();
  if (ASize >= kWriteBufferSize / 2) {
    int err = WriteAll(FFd, ABytes, ASize);
    if (err != 0) Fail(u"Cannot write file \"%s\". %s", err);
  } else {
    FBuffer.append(ABytes, ASize);
  }
}

void TKivAtomicFileWriter::Commit() {
  KIV_ASSERT(FFd >= 0 && !FCommitted, "KivSedEncoding");
  FlushBuffer();
  if (fsync(FFd) != 0) Fail(u"Cannot write file \"%s\". %s", errno);
  int fd = FFd;
  FFd = -1;
  if (close(fd) != 0) Fail(u"Cannot write file \"%s\". %s", errno);
  if (rename(FTempName.c_str(), FTarget.c_str()) != 0) Fail(u"Cannot write file \"%s\". %s", errno);
  FCommitted = true;
  // Make the rename itself durable; the new content is in place whatever this reports.
  int dir = open(ParentDir(FTarget).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
}

// ---- Whole text files ----

TKivString KivReadTextFile(const TKivString& AFileName, TKivCodePageRef ADefaultCodePage) {
  auto fail = [&](int AErr) {
    return EKivEditDocError(u"Cannot open file \"%s\". %s", {AFileName, KivSysErrorMessage(AErr)});
  };
  std::string path = KivToUtf8(AFileName);
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw fail(errno);
  std::string bytes;
  int err = 0;
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    err = errno;
  } else if (S_ISDIR(st.st_mode)) {
    err = EISDIR;
  } else {
    char buf[65536];
    for (;;) {
      ssize_t n = read(fd, buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) err = errno;
      if (n <= 0) break;
      bytes.append(buf, static_cast<size_t>(n));
    }
  }
  close(fd);
  if (err != 0) throw fail(err);
  TKivEncodingDetection found = TKivEncoding::Detect(bytes.data(), bytes.size());
  TKivEncoding enc(found.Found ? found.CodePage : ADefaultCodePage);
  size_t skip = found.Found ? static_cast<size_t>(found.PreambleSize) : 0;
  TKivCharArray chars;
  size_t count = 0;
  enc.NewDecoder()->Decode(bytes.data() + skip, bytes.size() - skip, true, chars, count);
  return TKivString(chars.data(), count);
}
