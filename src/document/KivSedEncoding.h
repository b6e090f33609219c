// Code pages for document files: conversion between bytes in a code page and the editor's
// UTF-16 text, byte-order-mark detection and preambles, code page names, and the atomic file
// writer used when a document is saved.
//
// Code pages are numbered as on the platform the editor comes from: 0 is the system code page
// (UTF-8 here), 65001 UTF-8, 1200/1201 UTF-16 LE/BE, 12000/12001 UTF-32 LE/BE, 125x, 866 and the
// other code pages ICU knows under a "windows-<number>" name. A code page can also be found by
// any of its ICU names ("windows-1251", "cp1251", "utf-16be"...).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

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
// and completed by the next; bytes that are invalid in the code page become U+FFFD and set
// HadInvalidBytes.
class TKivDecoder {
 public:
  virtual ~TKivDecoder() = default;
  // Decodes ASize bytes and writes the characters to ADest from index ACount on, growing ADest
  // when it is too short; ACount is advanced past the characters written, which are returned.
  // Every byte is consumed: an incomplete trailing character is held back for the next call,
  // or, with AFlush, written as U+FFFD.
  virtual size_t Decode(const char* ABytes, size_t ASize, bool AFlush, TKivCharArray& ADest,
                        size_t& ACount) = 0;
  bool HadInvalidBytes() const { return FHadInvalid; }

 protected:
  bool FHadInvalid = false;
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

// One code page: its number, name, preamble, and factories for converters.
class TKivEncoding {
 public:
  // "Unknown code page: %d" for a number that names no code page.
  explicit TKivEncoding(TKivCodePageRef ACodePage);
  // "Unknown code page name: %s" for a name that ICU does not know or that has no number.
  static std::unique_ptr<TKivEncoding> FromName(TKivStringView AName);
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
  // True for UTF-16: every code unit, even a lone surrogate, has a form.
  bool EncodesAnyText() const { return FKind == TKind::Utf16LE || FKind == TKind::Utf16BE; }
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

// Reads a whole text file: a byte-order mark selects its code page, otherwise ADefaultCodePage.
// Raises EKivEditDocError "Cannot open file \"%s\". %s" when the file cannot be read.
TKivString KivReadTextFile(const TKivString& AFileName, TKivCodePageRef ADefaultCodePage = 65001);

TKivString KivCodePageName(TKivCodePageRef ACodePage);
TKivCodePageRef KivCodePageFromName(TKivStringView AName);

// Writes a file so that the previous content survives any failure: the bytes go to a new
// temporary file in the target's directory, which is flushed to disk and then renamed over the
// target. A symbolic link is followed, so the file it points to is replaced (or created, when
// the link dangles); an existing target's permission bits are kept, and a target without write
// permission is refused. Until Commit succeeds the target is untouched; destroying an
// uncommitted writer removes the temporary file.
class TKivAtomicFileWriter {
 public:
  // Raises EKivEditDocError "Cannot create file \"%s\". %s" when the temporary file cannot be
  // made (missing or unwritable directory, a path component that is not a directory, a loop
  // of links) or the target is a directory; "Cannot write file \"%s\". Permission denied"
  // when the target exists without write permission (also for the superuser).
  explicit TKivAtomicFileWriter(const TKivString& AFileName);
  ~TKivAtomicFileWriter();
  TKivAtomicFileWriter(const TKivAtomicFileWriter&) = delete;
  TKivAtomicFileWriter& operator=(const TKivAtomicFileWriter&) = delete;

  // "Cannot write file \"%s\". %s" when the disk refuses the bytes, the flush or the rename;
  // after such an error the temporary file is gone and the target is as it was.
  void Write(const char* ABytes, size_t ASize);
  void Commit();

 private:
  void FlushBuffer();
  [[noreturn]] void Fail(TKivStringView AFormat, int AErrno);
  TKivString FFileName;  // as given, for messages
  std::string FTarget;   // the path really replaced (links resolved)
  std::string FTempName;
  int FFd = -1;
  bool FCommitted = false;
  std::string FBuffer;
};

// The system's text for an errno value, for file error messages.
TKivString KivSysErrorMessage(int AErrno);
