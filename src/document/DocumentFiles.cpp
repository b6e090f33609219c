// The document's files and streams: loading and saving in a code page, and the code page
// properties.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <istream>
#include <ostream>

#include "KivSedEncoding.h"
#include "internal/DocumentPrivate.h"

namespace {

constexpr size_t kBlockSize = 64 * 1024;

// Where loaded bytes come from.
class TByteSource {
 public:
  virtual ~TByteSource() = default;
  // Fills up to ASize bytes; 0 at the end. Read errors raise.
  virtual size_t Read(char* ABuf, size_t ASize) = 0;
  // The number of bytes still to come, or -1 when unknown.
  virtual int64_t SizeHint() = 0;
};

class TStreamSource : public TByteSource {
 public:
  explicit TStreamSource(std::istream& AStream) : FStream(AStream) {}
  size_t Read(char* ABuf, size_t ASize) override {
    if (FStream.eof()) return 0;
    FStream.read(ABuf, static_cast<std::streamsize>(ASize));
    if (FStream.bad()) throw EKivEditDocError(u"Stream read error");
    return static_cast<size_t>(FStream.gcount());
  }
  int64_t SizeHint() override {
    std::istream::pos_type pos = FStream.tellg();
    if (pos == std::istream::pos_type(-1)) {
      FStream.clear(FStream.rdstate() & ~std::ios::failbit);
      return -1;
    }
    FStream.seekg(0, std::ios::end);
    std::istream::pos_type end = FStream.tellg();
    FStream.seekg(pos);
    if (!FStream || end == std::istream::pos_type(-1)) {
      FStream.clear(FStream.rdstate() & ~std::ios::failbit);
      FStream.seekg(pos);
      return -1;
    }
    return static_cast<int64_t>(end - pos);
  }

 private:
  std::istream& FStream;
};

class TFileSource : public TByteSource {
 public:
  explicit TFileSource(const TKivString& AFileName) : FFileName(AFileName) {
    FFd = open(KivToUtf8(AFileName).c_str(), O_RDONLY | O_CLOEXEC);
    if (FFd < 0) Fail(u"Cannot open file \"%s\". %s", errno);
    struct stat st {};
    if (fstat(FFd, &st) != 0) Fail(u"Cannot open file \"%s\". %s", errno);
    if (S_ISDIR(st.st_mode)) Fail(u"Cannot open file \"%s\". %s", EISDIR);
    FSize = S_ISREG(st.st_mode) ? static_cast<int64_t>(st.st_size) : -1;
  }
  ~TFileSource() override {
    if (FFd >= 0) close(FFd);
  }
  size_t Read(char* ABuf, size_t ASize) override {
    for (;;) {
      ssize_t n = read(FFd, ABuf, ASize);
      if (n >= 0) return static_cast<size_t>(n);
      if (errno != EINTR) Fail(u"Cannot read file \"%s\". %s", errno);
    }
  }
  int64_t SizeHint() override { return FSize; }

 private:
  [[noreturn]] void Fail(const char16_t* AFormat, int AErr) {
    throw EKivEditDocError(AFormat, {FFileName, KivSysErrorMessage(AErr)});
  }
  TKivString FFileName;
  int FFd = -1;
  int64_t FSize = -1;
};

[[noreturn]] void RaiseTooLong() {
  throw EKivEditDocError(u"The text is too long for the document: more than %d characters",
                         {TKivTextStorage::KivMaxTextLength});
}

}  // namespace

// ---- loading ----

void TKivEditDocument::LoadFromFile(const TKivString& AFileName) {
  LoadFromFile(AFileName, CodePage(), false);
}

void TKivEditDocument::LoadFromFile(const TKivString& AFileName, TKivCodePageRef ACodePage,
                                    bool AUnicodeAutodetect) {
  CheckCanEdit();
  CheckNotInCompound();
  TKivEncoding check(ACodePage);
  TFileSource source(AFileName);
  LoadFrom([&](char* ABuf, size_t ASize) { return source.Read(ABuf, ASize); }, source.SizeHint(), ACodePage,
           AUnicodeAutodetect);
}

void TKivEditDocument::LoadFromStream(std::istream& AStream) {
  LoadFromStream(AStream, CodePage(), false);
}

