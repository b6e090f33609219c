// Byte streams: character sources over 8-bit and UTF-16LE streams, byte-order marks, the
// encoding of the XML declaration, saving, files and resources.
#include <unicode/ucnv.h>
#include <unicode/uset.h>

#include <filesystem>
#include <fstream>
#include <istream>
#include <map>
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

struct TConverter {
  UConverter* Handle = nullptr;
  explicit TConverter(const char* AName) {
    UErrorCode status = U_ZERO_ERROR;
    Handle = ucnv_open(AName, &status);
    if (U_FAILURE(status)) Handle = nullptr;
  }
  ~TConverter() {
    if (Handle) ucnv_close(Handle);
  }
  TConverter(const TConverter&) = delete;
  TConverter& operator=(const TConverter&) = delete;
};

bool IsUtf8Name(const std::string& AName) {
  TKivString name(AName.begin(), AName.end());
  return XmlSameTextIgnoreCase(name, u"utf-8") || XmlSameTextIgnoreCase(name, u"utf8");
}

// Whether the code page writes the characters of markup as ASCII does, so that the declaration
// names it readably and a reader can find it.
// Printable ASCII, TAB, CR and LF: the only codes a declaration may hold to be recognised.
bool IsDeclarationByte(char AByte) {
  auto b = static_cast<unsigned char>(AByte);
  return (b >= 0x20 && b < 0x7F) || b == '\t' || b == '\r' || b == '\n';
}

bool IsAsciiCompatible(UConverter* AConverter) {
  // Every code a declaration may hold (see IsDeclarationByte), as the reader will see it.
  UChar wide[128];
  char expected[128];
  int32_t count = 0;
  for (int i = 0; i < 128; ++i)
    if (IsDeclarationByte(static_cast<char>(i)))
      wide[count] = static_cast<UChar>(i), expected[count++] = static_cast<char>(i);
  char out[128 * 8];
  UErrorCode status = U_ZERO_ERROR;
  ucnv_reset(AConverter);
  int32_t n = ucnv_fromUChars(AConverter, out, sizeof out, wide, count, &status);
  ucnv_reset(AConverter);
  return U_SUCCESS(status) && n == count &&
         std::string_view(out, static_cast<size_t>(n)) ==
             std::string_view(expected, static_cast<size_t>(count));
}

bool IsWideEncoding(const std::string& AName) {
  TConverter conv(AName.c_str());
  return conv.Handle && ucnv_getMinCharSize(conv.Handle) > 1;
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

// The ICU converter to read 8-bit input declared in AName.
std::string ReadConverterName(const std::string& AName) {
  if (AName.empty() || IsUtf8Name(AName)) return "UTF-8";
  TConverter conv(AName.c_str());
  if (!conv.Handle) Unsupported();
  // A declaration of UTF-16 or UTF-32 read from 8-bit text was not updated when the text was
  // converted: the bytes are the system code page.
  if (ucnv_getMinCharSize(conv.Handle) > 1) return "UTF-8";
  if (!IsAsciiCompatible(conv.Handle)) Unsupported();
  return AName;
}

std::string EncodeUtf16LE(TKivStringView AText, bool ABOM) {
  std::string out;
  out.reserve(AText.size() * 2 + 2);
  if (ABOM) out += "\xFF\xFE";
  for (char16_t c : AText) {
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>(c >> 8));
  }
  return out;
}

// The code points a code page holds both ways.
std::vector<bool> EncodableSet(UConverter* AConverter) {
  std::vector<bool> result(0x110000, false);
  UErrorCode status = U_ZERO_ERROR;
  USet* set = uset_openEmpty();
  ucnv_getUnicodeSet(AConverter, set, UCNV_ROUNDTRIP_SET, &status);
  if (U_FAILURE(status)) {
    uset_close(set);
    Unsupported();
  }
  for (int32_t r = 0, n = uset_getItemCount(set); r < n; ++r) {
    UChar32 start, end;
    status = U_ZERO_ERROR;
    if (uset_getItem(set, r, &start, &end, nullptr, 0, &status) != 0) continue;  // strings
    for (UChar32 c = start; c <= end && c < 0x110000; ++c) result[static_cast<size_t>(c)] = true;
  }
  uset_close(set);
  return result;
}

