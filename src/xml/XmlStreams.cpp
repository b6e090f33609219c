// Byte streams: character sources over 8-bit and UTF-16LE streams, byte-order marks, the
// encoding of the XML declaration, saving, files and resources.
#include <filesystem>
#include <fstream>
#include <istream>
#include <ostream>
#include <sstream>

#include "internal/XmlInternal.h"

namespace {

constexpr size_t KBlockSize = 64 * 1024;

[[noreturn]] void Unsupported() {
  throw EKivXmlError(u"This encoding isn't supported");
}

std::string ReadBlock(std::istream& AStream) {
  std::string block(KBlockSize, '\0');
  AStream.read(block.data(), static_cast<std::streamsize>(block.size()));
  block.resize(static_cast<size_t>(AStream.gcount()));
  return block;
}

// Printable ASCII, TAB, CR and LF: the only codes a declaration may hold to be recognised.
bool IsDeclarationByte(char AByte) {
  auto b = static_cast<unsigned char>(AByte);
  return (b >= 0x20 && b < 0x7F) || b == '\t' || b == '\r' || b == '\n';
}

// The encoding named by an XML declaration at the very start of the text, or empty. The
// declaration counts only when it is printable ASCII up to its "?>" within the first 1 KB, so that the
// writer (on characters) and the reader (on bytes) always agree about it.
std::string DeclaredEncodingOf(std::string_view AHead) {
  if (AHead.size() < 6 || AHead.substr(0, 5) != "<?xml" || static_cast<unsigned char>(AHead[5]) > 32)
    return {};
  size_t end = AHead.substr(0, 1024).find("?>");
  if (end == std::string_view::npos) return {};
  std::string_view decl = AHead.substr(0, end);
  for (char c : decl)
    if (!IsDeclarationByte(c)) return {};
  for (size_t at = decl.find("encoding"); at != std::string_view::npos; at = decl.find("encoding", at + 1)) {
    if (static_cast<unsigned char>(decl[at - 1]) > 32) continue;
    size_t i = at + 8;
    while (i < decl.size() && static_cast<unsigned char>(decl[i]) <= 32) ++i;
    if (i >= decl.size() || decl[i] != '=') continue;
    ++i;
    while (i < decl.size() && static_cast<unsigned char>(decl[i]) <= 32) ++i;
    if (i >= decl.size() || (decl[i] != '"' && decl[i] != '\'')) continue;
    size_t close = decl.find(decl[i], i + 1);
    if (close == std::string_view::npos) continue;
    return std::string(decl.substr(i + 1, close - i - 1));
  }
  return {};
}

std::unique_ptr<TKivEncoding> EncodingNamed(const std::string& AName) {
  std::unique_ptr<TKivEncoding> encoding = TKivEncoding::TryFromName(KivFromUtf8(AName));
  if (!encoding) Unsupported();
  return encoding;
}

// The code page to read 8-bit input declared in AName.
std::unique_ptr<TKivEncoding> ReadEncodingOf(const std::string& AName) {
  if (AName.empty()) return std::make_unique<TKivEncoding>(65001);
  std::unique_ptr<TKivEncoding> encoding = EncodingNamed(AName);
  // A declaration of UTF-16 or UTF-32 read from 8-bit text was not updated when the text was
  // converted: the bytes are the system code page.
  if (encoding->IsWide()) return std::make_unique<TKivEncoding>(65001);
  // The declaration must read as it was found.
  if (!encoding->IsAsciiCompatible()) Unsupported();
  return encoding;
}

// The document in a code page, after APreamble: characters it lacks become character references
// where the syntax allows one; elsewhere the writer refuses them.
std::string Encode(const TKivXmlDocument& ADocument, const TKivEncoding& AEncoding, std::string APreamble) {
  const std::shared_ptr<const TKivCodePointSet> encodable = AEncoding.RoundTripSet();
  TXmlWriteContext context;
  context.Preserve = ADocument.PreserveWhiteSpace();
  context.Encodable = encodable.get();
  TKivString text;
  XmlWrite(ADocument, text, context, 0);
  // A leading U+FEFF would read back as the byte-order mark.
  if (!text.empty() && text[0] == 0xFEFF) text.replace(0, 1, u"&#65279;");
  std::string out = std::move(APreamble);
  try {
    AEncoding.NewEncoder()->Encode(text.data(), text.size(), true, out);
  } catch (const EKivEditDocError& e) {
    throw EKivXmlError(e.Message());
  }
  return out;
}

std::filesystem::path PathOf(const TKivString& AFileName) {
  return std::filesystem::path(AFileName);
}

TKivXmlResourceReader& ResourceReader() {
  static TKivXmlResourceReader reader;
  return reader;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Sources

TKivXmlStmSource::TKivXmlStmSource(std::istream& AStream, std::string APrefix, const TKivEncoding& AEncoding,
                                   size_t AOffset)
    : FStream(AStream),
      FPending(std::move(APrefix)),
      FName(AEncoding.Name()),
      FOffset(AOffset),
      FDecoder(AEncoding.NewDecoder()) {}

bool TKivXmlStmSource::Fill() {
  while (!FFlushed) {
    if (FPending.empty()) FPending = ReadBlock(FStream);
    const bool last = FPending.empty();
    size_t count = 0;
    FDecoder->Decode(FPending.data(), FPending.size(), last, FBuffer, count);
    FPending.clear();
    // A damaged file must not load as something else.
    if (FDecoder->HadInvalidBytes())
      throw EKivXmlError(u"Malformed %s text at byte offset %d",
                         {FName, static_cast<long long>(FOffset) + FDecoder->InvalidOffset()});
    FFlushed = last;
    if (count > 0) {
      FCur = FBuffer.data();
      FEnd = FCur + count;
      return true;
    }
  }
  return false;
}

TKivXmlUnicodeStmSource::TKivXmlUnicodeStmSource(std::istream& AStream, std::string APrefix, size_t AOffset)
    : TKivXmlStmSource(AStream, std::move(APrefix), TKivEncoding(1200), AOffset) {}

// ---------------------------------------------------------------------------------------------
// Loading and saving

void TKivXmlDocument::LoadFromStream(std::istream& AStream) {
  Clear();
  std::string head = ReadBlock(AStream);
  if (head.size() > XmlBinaryMarker.size() && std::string_view(head).starts_with(XmlBinaryMarker)) {
    std::ostringstream rest;
    rest << AStream.rdbuf();
    head += rest.str();
    LoadBinaryXml(head);
    return;
  }
  auto starts = [&head](std::string_view APrefix) { return std::string_view(head).starts_with(APrefix); };
  using namespace std::string_view_literals;
  if (starts("\xFF\xFE\x00\x00"sv) || starts("\x00\x00\xFE\xFF"sv) || starts("\xFE\xFF"sv)) Unsupported();
  if (starts("\xEF\xBB\xBF")) {
    FBOM = bomUTF8;
    TKivXmlStmSource source(AStream, head.substr(3), TKivEncoding(65001), 3);
    XmlParse(*this, source, FPreserveWhiteSpace);
    return;
  }
  if (starts("\xFF\xFE")) {
    FBOM = bomUTF16LE;
    TKivXmlUnicodeStmSource source(AStream, head.substr(2), 2);
    XmlParse(*this, source, FPreserveWhiteSpace);
    return;
  }
  const TKivString& defaultName = KivXmlDefaultEncoding();
  FBOM = XmlSameTextIgnoreCase(defaultName, u"utf-8")      ? bomUTF8
         : XmlSameTextIgnoreCase(defaultName, u"utf-16le") ? bomUTF16LE
                                                           : bomNone;
  if (head.size() >= 2 && head[0] == '<' && head[1] == '\0') {
    // UTF-16LE without a mark, as written for a declaration of UTF-16.
    TKivXmlUnicodeStmSource source(AStream, std::move(head), 0);
    XmlParse(*this, source, FPreserveWhiteSpace);
    return;
  }
  if (head.size() >= 2 && head[0] == '\0' && head[1] == '<') Unsupported();
  std::unique_ptr<TKivEncoding> encoding = ReadEncodingOf(DeclaredEncodingOf(head));
  TKivXmlStmSource source(AStream, std::move(head), *encoding, 0);
  XmlParse(*this, source, FPreserveWhiteSpace);
}

void TKivXmlDocument::LoadFromFile(const TKivString& AFileName) {
  std::ifstream file(PathOf(AFileName), std::ios::binary);
  if (!file) throw EKivXmlError(u"Cannot open file \"%s\"", {AFileName});
  LoadFromStream(file);
}

void TKivXmlDocument::LoadFromResource(const TKivString& AType, const TKivString& AName) {
  std::string data;
  if (!ResourceReader() || !ResourceReader()(AType, AName, data)) return;
  std::istringstream stream(data);
  LoadFromStream(stream);
}

void KivXmlSetResourceReader(TKivXmlResourceReader AReader) {
  ResourceReader() = std::move(AReader);
}

void TKivXmlDocument::SaveToStream(std::ostream& AStream) const {
  std::string bytes;
  switch (FBOM) {
    case bomNone: {
      std::string name = KivToUtf8(DeclaredEncoding());  // throws when the text cannot be written
      std::unique_ptr<TKivEncoding> encoding = std::make_unique<TKivEncoding>(65001);
      if (!name.empty()) encoding = EncodingNamed(name);
      if (encoding->IsWide()) {
        TKivEncoding utf16(1200);
        bytes = Encode(*this, utf16, utf16.Preamble());
      } else {
        if (!encoding->IsAsciiCompatible()) Unsupported();
        bytes = Encode(*this, *encoding, {});
      }
      break;
    }
    case bomUTF8:
    case bomUTF16LE: {
      TKivEncoding encoding(FBOM == bomUTF8 ? 65001 : 1200);
      bytes = Encode(*this, encoding, encoding.Preamble());
      break;
    }
    default:
      Unsupported();
  }
  AStream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!AStream) throw EKivXmlError(u"Write data error");
}

void TKivXmlDocument::SaveToFile(const TKivString& AFileName) const {
  std::ostringstream buffer;
  SaveToStream(buffer);  // a refused document leaves the file untouched
  std::ofstream file(PathOf(AFileName), std::ios::binary | std::ios::trunc);
  if (!file) throw EKivXmlError(u"Cannot create file \"%s\"", {AFileName});
  const std::string bytes = buffer.str();
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!file.flush()) throw EKivXmlError(u"Write data error");
}

