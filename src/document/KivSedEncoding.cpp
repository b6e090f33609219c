#include "KivSedEncoding.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucnv_err.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <system_error>

namespace {

// Code pages that ICU knows under another name than "windows-<number>", and the Unicode forms.
struct TCodePageEntry {
  Integer CodePage;
  const char* IcuName;
};

constexpr TCodePageEntry CExtraCodePages[] = {
    {0, "UTF-8"},           {65001, "UTF-8"},    {1200, "UTF-16LE"},     {1201, "UTF-16BE"},
    {12000, "UTF-32LE"},    {12001, "UTF-32BE"}, {28591, "ISO-8859-1"},  {860, "ibm-860"},
    {863, "ibm-863"},       {864, "ibm-864"},    {865, "ibm-865"},       {28600, "iso-8859-10"},
    {28604, "iso-8859-14"}, {51932, "euc-jp"},   {50220, "ISO-2022-JP"},
};

// Names used by the platform the code page numbers come from, which ICU reads differently
// ("UTF-16" there is little-endian; in ICU it senses a byte-order mark).
struct TNameAlias {
  const char* Name;
  Integer CodePage;
};
constexpr TNameAlias CNameAliases[] = {
    {"utf-16", 1200},      {"unicode", 1200}, {"utf-16le", 1200},
    {"unicodefffe", 1201}, {"utf-32", 12000}, {"utf-32le", 12000},
};

bool SameAsciiNoCase(std::string_view A, std::string_view B) {
  if (A.size() != B.size()) return false;
  for (size_t i = 0; i < A.size(); ++i) {
    char a = A[i], b = B[i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
    if (a != b) return false;
  }
  return true;
}

struct TConverterCloser {
  void operator()(UConverter* AConv) const { ucnv_close(AConv); }
};
using TConverterPtr = std::unique_ptr<UConverter, TConverterCloser>;

TConverterPtr OpenConverter(const char* AName) {
  UErrorCode err = U_ZERO_ERROR;
  TConverterPtr conv(ucnv_open(AName, &err));
  if (U_FAILURE(err)) return nullptr;
  return conv;
}

// The ICU name of a code page number, or empty when there is none.
std::string IcuNameOf(Integer ACodePage) {
  for (const auto& e : CExtraCodePages)
    if (e.CodePage == ACodePage) return e.IcuName;
  if (ACodePage <= 0) return {};
  std::string name = "windows-" + std::to_string(ACodePage);
  UErrorCode err = U_ZERO_ERROR;
  const char* std = ucnv_getStandardName(name.c_str(), "WINDOWS", &err);
  if (U_FAILURE(err) || !std || !SameAsciiNoCase(std, name)) return {};
  if (!OpenConverter(name.c_str())) return {};
  return name;
}

TKivString AsciiToKiv(std::string_view A) {
  return TKivString(A.begin(), A.end());
}

TKivString PreferredName(Integer ACodePage, const std::string& AIcuName) {
  if (ACodePage == 1200) return u"UTF-16LE";  // ICU's tables name the plain form differently
  for (const char* standard : {"MIME", "IANA", "WINDOWS"}) {
    UErrorCode err = U_ZERO_ERROR;
    const char* n = ucnv_getStandardName(AIcuName.c_str(), standard, &err);
    if (U_SUCCESS(err) && n && *n) return AsciiToKiv(n);
  }
  return AsciiToKiv(AIcuName);
}

// ---- UTF-8, decoded and encoded here: it is the common case and worth a fast path ----

// Length of the valid sequence at p (1..4), 0 when the available bytes are a valid but
// incomplete prefix, or -k when the first k bytes are the maximal invalid subpart (U+FFFD each).
int Utf8SequenceAt(const uint8_t* p, size_t AAvail, char32_t& ACode) {
  uint8_t b0 = p[0];
  if (b0 < 0x80) {
    ACode = b0;
    return 1;
  }
  int n;
  uint8_t lo = 0x80, hi = 0xBF;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    n = 2;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    n = 3;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    n = 4;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
  } else {
    return -1;
  }
  char32_t code = b0 & (0xFF >> (n + 1));
  for (int i = 1; i < n; ++i) {
    if (static_cast<size_t>(i) >= AAvail) return 0;
    uint8_t b = p[i];
    if (b < lo || b > hi) return -i;
    lo = 0x80;
    hi = 0xBF;
    code = (code << 6) | (b & 0x3F);
  }
  ACode = code;
  return n;
}

void EnsureRoom(TKivCharArray& ADest, size_t ANeeded) {
  if (ADest.size() < ANeeded) ADest.resize(std::max(ANeeded, ADest.size() + ADest.size() / 2));
}

class TUtf8Decoder : public TKivDecoder {
 public:
  size_t Decode(const char* ABytes, size_t ASize, bool AFlush, TKivCharArray& ADest,
                size_t& ACount) override {
    const size_t start = ACount;
    // Every byte gives at most one code unit, a four-byte sequence two.
    EnsureRoom(ADest, ACount + ASize + FPendingLen + 1);
    char16_t* out = ADest.data() + ACount;
    const auto* p = reinterpret_cast<const uint8_t*>(ABytes);
    const uint8_t* end = p + ASize;
    if (FPendingLen > 0 && ASize > 0) {
      uint8_t tmp[4];
      std::memcpy(tmp, FPending, FPendingLen);
      size_t take = std::min<size_t>(4 - FPendingLen, ASize);
      std::memcpy(tmp + FPendingLen, p, take);
      char32_t code = 0;
      int len = Utf8SequenceAt(tmp, FPendingLen + take, code);
      if (len == 0) {
        // Still incomplete: the whole input joined the prefix.
        std::memcpy(FPending + FPendingLen, p, take);
        FPendingLen += static_cast<int>(take);
        p = end;
      } else {
        int used = len > 0 ? len : -len;
        out = Put(out, len > 0 ? code : 0xFFFD, len < 0);
        p += used - FPendingLen;  // a pending prefix is valid, so its subpart is at least as long
        FPendingLen = 0;
      }
    }
    while (p < end) {
      // ASCII runs are copied 16 bytes at a time.
      while (end - p >= 16) {
        uint64_t a, b;
        std::memcpy(&a, p, 8);
        std::memcpy(&b, p + 8, 8);
        if ((a | b) & 0x8080808080808080ULL) break;
        for (int i = 0; i < 16; ++i) out[i] = p[i];
        out += 16;
        p += 16;
      }
      if (p >= end) break;
      if (*p < 0x80) {
        *out++ = *p++;
        continue;
      }
      char32_t code = 0;
      int len = Utf8SequenceAt(p, static_cast<size_t>(end - p), code);
      if (len == 0) {
        FPendingLen = static_cast<int>(end - p);
        std::memcpy(FPending, p, FPendingLen);
        break;
      }
      if (len > 0) {
        out = Put(out, code, false);
        p += len;
      } else {
        out = Put(out, 0xFFFD, true);
        p += -len;
      }
    }
    if (AFlush && FPendingLen > 0) {
      out = Put(out, 0xFFFD, true);
      FPendingLen = 0;
    }
    ACount = static_cast<size_t>(out - ADest.data());
    return ACount - start;
  }