void TKivEditDocument::LoadFromStream(std::istream& AStream, TKivCodePageRef ACodePage,
                                      bool AUnicodeAutodetect) {
  CheckCanEdit();
  CheckNotInCompound();
  TKivEncoding check(ACodePage);
  // A stream that failed before (a file that did not open) must not read as an empty text.
  if (!AStream) throw EKivEditDocError(u"Stream read error");
  TStreamSource source(AStream);
  LoadFrom([&](char* ABuf, size_t ASize) { return source.Read(ABuf, ASize); }, source.SizeHint(), ACodePage,
           AUnicodeAutodetect);
}

// Everything is read and decoded into a text of its own first; the document changes only when
// that succeeded.
void TKivEditDocument::LoadFrom(const std::function<size_t(char*, size_t)>& ARead, int64_t ASize,
                                TKivCodePageRef ACodePage, bool AUnicodeAutodetect) {
  std::unique_ptr<char[]> buf(new char[kBlockSize]);
  const int64_t size = ASize;
  // No code page needs more than four bytes for a code unit.
  if (size / 4 > TKivTextStorage::KivMaxTextLength) RaiseTooLong();
  // The first bytes decide the code page: gather enough for the longest byte-order mark.
  size_t have = 0;
  while (have < 4) {
    size_t n = ARead(buf.get() + have, kBlockSize - have);
    if (n == 0) break;
    have += n;
  }
  TKivEncodingDetection found;
  if (AUnicodeAutodetect) found = TKivEncoding::Detect(buf.get(), have);
  auto encoding = std::make_unique<TKivEncoding>(found.Found ? found.CodePage : ACodePage);
  bool preamble = false;
  size_t skip = 0;
  if (found.Found) {
    preamble = true;
    skip = static_cast<size_t>(found.PreambleSize);
  } else if (encoding->StartsWithPreamble(buf.get(), have)) {
    // Only the start of the stream can carry the mark; a U+FEFF further on is text.
    preamble = true;
    skip = encoding->Preamble().size();
  }

  // The text's own storage reserves room for as many characters as the bytes can make, plus
  // the gap the text keeps, so that a large file is not copied through repeated growth; what
  // the estimate left over is given back at the end.
  TGapStorage text(1024);
  if (size > 0)
    text.ReserveText(static_cast<Integer>(std::min<size_t>(encoding->MaxCharsFor(static_cast<size_t>(size)),
                                                           TKivTextStorage::KivMaxTextLength)));
  auto decoder = encoding->NewDecoder();
  TKivCharArray chars(kBlockSize + 16);
  auto append = [&](const char* ABytes, size_t ACount, bool AFlush) {
    size_t count = 0;
    decoder->Decode(ABytes, ACount, AFlush, chars, count);
    if (count > static_cast<size_t>(TKivTextStorage::KivMaxTextLength - text.Count())) RaiseTooLong();
    text.InsertChars(text.Count(), TKivStringView(chars.data(), count));
  };
  append(buf.get() + skip, have - skip, false);
  for (;;) {
    size_t n = ARead(buf.get(), kBlockSize);
    if (n == 0) break;
    append(buf.get(), n, false);
  }
  append(nullptr, 0, true);
  text.TrimGap();

  TUpdateGuard update(*this);
  LoadReplaceText(text);
  if (encoding->CodePage() != FEncoding->CodePage()) AddChange(dcCodePagePropsChanged);
  FEncoding = std::move(encoding);
  if (preamble != FCodePageUsePreamble) AddChange(dcCodePagePropsChanged);
  FCodePageUsePreamble = preamble;
  FInvalidBytesReplaced = decoder->HadInvalidBytes();
}

// ---- saving ----

void TKivEditDocument::SaveToFile(const TKivString& AFileName) {
  SaveToFile(AFileName, CodePage(), FCodePageUsePreamble);
}

void TKivEditDocument::SaveToFile(const TKivString& AFileName, TKivCodePageRef ACodePage) {
  SaveToFile(AFileName, ACodePage, FCodePageUsePreamble);
}

void TKivEditDocument::SaveToFile(const TKivString& AFileName, TKivCodePageRef ACodePage, bool AUsePreamble) {
  std::unique_ptr<TKivEncoding> own;
  if (ACodePage != CodePage()) own = std::make_unique<TKivEncoding>(ACodePage);
  const TKivEncoding& encoding = own ? *own : *FEncoding;
  // The file is replaced only when every byte is on disk; a character the code page cannot
  // hold abandons the temporary file and leaves the old one as it was.
  TKivAtomicFileWriter writer(AFileName);
  WriteText(encoding, AUsePreamble, [&](const char* ABytes, size_t ACount) { writer.Write(ABytes, ACount); });
  writer.Commit();
  MarkSaved();
}

