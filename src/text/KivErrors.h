// The error base of the library, the message formatter and internal assertions.
//
// Every error carries its formatted UTF-16 message; what() gives it in UTF-8. Messages are
// the system's own texts with printf-style %d / %s placeholders, filled by KivFormat.
#pragma once

#include <exception>
#include <initializer_list>
#include <string>
#include <string_view>

#include "KivTypes.h"

// One argument of KivFormat: an integer (for %d, %u, %x) or a string (for %s).
class TKivFmtArg {
 public:
  TKivFmtArg(int v) : FIsInt(true), FInt(v) {}
  TKivFmtArg(long v) : FIsInt(true), FInt(v) {}
  TKivFmtArg(long long v) : FIsInt(true), FInt(v) {}
  TKivFmtArg(unsigned v) : FIsInt(true), FInt(v) {}
  TKivFmtArg(unsigned long v) : FIsInt(true), FInt(static_cast<long long>(v)) {}
  TKivFmtArg(unsigned long long v) : FIsInt(true), FInt(static_cast<long long>(v)) {}
  TKivFmtArg(const TKivString& s) : FIsInt(false), FStr(s) {}
  TKivFmtArg(TKivStringView s) : FIsInt(false), FStr(s) {}
  TKivFmtArg(const char16_t* s) : FIsInt(false), FStr(s ? s : u"") {}
  // Plain ASCII/UTF-8 text (file names, code page names).
  TKivFmtArg(const std::string& s);
  TKivFmtArg(const char* s);

  bool IsInt() const { return FIsInt; }
  long long Int() const { return FInt; }
  const TKivString& Str() const { return FStr; }

 private:
  bool FIsInt;
  long long FInt = 0;
  TKivString FStr;
};

// Fills printf-style placeholders: %d %u (decimal), %x %X (hexadecimal), %s (string) and %%
// (a percent sign). %d, %x and %X take an optional zero-padded width such as %.4d, %.2x or %02X. A
// placeholder without a matching argument, or of the wrong kind, is written as the argument's natural text or
// left as it stands: formatting a message never throws.
TKivString KivFormat(TKivStringView AFormat, std::initializer_list<TKivFmtArg> AArgs = {});

// UTF-16 <-> UTF-8. A lone surrogate becomes U+FFFD; invalid UTF-8 bytes become U+FFFD.
std::string KivToUtf8(TKivStringView AText);
TKivString KivFromUtf8(std::string_view AText);

// Base of every error the library raises.
class EKivError : public std::exception {
 public:
  explicit EKivError(TKivString AMessage);
  EKivError(TKivStringView AFormat, std::initializer_list<TKivFmtArg> AArgs);

  const TKivString& Message() const noexcept { return FMessage; }
  const char* what() const noexcept override { return FUtf8.c_str(); }

 private:
  TKivString FMessage;
  std::string FUtf8;
};

// Argument errors of the low-level helpers.
class EInvalidArgument : public EKivError {
 public:
  using EKivError::EKivError;
};

// A failed internal invariant: a programming error, never part of specified behaviour.
class EKivInternalError : public EKivError {
 public:
  using EKivError::EKivError;
};

[[noreturn]] void KivAssertionFailed(const char* AModule, const char* ACondition, const char* AFile,
                                     int ALine);

// Checked in every build type: a failure throws EKivInternalError naming the module.
#define KIV_ASSERT(cond, module)                                 \
  do {                                                           \
    if (!(cond)) [[unlikely]]                                    \
      ::KivAssertionFailed((module), #cond, __FILE__, __LINE__); \
  } while (0)