 private:
  char16_t* Put(char16_t* AOut, char32_t ACode, bool AInvalid) {
    if (AInvalid) FHadInvalid = true;
    if (ACode >= 0x10000) {
      ACode -= 0x10000;
      *AOut++ = static_cast<char16_t>(0xD800 + (ACode >> 10));
      *AOut++ = static_cast<char16_t>(0xDC00 + (ACode & 0x3FF));
    } else {
      *AOut++ = static_cast<char16_t>(ACode);
    }
    return AOut;
  }
  uint8_t FPending[4] = {};
  int FPendingLen = 0;
};

bool IsHigh(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLow(char16_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

class TUtf8Encoder : public TKivEncoder {
 public:
  TUtf8Encoder(Integer ACodePage, TKivString AName) {
    FCodePage = ACodePage;
    FName = std::move(AName);
  }
  void Encode(const char16_t* AChars, size_t ACount, bool AFlush, std::string& AOut) override {
    size_t pos = AOut.size();
    AOut.resize(pos + ACount * 3 + 4);
    auto* out = reinterpret_cast<uint8_t*>(AOut.data() + pos);
    size_t i = 0;
    if (FPendingHigh != 0 && ACount > 0) {
      if (!IsLow(AChars[0])) RaiseUnencodable(FPendingHigh, FPosition - 1);
      out = Put4(out, FPendingHigh, AChars[0]);
      FPendingHigh = 0;
      i = 1;
    }
    while (i < ACount) {
      while (ACount - i >= 8) {
        uint64_t a, b;
        std::memcpy(&a, AChars + i, 8);
        std::memcpy(&b, AChars + i + 4, 8);
        if ((a | b) & 0xFF80FF80FF80FF80ULL) break;
        for (int k = 0; k < 8; ++k) out[k] = static_cast<uint8_t>(AChars[i + k]);
        out += 8;
        i += 8;
      }
      if (i >= ACount) break;
      char16_t c = AChars[i];
      if (c < 0x80) {
        *out++ = static_cast<uint8_t>(c);
      } else if (c < 0x800) {
        *out++ = static_cast<uint8_t>(0xC0 | (c >> 6));
        *out++ = static_cast<uint8_t>(0x80 | (c & 0x3F));
      } else if (IsHigh(c)) {
        if (i + 1 == ACount) {
          FPendingHigh = c;
          ++i;
          break;
        }
        if (!IsLow(AChars[i + 1])) RaiseUnencodable(c, FPosition + i);
        out = Put4(out, c, AChars[i + 1]);
        ++i;
      } else if (IsLow(c)) {
        RaiseUnencodable(c, FPosition + i);
      } else {
        *out++ = static_cast<uint8_t>(0xE0 | (c >> 12));
        *out++ = static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<uint8_t>(0x80 | (c & 0x3F));
      }
      ++i;
    }
    FPosition += ACount;
    AOut.resize(static_cast<size_t>(reinterpret_cast<char*>(out) - AOut.data()));
    if (AFlush && FPendingHigh != 0) RaiseUnencodable(FPendingHigh, FPosition - 1);
  }

 private:
  static uint8_t* Put4(uint8_t* AOut, char16_t AHigh, char16_t ALow) {
    char32_t code = 0x10000 + ((static_cast<char32_t>(AHigh) - 0xD800) << 10) + (ALow - 0xDC00);
    *AOut++ = static_cast<uint8_t>(0xF0 | (code >> 18));
    *AOut++ = static_cast<uint8_t>(0x80 | ((code >> 12) & 0x3F));
    *AOut++ = static_cast<uint8_t>(0x80 | ((code >> 6) & 0x3F));
    *AOut++ = static_cast<uint8_t>(0x80 | (code & 0x3F));
    return AOut;
  }
  char16_t FPendingHigh = 0;
};

// UTF-16 is written unit by unit, so that a lone surrogate read from a UTF-16 file is saved as
// it came.
class TUtf16Encoder : public TKivEncoder {
 public:
  TUtf16Encoder(Integer ACodePage, TKivString AName, bool ABigEndian) : FBigEndian(ABigEndian) {
    FCodePage = ACodePage;
    FName = std::move(AName);
  }
  void Encode(const char16_t* AChars, size_t ACount, bool, std::string& AOut) override {
    size_t pos = AOut.size();
    AOut.resize(pos + ACount * 2);
    char* out = AOut.data() + pos;
    for (size_t i = 0; i < ACount; ++i) {
      char16_t c = AChars[i];
      char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
      out[2 * i] = FBigEndian ? hi : lo;
      out[2 * i + 1] = FBigEndian ? lo : hi;
    }
    FPosition += ACount;
  }

 private:
  bool FBigEndian;
};

void U_CALLCONV SubstituteInvalid(const void* AContext, UConverterToUnicodeArgs* AArgs, const char*, int32_t,
                                  UConverterCallbackReason AReason, UErrorCode* AErr) {
  if (AReason > UCNV_IRREGULAR) return;  // reset, close, clone
  *const_cast<bool*>(static_cast<const bool*>(AContext)) = true;
  *AErr = U_ZERO_ERROR;
  static const UChar sub = 0xFFFD;
  ucnv_cbToUWriteUChars(AArgs, &sub, 1, 0, AErr);
}

class TIcuDecoder : public TKivDecoder {
 public:
  explicit TIcuDecoder(TConverterPtr AConv) : FConv(std::move(AConv)) {
    UErrorCode err = U_ZERO_ERROR;
    ucnv_setToUCallBack(FConv.get(), SubstituteInvalid, &FHadInvalid, nullptr, nullptr, &err);
    KIV_ASSERT(U_SUCCESS(err), "KivSedEncoding");
  }
  size_t Decode(const char* ABytes, size_t ASize, bool AFlush, TKivCharArray& ADest,
                size_t& ACount) override {
    const size_t start = ACount;
    const char* src = ABytes;
    const char* srcEnd = ABytes + ASize;
    EnsureRoom(ADest, ACount + ASize + 8);
    for (;;) {
      UChar* target = reinterpret_cast<UChar*>(ADest.data() + ACount);
      UChar* targetEnd = reinterpret_cast<UChar*>(ADest.data() + ADest.size());
      UChar* before = target;
      UErrorCode err = U_ZERO_ERROR;
      ucnv_toUnicode(FConv.get(), &target, targetEnd, &src, srcEnd, nullptr, AFlush, &err);
      ACount += static_cast<size_t>(target - before);
      if (err == U_BUFFER_OVERFLOW_ERROR) {
        EnsureRoom(ADest, ADest.size() + ASize + 64);
        continue;
      }
      KIV_ASSERT(U_SUCCESS(err), "KivSedEncoding");
      break;
    }
    return ACount - start;
  }

 private:
  TConverterPtr FConv;
};

class TIcuEncoder : public TKivEncoder {
 public:
  TIcuEncoder(Integer ACodePage, TKivString AName, TConverterPtr AConv) : FConv(std::move(AConv)) {
    FCodePage = ACodePage;
    FName = std::move(AName);
    UErrorCode err = U_ZERO_ERROR;
    ucnv_setFromUCallBack(FConv.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &err);
    KIV_ASSERT(U_SUCCESS(err), "KivSedEncoding");
    FMaxCharSize = ucnv_getMaxCharSize(FConv.get());
  }
  void Encode(const char16_t* AChars, size_t ACount, bool AFlush, std::string& AOut) override {
    const UChar* src = reinterpret_cast<const UChar*>(AChars);
    const UChar* srcEnd = src + ACount;
    size_t pos = AOut.size();
    AOut.resize(pos + ACount * static_cast<size_t>(FMaxCharSize) + 32);
    for (;;) {
      char* target = AOut.data() + pos;
      char* before = target;
      UErrorCode err = U_ZERO_ERROR;
      ucnv_fromUnicode(FConv.get(), &target, AOut.data() + AOut.size(), &src, srcEnd, nullptr, AFlush, &err);
      pos += static_cast<size_t>(target - before);
      if (err == U_BUFFER_OVERFLOW_ERROR) {
        AOut.resize(AOut.size() * 2 + 64);
        continue;
      }
      if (U_FAILURE(err)) {
        // ICU stops after the offending character; ask it which units it was.
        UChar bad[8];
        int8_t badLen = 8;
        UErrorCode e2 = U_ZERO_ERROR;
        ucnv_getInvalidUChars(FConv.get(), bad, &badLen, &e2);
        if (U_FAILURE(e2) || badLen <= 0) badLen = 1, bad[0] = src[-1];
        size_t consumed = static_cast<size_t>(src - reinterpret_cast<const UChar*>(AChars));
        // A bad unit can be the held-back half of a pair from the previous block.
        size_t off = FPosition + consumed >= static_cast<size_t>(badLen)
                         ? FPosition + consumed - static_cast<size_t>(badLen)
                         : 0;
        char32_t code = bad[0];
        if (badLen == 2 && IsHigh(bad[0]) && IsLow(bad[1]))
          code = 0x10000 + ((static_cast<char32_t>(bad[0]) - 0xD800) << 10) + (bad[1] - 0xDC00);
        AOut.resize(pos);
        RaiseUnencodable(code, off);
      }
      break;
    }
    FPosition += ACount;
    AOut.resize(pos);
  }

 private:
  TConverterPtr FConv;
  int FMaxCharSize = 4;
};

}  // namespace

// ---- TKivEncoder ----

void TKivEncoder::RaiseUnencodable(char32_t AChar, size_t AOffset) const {
  throw EKivEditDocError(u"Character U+%.4X at offset %d cannot be saved in code page %d (%s)",
                         {static_cast<unsigned>(AChar), static_cast<long long>(AOffset), FCodePage, FName});
}

// ---- TKivEncoding ----

TKivEncoding::TKivEncoding(TKivCodePageRef ACodePage) {
  std::string icu = IcuNameOf(ACodePage);
  if (icu.empty()) throw EKivEditDocError(u"Unknown code page: %d", {ACodePage});
  Init(ACodePage, icu);
}

void TKivEncoding::Init(TKivCodePageRef ACodePage, const std::string& AIcuName) {
  FCodePage = ACodePage;
  FIcuName = AIcuName;
  FName = PreferredName(ACodePage, AIcuName);
  switch (ACodePage) {
    case 0:
    case 65001:
      FKind = TKind::Utf8;
      FPreamble = "\xEF\xBB\xBF";
      break;
    case 1200:
      FKind = TKind::Utf16LE;
      FPreamble = std::string("\xFF\xFE", 2);
      break;
    case 1201:
      FKind = TKind::Utf16BE;
      FPreamble = std::string("\xFE\xFF", 2);
      break;
    case 12000:
      FKind = TKind::Utf32LE;
      FPreamble = std::string("\xFF\xFE\0\0", 4);
      break;
    case 12001:
      FKind = TKind::Utf32BE;
      FPreamble = std::string("\0\0\xFE\xFF", 4);
      break;
    default:
      FKind = TKind::Icu;
      FPreamble.clear();
  }
}

bool TKivEncoding::IsKnownCodePage(TKivCodePageRef ACodePage) {
  return !IcuNameOf(ACodePage).empty();
}

std::unique_ptr<TKivEncoding> TKivEncoding::FromName(TKivStringView AName) {
  auto unknown = [&]() { return EKivEditDocError(u"Unknown code page name: %s", {AName}); };
  std::string name;
  for (char16_t c : AName) {
    if (c == 0 || c > 0x7E) throw unknown();
    name.push_back(static_cast<char>(c));
  }
  if (name.empty()) throw unknown();
  Integer cp = -1;
  for (const auto& a : CNameAliases)
    if (SameAsciiNoCase(name, a.Name)) cp = a.CodePage;
  if (cp < 0) {
    TConverterPtr conv = OpenConverter(name.c_str());
    if (!conv) throw unknown();
    UErrorCode err = U_ZERO_ERROR;
    const char* win = ucnv_getStandardName(name.c_str(), "WINDOWS", &err);
    if (U_SUCCESS(err) && win && std::strncmp(win, "windows-", 8) == 0) {
      char* end = nullptr;
      long n = std::strtol(win + 8, &end, 10);
      if (end && *end == 0 && n > 0 && n < 100000 && IsKnownCodePage(static_cast<Integer>(n)))
        cp = static_cast<Integer>(n);
    }
    if (cp < 0) {
      err = U_ZERO_ERROR;
      std::string canonical = ucnv_getName(conv.get(), &err);
      for (const auto& e : CExtraCodePages) {
        if (e.CodePage == 0) continue;
        TConverterPtr other = OpenConverter(e.IcuName);
        UErrorCode e2 = U_ZERO_ERROR;
        if (other && canonical == ucnv_getName(other.get(), &e2)) {
          cp = e.CodePage;
          break;
        }
      }
    }
    if (cp < 0) throw unknown();
  }
  return std::make_unique<TKivEncoding>(cp);
}

TKivEncodingDetection TKivEncoding::Detect(const char* ABytes, size_t ASize) {
  auto starts = [&](std::string_view AMark) {
    return ASize >= AMark.size() && std::memcmp(ABytes, AMark.data(), AMark.size()) == 0;
  };
  TKivEncodingDetection r;
  using namespace std::string_view_literals;
  if (starts("\xFF\xFE\0\0"sv)) {
    r = {true, 12000, 4};
  } else if (starts("\0\0\xFE\xFF"sv)) {
    r = {true, 12001, 4};
  } else if (starts("\xEF\xBB\xBF"sv)) {
    r = {true, 65001, 3};
  } else if (starts("\xFF\xFE"sv)) {
    r = {true, 1200, 2};
  } else if (starts("\xFE\xFF"sv)) {
    r = {true, 1201, 2};
  }
  return r;
}

bool TKivEncoding::StartsWithPreamble(const char* ABytes, size_t ASize) const {
  return !FPreamble.empty() && ASize >= FPreamble.size() &&
         std::memcmp(ABytes, FPreamble.data(), FPreamble.size()) == 0;
}

std::unique_ptr<TKivDecoder> TKivEncoding::NewDecoder() const {
  if (FKind == TKind::Utf8) return std::make_unique<TUtf8Decoder>();
  TConverterPtr conv = OpenConverter(FIcuName.c_str());
  KIV_ASSERT(conv != nullptr, "KivSedEncoding");
  return std::make_unique<TIcuDecoder>(std::move(conv));
}

std::unique_ptr<TKivEncoder> TKivEncoding::NewEncoder() const {
  switch (FKind) {
    case TKind::Utf8:
      return std::make_unique<TUtf8Encoder>(FCodePage, FName);
    case TKind::Utf16LE:
    case TKind::Utf16BE:
      return std::make_unique<TUtf16Encoder>(FCodePage, FName, FKind == TKind::Utf16BE);
    default: {
      TConverterPtr conv = OpenConverter(FIcuName.c_str());
      KIV_ASSERT(conv != nullptr, "KivSedEncoding");
      return std::make_unique<TIcuEncoder>(FCodePage, FName, std::move(conv));
    }
  }
}

TKivString KivCodePageName(TKivCodePageRef ACodePage) {
  return TKivEncoding(ACodePage).Name();
}

TKivCodePageRef KivCodePageFromName(TKivStringView AName) {
  return TKivEncoding::FromName(AName)->CodePage();
}

// ---- TKivAtomicFileWriter ----

TKivString KivSysErrorMessage(int AErrno) {
  return KivFromUtf8(std::generic_category().message(AErrno));
}

namespace {
constexpr size_t CWriteBufferSize = 1 << 20;

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
  FBuffer.reserve(CWriteBufferSize);
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
  if (FBuffer.size() + ASize <= CWriteBufferSize) {
    FBuffer.append(ABytes, ASize);
    return;
  }
  FlushBuffer();
  if (ASize >= CWriteBufferSize / 2) {
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
