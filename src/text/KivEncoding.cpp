// The code page service (see KivEncoding.h): UTF-8 and UTF-16 here, every other code page on
// ICU converters.
#include "KivEncoding.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucnv_err.h>
#include <unicode/uset.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

namespace {

// Code pages that ICU knows under another name than "windows-<number>", and the Unicode forms.
struct TCodePageEntry {
  Integer CodePage;
  const char* IcuName;
};

constexpr TCodePageEntry kExtraCodePages[] = {
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
constexpr TNameAlias kNameAliases[] = {
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
  for (const auto& e : kExtraCodePages)
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
        if (len < 0) NoteInvalid(FBytesBefore - FPendingLen);
        out = Put(out, len > 0 ? code : 0xFFFD);
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
        out = Put(out, code);
        p += len;
      } else {
        NoteInvalid(FBytesBefore + (p - reinterpret_cast<const uint8_t*>(ABytes)));
        out = Put(out, 0xFFFD);
        p += -len;
      }
    }
    FBytesBefore += static_cast<int64_t>(ASize);
    if (AFlush && FPendingLen > 0) {
      NoteInvalid(FBytesBefore - FPendingLen);
      out = Put(out, 0xFFFD);
      FPendingLen = 0;
    }
    ACount = static_cast<size_t>(out - ADest.data());
    return ACount - start;
  }

 private:
  static char16_t* Put(char16_t* AOut, char32_t ACode) {
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

// UTF-16 is decoded here as well: ICU looks ahead past a lone surrogate, which would blur the
// offset of the invalid bytes. Lone surrogates and an odd last byte become U+FFFD.
class TUtf16Decoder : public TKivDecoder {
 public:
  explicit TUtf16Decoder(bool ABigEndian) : FBigEndian(ABigEndian) {}
  size_t Decode(const char* ABytes, size_t ASize, bool AFlush, TKivCharArray& ADest,
                size_t& ACount) override {
    const size_t start = ACount;
    EnsureRoom(ADest, ACount + ASize / 2 + 4);
    char16_t* out = ADest.data() + ACount;
    const auto* p = reinterpret_cast<const uint8_t*>(ABytes);
    for (size_t i = 0; i < ASize; ++i) {
      if (FOddByte < 0) {
        FOddByte = p[i];
        continue;
      }
      const int64_t at = FBytesBefore + static_cast<int64_t>(i) - 1;
      const auto second = static_cast<char16_t>(p[i]), first = static_cast<char16_t>(FOddByte);
      FOddByte = -1;
      const char16_t unit = FBigEndian ? static_cast<char16_t>(first << 8 | second)
                                       : static_cast<char16_t>(second << 8 | first);
      if (FHigh != 0) {
        if (IsLow(unit)) {
          *out++ = FHigh;
          *out++ = unit;
          FHigh = 0;
          continue;
        }
        NoteInvalid(FHighAt);
        *out++ = 0xFFFD;
        FHigh = 0;
      }
      if (IsHigh(unit)) {
        FHigh = unit;
        FHighAt = at;
      } else if (IsLow(unit)) {
        NoteInvalid(at);
        *out++ = 0xFFFD;
      } else {
        *out++ = unit;
      }
    }
    FBytesBefore += static_cast<int64_t>(ASize);
    // A high surrogate cut short, with or without the first byte of what follows, is one
    // invalid character, as ICU counts it.
    if (AFlush && FHigh != 0) {
      NoteInvalid(FHighAt);
      *out++ = 0xFFFD;
      FHigh = 0;
      FOddByte = -1;
    }
    if (AFlush && FOddByte >= 0) {
      NoteInvalid(FBytesBefore - 1);
      *out++ = 0xFFFD;
      FOddByte = -1;
    }
    ACount = static_cast<size_t>(out - ADest.data());
    return ACount - start;
  }

 private:
  bool FBigEndian;
  int FOddByte = -1;   // the first byte of a unit cut at the end of a block
  char16_t FHigh = 0;  // a high surrogate waiting for its low half
  int64_t FHighAt = 0;
};

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

// ICU's tables of the PC code pages (and of 932) swap the control codes 0x1A, 0x1C and 0x7F,
// as the PC character set shows them as pictures; the platform's tables, and every file written
// with them, keep the bytes 0x00-0x7F as ASCII. For a code page whose bytes 0x00-0x7F ICU reads
// as a reordering of ASCII, the decoder maps those characters back to their bytes and the
// encoder hands ICU the character it expects for each ASCII code.
struct TLowBytes {
  char16_t ToText[128];  // ICU's character for a byte -> the ASCII code (the byte itself)
  char16_t ToIcu[128];   // an ASCII code -> the character ICU writes as that byte
};

std::shared_ptr<const TLowBytes> LowBytesOf(const std::string& AIcuName) {
  static std::mutex lock;
  static std::map<std::string, std::shared_ptr<const TLowBytes>> cache;
  std::lock_guard<std::mutex> guard(lock);
  auto found = cache.find(AIcuName);
  if (found != cache.end()) return found->second;
  std::shared_ptr<TLowBytes> result;
  if (TConverterPtr conv = OpenConverter(AIcuName.c_str())) {
    char16_t read[128];
    bool ascii = true, seen[128] = {};
    for (int b = 0; b < 128 && ascii; ++b) {
      const char byte = static_cast<char>(b);
      UChar c[4];
      UErrorCode err = U_ZERO_ERROR;
      ucnv_reset(conv.get());
      int32_t n = ucnv_toUChars(conv.get(), c, 4, &byte, 1, &err);
      ascii = U_SUCCESS(err) && n == 1 && c[0] < 128 && !seen[c[0]];
      if (ascii) seen[c[0]] = true, read[b] = c[0];
    }
    bool identity = true;
    for (int b = 0; b < 128 && ascii; ++b) identity = identity && read[b] == b;
    if (ascii && !identity) {
      result = std::make_shared<TLowBytes>();
      for (int b = 0; b < 128; ++b) {
        result->ToText[read[b]] = static_cast<char16_t>(b);
        result->ToIcu[b] = read[b];
      }
    }
  }
  cache.emplace(AIcuName, result);
  return result;
}

class TIcuDecoder : public TKivDecoder {
 public:
  TIcuDecoder(TConverterPtr AConv, std::shared_ptr<const TLowBytes> ALowBytes)
      : FConv(std::move(AConv)), FLowBytes(std::move(ALowBytes)) {
    UErrorCode err = U_ZERO_ERROR;
    ucnv_setToUCallBack(FConv.get(), SubstituteInvalid, this, nullptr, nullptr, &err);
    KIV_ASSERT(U_SUCCESS(err), "KivEncoding");
  }
  size_t Decode(const char* ABytes, size_t ASize, bool AFlush, TKivCharArray& ADest,
                size_t& ACount) override {
    const size_t start = ACount;
    const char* src = ABytes;
    const char* srcEnd = ABytes + ASize;
    // Bytes of an incomplete character held from earlier calls: an invalid sequence that ICU
    // cannot place in this call's bytes starts with them.
    UErrorCode pendingErr = U_ZERO_ERROR;
    const int64_t held = std::max<int32_t>(0, ucnv_toUCountPending(FConv.get(), &pendingErr));
    EnsureRoom(ADest, ACount + ASize + 8);
    for (;;) {
      UChar* target = reinterpret_cast<UChar*>(ADest.data() + ACount);
      UChar* targetEnd = reinterpret_cast<UChar*>(ADest.data() + ADest.size());
      UChar* before = target;
      const char* srcBefore = src;
      FOffsets.resize(static_cast<size_t>(targetEnd - target));
      FFirstInvalid = nullptr;
      UErrorCode err = U_ZERO_ERROR;
      ucnv_toUnicode(FConv.get(), &target, targetEnd, &src, srcEnd, FOffsets.data(), AFlush, &err);
      ACount += static_cast<size_t>(target - before);
      if (FFirstInvalid) {
        // ICU gives each character the offset of its first byte in this call's input, or -1
        // when it began before.
        const int64_t base = FBytesBefore + (srcBefore - ABytes);
        int32_t at =
            FFirstInvalid >= before && FFirstInvalid < target ? FOffsets[FFirstInvalid - before] : -1;
        NoteInvalid(at >= 0 ? base + at : FBytesBefore - held);
      }
      if (err == U_BUFFER_OVERFLOW_ERROR) {
        EnsureRoom(ADest, ADest.size() + ASize + 64);
        continue;
      }
      KIV_ASSERT(U_SUCCESS(err), "KivEncoding");
      break;
    }
    FBytesBefore += static_cast<int64_t>(ASize);
    // A character below 0x80 only ever comes from a single byte.
    if (FLowBytes)
      for (size_t i = start; i < ACount; ++i)
        if (ADest[i] < 0x80) ADest[i] = FLowBytes->ToText[ADest[i]];
    return ACount - start;
  }

 private:
  // Remembers where the first replacement of a call goes, to look up its offset afterwards.
  static void U_CALLCONV SubstituteInvalid(const void* AContext, UConverterToUnicodeArgs* AArgs, const char*,
                                           int32_t, UConverterCallbackReason AReason, UErrorCode* AErr) {
    if (AReason > UCNV_IRREGULAR) return;  // reset, close, clone
    auto* self = static_cast<TIcuDecoder*>(const_cast<void*>(AContext));
    if (!self->FFirstInvalid) self->FFirstInvalid = AArgs->target;
    *AErr = U_ZERO_ERROR;
    static const UChar sub = 0xFFFD;
    ucnv_cbToUWriteUChars(AArgs, &sub, 1, 0, AErr);
  }
  TConverterPtr FConv;
  std::shared_ptr<const TLowBytes> FLowBytes;
  std::vector<int32_t> FOffsets;
  const UChar* FFirstInvalid = nullptr;
};

class TIcuEncoder : public TKivEncoder {
 public:
  TIcuEncoder(Integer ACodePage, TKivString AName, TConverterPtr AConv,
              std::shared_ptr<const TLowBytes> ALowBytes)
      : FConv(std::move(AConv)), FLowBytes(std::move(ALowBytes)) {
    FCodePage = ACodePage;
    FName = std::move(AName);
    UErrorCode err = U_ZERO_ERROR;
    ucnv_setFromUCallBack(FConv.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &err);
    KIV_ASSERT(U_SUCCESS(err), "KivEncoding");
    FMaxCharSize = ucnv_getMaxCharSize(FConv.get());
  }
  void Encode(const char16_t* AChars, size_t ACount, bool AFlush, std::string& AOut) override {
    if (FLowBytes) {
      FScratch.assign(AChars, ACount);
      for (char16_t& c : FScratch)
        if (c < 0x80) c = FLowBytes->ToIcu[c];
      AChars = FScratch.data();
    }
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
  std::shared_ptr<const TLowBytes> FLowBytes;
  TKivString FScratch;
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
  std::unique_ptr<TKivEncoding> result = TryFromName(AName);
  if (!result) throw EKivEditDocError(u"Unknown code page name: %s", {AName});
  return result;
}

std::unique_ptr<TKivEncoding> TKivEncoding::TryFromName(TKivStringView AName) {
  std::string name;
  for (char16_t c : AName) {
    if (c == 0 || c > 0x7E) return nullptr;
    name.push_back(static_cast<char>(c));
  }
  if (name.empty()) return nullptr;
  Integer cp = -1;
  for (const auto& a : kNameAliases)
    if (SameAsciiNoCase(name, a.Name)) cp = a.CodePage;
  if (cp < 0) {
    TConverterPtr conv = OpenConverter(name.c_str());
    if (!conv) return nullptr;
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
      for (const auto& e : kExtraCodePages) {
        if (e.CodePage == 0) continue;
        TConverterPtr other = OpenConverter(e.IcuName);
        UErrorCode e2 = U_ZERO_ERROR;
        if (other && canonical == ucnv_getName(other.get(), &e2)) {
          cp = e.CodePage;
          break;
        }
      }
    }
    if (cp < 0) return nullptr;
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

bool TKivEncoding::IsAsciiCompatible() const {
  if (IsWide()) return false;
  TKivString markup;
  std::string expected;
  for (char16_t c = 0; c < 0x7F; ++c)
    if (c >= 0x20 || c == u'\t' || c == u'\r' || c == u'\n') {
      markup.push_back(c);
      expected.push_back(static_cast<char>(c));
    }
  std::string bytes;
  try {
    NewEncoder()->Encode(markup.data(), markup.size(), true, bytes);
  } catch (const EKivEditDocError&) {
    return false;
  }
  return bytes == expected;
}

std::shared_ptr<const TKivCodePointSet> TKivEncoding::RoundTripSet() const {
  static std::mutex lock;
  static std::map<std::string, std::shared_ptr<const TKivCodePointSet>> cache;
  // UTF-8 and the wide forms share the full set: every code point but the surrogates.
  const std::string key = FKind == TKind::Icu ? FIcuName : std::string();
  std::lock_guard<std::mutex> guard(lock);
  auto found = cache.find(key);
  if (found != cache.end()) return found->second;
  auto set = std::make_shared<TKivCodePointSet>(0x110000, FKind != TKind::Icu);
  if (FKind == TKind::Icu) {
    TConverterPtr conv = OpenConverter(FIcuName.c_str());
    KIV_ASSERT(conv != nullptr, "KivEncoding");
    UErrorCode err = U_ZERO_ERROR;
    USet* points = uset_openEmpty();
    ucnv_getUnicodeSet(conv.get(), points, UCNV_ROUNDTRIP_SET, &err);
    for (int32_t r = 0, n = U_SUCCESS(err) ? uset_getItemCount(points) : 0; r < n; ++r) {
      UChar32 first = 0, last = 0;
      UErrorCode e2 = U_ZERO_ERROR;
      if (uset_getItem(points, r, &first, &last, nullptr, 0, &e2) != 0) continue;  // strings
      for (UChar32 c = first; c <= last && c < 0x110000; ++c) (*set)[static_cast<size_t>(c)] = true;
    }
    uset_close(points);
  }
  for (size_t c = 0xD800; c <= 0xDFFF; ++c) (*set)[c] = false;
  if (cache.size() >= 32) cache.clear();
  cache.emplace(key, set);
  return set;
}

std::unique_ptr<TKivDecoder> TKivEncoding::NewDecoder() const {
  if (FKind == TKind::Utf8) return std::make_unique<TUtf8Decoder>();
  if (EncodesAnyText()) return std::make_unique<TUtf16Decoder>(FKind == TKind::Utf16BE);
  TConverterPtr conv = OpenConverter(FIcuName.c_str());
  KIV_ASSERT(conv != nullptr, "KivEncoding");
  return std::make_unique<TIcuDecoder>(std::move(conv), LowBytesOf(FIcuName));
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
      KIV_ASSERT(conv != nullptr, "KivEncoding");
      return std::make_unique<TIcuEncoder>(FCodePage, FName, std::move(conv), LowBytesOf(FIcuName));
    }
  }
}

TKivString KivCodePageName(TKivCodePageRef ACodePage) {
  return TKivEncoding(ACodePage).Name();
}

TKivCodePageRef KivCodePageFromName(TKivStringView AName) {
  return TKivEncoding::FromName(AName)->CodePage();
}