// The document in a code page: characters it lacks become character references where the
// syntax allows one; elsewhere the writer refuses them.
std::string EncodeCodePage(const TKivXmlDocument& ADocument, const std::string& AName) {
  TConverter conv(AName.c_str());
  if (!conv.Handle || !IsAsciiCompatible(conv.Handle)) Unsupported();
  UErrorCode status = U_ZERO_ERROR;
  // Built once per code page: saving a scheme again should not pay for the whole repertoire.
  static std::map<std::string, std::vector<bool>> cache;
  auto found = cache.find(ucnv_getName(conv.Handle, &status));
  if (found == cache.end()) {
    if (cache.size() >= 16) cache.clear();
    found = cache.emplace(ucnv_getName(conv.Handle, &status), EncodableSet(conv.Handle)).first;
  }
  if (U_FAILURE(status)) Unsupported();
  TXmlWriteContext context;
  context.Preserve = ADocument.PreserveWhiteSpace();
  context.Encodable = &found->second;
  TKivString textBuffer;
  XmlWrite(ADocument, textBuffer, context, 0);
  TKivStringView AText = textBuffer;
  std::string out;
  out.resize(AText.size() * 4 + 16);
  for (;;) {
    status = U_ZERO_ERROR;
    int32_t n = ucnv_fromUChars(conv.Handle, out.data(), static_cast<int32_t>(out.size()),
                                reinterpret_cast<const UChar*>(AText.data()),
                                static_cast<int32_t>(AText.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
      out.resize(static_cast<size_t>(n) + 16);
      ucnv_reset(conv.Handle);
      continue;
    }
    if (U_FAILURE(status)) Unsupported();
    out.resize(static_cast<size_t>(n));
    return out;
  }
}

// UTF-8 holds every code point but the surrogates: a lone one is written as a reference, or
// refused in markup.
std::string EncodeUtf8(const TKivXmlDocument& ADocument) {
  static const std::vector<bool> encodable = [] {
    std::vector<bool> set(0x110000, true);
    for (size_t c = 0xD800; c <= 0xDFFF; ++c) set[c] = false;
    return set;
  }();
  TXmlWriteContext context;
  context.Preserve = ADocument.PreserveWhiteSpace();
  context.Encodable = &encodable;
  TKivString text;
  XmlWrite(ADocument, text, context, 0);
  // A leading U+FEFF would read back as the byte-order mark.
  if (!text.empty() && text[0] == 0xFEFF) text.replace(0, 1, u"&#65279;");
  return KivToUtf8(text);
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

TKivXmlStmSource::TKivXmlStmSource(std::istream& AStream, std::string APrefix, const char* AConverterName)
    : FStream(AStream), FPending(std::move(APrefix)) {
  UErrorCode status = U_ZERO_ERROR;
  FConverter = ucnv_open(AConverterName, &status);
  if (U_FAILURE(status)) Unsupported();
}

TKivXmlStmSource::~TKivXmlStmSource() {
  if (FConverter) ucnv_close(FConverter);
}

bool TKivXmlStmSource::Fill() {
  while (!FFlushed) {
    if (FPending.empty()) FPending = ReadBlock(FStream);
    const bool last = FPending.empty();
    FBuffer.resize(FPending.size() + 64);
    UChar* target = reinterpret_cast<UChar*>(FBuffer.data());
    UChar* const targetStart = target;
    const char* source = FPending.data();
    UErrorCode status = U_ZERO_ERROR;
    ucnv_toUnicode(FConverter, &target, targetStart + FBuffer.size(), &source,
                   FPending.data() + FPending.size(), nullptr, last, &status);
    if (U_FAILURE(status) && status != U_BUFFER_OVERFLOW_ERROR) throw EKivXmlError(u"Read data error");
    FPending.erase(0, static_cast<size_t>(source - FPending.data()));
    if (last && status != U_BUFFER_OVERFLOW_ERROR) FFlushed = true;
    if (target > targetStart) {
      FCur = FBuffer.data();
      FEnd = FBuffer.data() + (target - targetStart);
      return true;
    }
  }
  return false;
}

TKivXmlUnicodeStmSource::TKivXmlUnicodeStmSource(std::istream& AStream, std::string APrefix)
    : FStream(AStream), FPending(std::move(APrefix)) {}

bool TKivXmlUnicodeStmSource::Fill() {
  for (;;) {
    std::string block = ReadBlock(FStream);
    if (block.empty() && FPending.size() < 2) {
      if (FPending.empty()) return false;
      // An odd byte at the end cannot be a character.
      FPending.clear();
      FBuffer.assign(1, u'\xFFFD');
      FCur = FBuffer.data();
      FEnd = FCur + 1;
      return true;
    }
    FPending += block;
    size_t pairs = FPending.size() / 2;
    if (pairs == 0) continue;
    FBuffer.resize(pairs);
    for (size_t i = 0; i < pairs; ++i)
      FBuffer[i] = static_cast<char16_t>(static_cast<unsigned char>(FPending[2 * i]) |
                                         static_cast<unsigned char>(FPending[2 * i + 1]) << 8);
    FPending.erase(0, pairs * 2);
    FCur = FBuffer.data();
    FEnd = FCur + pairs;
    return true;
  }
}

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
    TKivXmlStmSource source(AStream, head.substr(3), "UTF-8");
    XmlParse(*this, source, FPreserveWhiteSpace);
    return;
  }
  if (starts("\xFF\xFE")) {
    FBOM = bomUTF16LE;
    TKivXmlUnicodeStmSource source(AStream, head.substr(2));
    XmlParse(*this, source, FPreserveWhiteSpace);
    return;
  }
  const TKivString& defaultName = KivXmlDefaultEncoding();
  FBOM = XmlSameTextIgnoreCase(defaultName, u"utf-8")      ? bomUTF8
         : XmlSameTextIgnoreCase(defaultName, u"utf-16le") ? bomUTF16LE
                                                           : bomNone;
  if (head.size() >= 2 && head[0] == '<' && head[1] == '\0') {
    // UTF-16LE without a mark, as written for a declaration of UTF-16.
    TKivXmlUnicodeStmSource source(AStream, std::move(head));
    XmlParse(*this, source, FPreserveWhiteSpace);
    return;
  }
  if (head.size() >= 2 && head[0] == '\0' && head[1] == '<') Unsupported();
  std::string converter = ReadConverterName(DeclaredEncodingOf(head));
  TKivXmlStmSource source(AStream, std::move(head), converter.c_str());
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
      if (name.empty() || IsUtf8Name(name))
        bytes = EncodeUtf8(*this);
      else if (IsWideEncoding(name))
        bytes = EncodeUtf16LE(ToXml(), true);
      else
        bytes = EncodeCodePage(*this, name);
      break;
    }
    case bomUTF8:
      bytes = "\xEF\xBB\xBF" + EncodeUtf8(*this);
      break;
    case bomUTF16LE:
      bytes = EncodeUtf16LE(ToXml(), true);
      break;
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
