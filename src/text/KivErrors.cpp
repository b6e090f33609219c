#include "KivErrors.h"

#include <algorithm>
#include <cstdio>

TKivFmtArg::TKivFmtArg(const std::string& s) : FIsInt(false), FStr(KivFromUtf8(s)) {}
TKivFmtArg::TKivFmtArg(const char* s) : FIsInt(false), FStr(KivFromUtf8(s ? s : "")) {}

namespace {

void AppendAscii(TKivString& AOut, const char* AText) {
  for (; *AText; ++AText) AOut.push_back(static_cast<char16_t>(static_cast<unsigned char>(*AText)));
}

void AppendNumber(TKivString& AOut, const TKivFmtArg& AArg, char AConv, int AWidth) {
  char buf[400];
  long long v = AArg.Int();
  switch (AConv) {
    case 'x':
      std::snprintf(buf, sizeof buf, "%0*llx", AWidth, static_cast<unsigned long long>(v) & 0xFFFFFFFFull);
      break;
    case 'X':
      std::snprintf(buf, sizeof buf, "%0*llX", AWidth, static_cast<unsigned long long>(v) & 0xFFFFFFFFull);
      break;
    case 'u':
      std::snprintf(buf, sizeof buf, "%llu", static_cast<unsigned long long>(v) & 0xFFFFFFFFull);
      break;
    default:
      std::snprintf(buf, sizeof buf, "%0*lld", AWidth, v);
      break;
  }
  AppendAscii(AOut, buf);
}

}  // namespace

TKivString KivFormat(TKivStringView AFormat, std::initializer_list<TKivFmtArg> AArgs) {
  TKivString out;
  out.reserve(AFormat.size() + 16);
  auto arg = AArgs.begin();
  for (size_t i = 0; i < AFormat.size(); ++i) {
    char16_t c = AFormat[i];
    if (c != u'%' || i + 1 >= AFormat.size()) {
      out.push_back(c);
      continue;
    }
    // Optional width / precision: "%.2x", "%02X".
    size_t j = i + 1;
    int width = 0;
    if (j < AFormat.size() && AFormat[j] == u'.') ++j;
    while (j < AFormat.size() && AFormat[j] >= u'0' && AFormat[j] <= u'9' && width < 32)
      width = width * 10 + (AFormat[j++] - u'0');
    if (j >= AFormat.size()) {
      out.append(AFormat.substr(i));
      break;
    }
    char16_t conv = AFormat[j];
    if (conv == u'%') {
      out.push_back(u'%');
      i = j;
      continue;
    }
    if (conv != u'd' && conv != u'u' && conv != u'x' && conv != u'X' && conv != u's') {
      out.push_back(c);
      continue;
    }
    if (arg == AArgs.end()) {
      out.append(AFormat.substr(i, j - i + 1));
      i = j;
      continue;
    }
    if (arg->IsInt()) {
      AppendNumber(out, *arg, conv == u's' ? 'd' : static_cast<char>(conv), width);
    } else {
      out.append(arg->Str());
    }
    ++arg;
    i = j;
  }
  return out;
}

std::string KivToUtf8(TKivStringView AText) {
  std::string out;
  out.reserve(AText.size());
  for (size_t i = 0; i < AText.size(); ++i) {
    uint32_t cp = AText[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < AText.size() && AText[i + 1] >= 0xDC00 &&
        AText[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (AText[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

TKivString KivFromUtf8(std::string_view AText) {
  TKivString out;
  out.reserve(AText.size());
  size_t i = 0;
  const size_t n = AText.size();
  while (i < n) {
    unsigned char b = static_cast<unsigned char>(AText[i]);
    uint32_t cp;
    int extra;
    uint32_t minimum;
    if (b < 0x80) {
      out.push_back(b);
      ++i;
      continue;
    } else if ((b & 0xE0) == 0xC0) {
      cp = b & 0x1F, extra = 1, minimum = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      cp = b & 0x0F, extra = 2, minimum = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      cp = b & 0x07, extra = 3, minimum = 0x10000;
    } else {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    size_t j = i + 1;
    bool ok = true;
    for (int k = 0; k < extra; ++k, ++j) {
      if (j >= n || (static_cast<unsigned char>(AText[j]) & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (static_cast<unsigned char>(AText[j]) & 0x3F);
    }
    if (!ok || cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(0xFFFD);
      i = ok ? j : std::max(j, i + 1);
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i = j;
  }
  return out;
}

EKivError::EKivError(TKivString AMessage) : FMessage(std::move(AMessage)), FUtf8(KivToUtf8(FMessage)) {}

EKivError::EKivError(TKivStringView AFormat, std::initializer_list<TKivFmtArg> AArgs)
    : EKivError(KivFormat(AFormat, AArgs)) {}

void KivAssertionFailed(const char* AModule, const char* ACondition, const char* AFile, int ALine) {
  throw EKivInternalError(u"programming error (assertion) in %s: %s (%s:%d)",
                          {AModule, ACondition, AFile, ALine});
}