void TKivEditDocument::SaveToStream(std::ostream& AStream) {
  SaveToStream(AStream, CodePage(), FCodePageUsePreamble);
}

void TKivEditDocument::SaveToStream(std::ostream& AStream, TKivCodePageRef ACodePage) {
  SaveToStream(AStream, ACodePage, FCodePageUsePreamble);
}

void TKivEditDocument::SaveToStream(std::ostream& AStream, TKivCodePageRef ACodePage, bool AUsePreamble) {
  std::unique_ptr<TKivEncoding> own;
  if (ACodePage != CodePage()) own = std::make_unique<TKivEncoding>(ACodePage);
  const TKivEncoding& encoding = own ? *own : *FEncoding;
  // A stream cannot be taken back: make sure every character can be written before the first byte.
  CheckEncodable(encoding);
  if (!AStream) throw EKivEditDocError(u"Stream write error");
  WriteText(encoding, AUsePreamble, [&](const char* ABytes, size_t ACount) {
    AStream.write(ABytes, static_cast<std::streamsize>(ACount));
    if (!AStream) throw EKivEditDocError(u"Stream write error");
  });
  if (!AStream.flush()) throw EKivEditDocError(u"Stream write error");
  MarkSaved();
}

void TKivEditDocument::CheckEncodable(const TKivEncoding& AEncoding) const {
  if (AEncoding.EncodesAnyText()) return;
  const Integer count = CharsCount();
  bool full = !AEncoding.IsUnicode();
  // The Unicode forms fail only on lone surrogates: a text without surrogates needs no trial.
  for (Integer pos = 0; !full && pos < count;) {
    const Char* chunk = nullptr;
    Integer n = FStorage->GetChunk(pos, chunk);
    for (Integer i = 0; i < n; ++i)
      if ((chunk[i] & 0xF800) == 0xD800) {
        full = true;
        break;
      }
    pos += n;
  }
  if (!full) return;
  auto encoder = AEncoding.NewEncoder();
  std::string scratch;
  for (Integer pos = 0; pos < count;) {
    const Char* chunk = nullptr;
    Integer n = std::min<Integer>(FStorage->GetChunk(pos, chunk), kBlockSize);
    scratch.clear();
    encoder->Encode(chunk, static_cast<size_t>(n), false, scratch);
    pos += n;
  }
  scratch.clear();
  encoder->Encode(nullptr, 0, true, scratch);
}

void TKivEditDocument::WriteText(const TKivEncoding& AEncoding, bool AUsePreamble,
                                 const std::function<void(const char*, size_t)>& AWrite) const {
  auto encoder = AEncoding.NewEncoder();
  std::string out;
  out.reserve(4 * kBlockSize);
  if (AUsePreamble) out = AEncoding.Preamble();
  const Integer count = CharsCount();
  for (Integer pos = 0; pos < count;) {
    const Char* chunk = nullptr;
    Integer n = std::min<Integer>(FStorage->GetChunk(pos, chunk), kBlockSize);
    encoder->Encode(chunk, static_cast<size_t>(n), false, out);
    pos += n;
    if (out.size() >= 3 * kBlockSize) {
      AWrite(out.data(), out.size());
      out.clear();
    }
  }
  encoder->Encode(nullptr, 0, true, out);
  if (!out.empty()) AWrite(out.data(), out.size());
}

// ---- code page ----

TKivCodePageRef TKivEditDocument::CodePage() const {
  return FEncoding->CodePage();
}

void TKivEditDocument::SetCodePage(TKivCodePageRef AValue) {
  if (AValue == CodePage()) return;
  auto encoding = std::make_unique<TKivEncoding>(AValue);
  TUpdateGuard update(*this);
  FEncoding = std::move(encoding);
  AddChange(dcCodePagePropsChanged);
}

void TKivEditDocument::SetCodePageUsePreamble(bool AValue) {
  if (AValue == FCodePageUsePreamble) return;
  TUpdateGuard update(*this);
  FCodePageUsePreamble = AValue;
  AddChange(dcCodePagePropsChanged);
}

TKivString TKivEditDocument::CodePageName() const {
  return FEncoding->Name();
}

void TKivEditDocument::SetCodePageName(const TKivString& AValue) {
  SetCodePage(TKivEncoding::FromName(AValue)->CodePage());
}
