// The code page service: conversion between bytes in a code page and the library's UTF-16
// text, byte-order-mark detection and preambles, code page names and numbers. The document's
// files and the XML streams both read and write through it.
//
// Code pages are numbered as on the platform the editor comes from: 0 is the system code page
// (UTF-8 here), 65001 UTF-8, 1200/1201 UTF-16 LE/BE, 12000/12001 UTF-32 LE/BE, 125x, 866 and the
// other code pages ICU knows under a "windows-<number>" name. A code page can also be found by
// any of its ICU names ("windows-1251", "cp1251", "utf-16be"...).
//
// The single-byte PC code pages (437, 850, 852, 855, 857, 860-866, 869) and 932 map the bytes
// 0x00-0x7F to ASCII both ways, as their platform tables do (ICU's tables for them swap
// 0x1A, 0x1C and 0x7F).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "KivEditDocError.h"
#include "KivTypes.h"

using TKivCodePageRef = Integer;

// What Detect found at the start of a byte stream.
struct TKivEncodingDetection {
  bool Found = false;        // a byte-order mark was recognised
  Integer CodePage = 0;      // its code page (1200, 1201, 12000, 12001 or 65001)
  Integer PreambleSize = 0;  // number of bytes of the mark
};

// Turns bytes into UTF-16, block after block. A character cut at the end of one block is kept
// and completed by the next; bytes that are invalid in the code page become U+FFFD, set
// HadInvalidBytes and, for the first of them, InvalidOffset.
class TKivDecoder {
 public:
  virtual ~TKivDecoder() = default;
  // Decodes ASize bytes and writes the characters to ADest from index ACount on, growing ADest
  // when it is too short; ACount is advanced past the characters written, which are returned.
  // Every byte is consumed: an incomplete trailing character is held back for the next call,
  // or, with AFlush, written as U+FFFD.
  virtual size_t Decode(const char* ABytes, size_t ASize, bool AFlush, TKivCharArray& ADest,
                        size_t& ACount) = 0;
  bool HadInvalidBytes() const { return FInvalidOffset >= 0; }
  // The offset of the first invalid byte, counted from the first byte given to Decode; -1 when
  // every byte so far was valid.
  int64_t InvalidOffset() const { return FInvalidOffset; }

 protected:
  void NoteInvalid(int64_t AOffset) {
    if (FInvalidOffset < 0) FInvalidOffset = AOffset < 0 ? 0 : AOffset;
  }
  int64_t FInvalidOffset = -1;
  int64_t FBytesBefore = 0;  // bytes given to earlier calls
};

// Turns UTF-16 into bytes, block after block; a surrogate pair split between two blocks is
// joined. A character the code page cannot represent raises EKivEditDocError; nothing is
// substituted.
class TKivEncoder {
 public:
  virtual ~TKivEncoder() = default;
  // Appends the bytes of ACount characters to AOut. AFlush ends the text (a dangling high
  // surrogate is then an error; stateful code pages write their closing sequence).
  virtual void Encode(const char16_t* AChars, size_t ACount, bool AFlush, std::string& AOut) = 0;
  // Characters consumed so far; error messages report offsets counted from the first call.
  size_t Position() const { return FPosition; }

 protected:
  [[noreturn]] void RaiseUnencodable(char32_t AChar, size_t AOffset) const;
  Integer FCodePage = 0;
  TKivString FName;
  size_t FPosition = 0;
};

// For each code point (index 0 to 0x10FFFF), whether a code page writes it and reads it back.
using TKivCodePointSet = std::vector<bool>;

// One code page: its number, name, preamble, and factories for converters.
class TKivEncoding {
 public:
  // "Unknown code page: %d" for a number that names no code page.
  explicit TKivEncoding(TKivCodePageRef ACodePage);
  // "Unknown code page name: %s" for a name that ICU does not know or that has no number.
  static std::unique_ptr<TKivEncoding> FromName(TKivStringView AName);
  // As FromName, but an unknown name gives no encoding instead of an error.
  static std::unique_ptr<TKivEncoding> TryFromName(TKivStringView AName);
  // Recognises a byte-order mark at the start of a buffer (UTF-32 marks win over UTF-16 ones).
  static TKivEncodingDetection Detect(const char* ABytes, size_t ASize);
  static bool IsKnownCodePage(TKivCodePageRef ACodePage);

  TKivCodePageRef CodePage() const { return FCodePage; }
  // The preferred name of the code page (MIME or IANA name where one exists).
  const TKivString& Name() const { return FName; }
  // The byte-order mark written when a preamble is asked for; empty for code pages without.
  const std::string& Preamble() const { return FPreamble; }
  bool StartsWithPreamble(const char* ABytes, size_t ASize) const;
  // True for UTF-8/16/32: every character (except lone surrogates in UTF-8/32) can be written.
  bool IsUnicode() const { return FKind != TKind::Icu; }
  // True for UTF-16 and UTF-32: no character is a single byte.
  bool IsWide() const { return FKind != TKind::Icu && FKind != TKind::Utf8; }
  // True for UTF-16: every code unit, even a lone surrogate, has a form.
  bool EncodesAnyText() const { return FKind == TKind::Utf16LE || FKind == TKind::Utf16BE; }
  // Whether printable ASCII, TAB, CR and LF are written as their ASCII bytes, so that markup
  // written in the code page can be found by reading bytes.
  bool IsAsciiCompatible() const;
  // The code points the code page writes and reads back unchanged (never a lone surrogate).
  // Built once per code page and shared.
  std::shared_ptr<const TKivCodePointSet> RoundTripSet() const;
  // An upper bound of the code units that ABytes bytes decode to.
  size_t MaxCharsFor(size_t ABytes) const {
    return FKind == TKind::Icu || FKind == TKind::Utf8 ? ABytes : ABytes / 2 + 1;
  }

  std::unique_ptr<TKivDecoder> NewDecoder() const;
  std::unique_ptr<TKivEncoder> NewEncoder() const;

 private:
  enum class TKind { Utf8, Utf16LE, Utf16BE, Utf32LE, Utf32BE, Icu };
  TKivEncoding() = default;
  void Init(TKivCodePageRef ACodePage, const std::string& AIcuName);

  TKivCodePageRef FCodePage = 0;
  TKind FKind = TKind::Utf8;
  std::string FIcuName;
  TKivString FName;
  std::string FPreamble;
};

TKivString KivCodePageName(TKivCodePageRef ACodePage);
TKivCodePageRef KivCodePageFromName(TKivStringView AName);