void TKivXmlDocument::SaveBinaryToStream(std::ostream& AStream, Cardinal AOptions) const {
  if (AOptions != 0) throw EInvalidArgument(u"Unknown binary XML options %d", {AOptions});
  std::string bytes = BinaryXml();
  AStream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!AStream) throw EKivXmlError(u"Write data error");
}

void TKivXmlDocument::SaveBinaryToFile(const TKivString& AFileName, Cardinal AOptions) const {
  if (AOptions != 0) throw EInvalidArgument(u"Unknown binary XML options %d", {AOptions});
  std::string bytes = BinaryXml();
  std::ofstream file(PathOf(AFileName), std::ios::binary | std::ios::trunc);
  if (!file) throw EKivXmlError(u"Cannot create file \"%s\"", {AFileName});
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!file.flush()) throw EKivXmlError(u"Write data error");
}

TKivString TKivXmlDocument::DeclaredEncoding() const {
  const auto* items = TXmlAccess::Items(*this);
  if (!items) return {};
  // The text the document starts with: its first child that writes anything.
  TKivString first;
  for (const auto& child : *items) {
    if (child->NodeType() == ntText) {
      XmlWrite(*child, first, TXmlWriteContext(), 0);
      if (!first.empty()) return {};
      continue;
    }
    if (child->NodeType() != ntProcessingInstruction) return {};
    XmlWrite(*child, first, TXmlWriteContext(), 0);
    break;
  }
  std::string head(first.size(), '\x80');
  for (size_t i = 0; i < first.size(); ++i)
    if (first[i] < 0x80) head[i] = static_cast<char>(first[i]);
  return KivFromUtf8(DeclaredEncodingOf(head));
}

std::string TKivXmlDocument::BinaryXml() const {
  return XmlBinaryWrite(*this);
}
