// Substitution templates, Split, Replace and ReplaceEx.
#include "internal/RegexNode.h"

void TKivRegExp::CheckNotIntCodes() {
  CheckCompiled();
  if (FModifiers & KivRegModC) Error(reeNotForIntCodesMethod);
}

namespace {

bool IsDigitCh(char16_t ACh) {
  return ACh >= u'0' && ACh <= u'9';
}

Integer HexDigit(char16_t ACh) {
  if (ACh >= u'0' && ACh <= u'9') return ACh - u'0';
  if (ACh >= u'a' && ACh <= u'f') return ACh - u'a' + 10;
  if (ACh >= u'A' && ACh <= u'F') return ACh - u'A' + 10;
  return -1;
}

// The character of the escape at ATemplate[AIdx] (the character after the backslash); AIdx is
// left on the escape's last character.
char16_t TemplateEscape(const TKivString& ATemplate, size_t& AIdx) {
  const char16_t e = ATemplate[AIdx];
  switch (e) {
    case u'x':
    case u'u':
    case u'U': {
      // \xHH, \x{H..H}, \uH..H; a malformed form stands for the letter itself.
      size_t i = AIdx + 1;
      bool braced = i < ATemplate.size() && ATemplate[i] == u'{';
      if (braced) ++i;
      Integer v = 0;
      size_t digits = 0, maxDigits = (e == u'x' && !braced) ? 2 : 4;
      while (i < ATemplate.size() && digits < maxDigits && HexDigit(ATemplate[i]) >= 0) {
        v = v * 16 + HexDigit(ATemplate[i++]);
        ++digits;
      }
      if (digits == 0 || (e == u'x' && !braced && digits != 2)) return e;
      if (e == u'x' && braced) {
        if (i >= ATemplate.size() || ATemplate[i] != u'}') return e;
        ++i;
      }
      AIdx = i - 1;
      return static_cast<char16_t>(v);
    }
    default:
      return static_cast<char16_t>(RegexSimpleEscape(e));
  }
}

}  // namespace

TKivString TKivRegExp::Substitute(const TKivString& ATemplate) {
  CheckNotIntCodes();
  TKivString r;
  if (ATemplate.empty()) return r;
  const size_t n = ATemplate.size();
  auto appendGroup = [&](int64_t AGroup) {
    if (AGroup >= 0 && AGroup < FSubexpCount) r += GetMatch(static_cast<Integer>(AGroup));
  };
  auto readNumber = [&](size_t& AIdx) {
    int64_t v = 0;
    while (AIdx < n && IsDigitCh(ATemplate[AIdx])) {
      v = std::min<int64_t>(v * 10 + (ATemplate[AIdx] - u'0'), 1000000000);
      ++AIdx;
    }
    return v;
  };
  for (size_t i = 0; i < n; ++i) {
    const char16_t c = ATemplate[i];
    if (c == u'$' && i + 1 < n) {
      const char16_t d = ATemplate[i + 1];
      if (d == u'{') {
        size_t j = i + 2;
        int64_t g = -1;
        if (j < n && ATemplate[j] == u'&') {
          g = 0;
          ++j;
        } else if (j < n && IsDigitCh(ATemplate[j])) {
          g = readNumber(j);
        }
        if (g < 0 || j >= n || ATemplate[j] != u'}')
          Error(reeBadSubstitutionName, static_cast<Integer>(j + 1));
        appendGroup(g);
        i = j;
        continue;
      }
      if (d == u'&') {
        appendGroup(0);
        ++i;
        continue;
      }
      if (IsDigitCh(d)) {
        size_t j = i + 1;
        appendGroup(readNumber(j));
        i = j - 1;
        continue;
      }
    } else if (c == u'\\' && i + 1 < n) {
      ++i;
      r.push_back(TemplateEscape(ATemplate, i));
      continue;
    }
    r.push_back(c);
  }
  return r;
}

void TKivRegExp::Split(std::vector<TKivString>& APieces) {
  CheckNotIntCodes();
  const TKivString text = StringInput().Str();
  Integer prev = 1;
  bool any = false;
  if (Exec()) {
    do {
      any = true;
      APieces.push_back(
          text.substr(static_cast<size_t>(prev - 1), static_cast<size_t>(GetMatchPos(0) - prev)));
      prev = GetMatchPos(0) + GetMatchLen(0);
    } while (ExecNext());
  }
  if (!any || prev <= static_cast<Integer>(text.size()))
    APieces.push_back(text.substr(static_cast<size_t>(prev - 1)));
}

TKivString TKivRegExp::ReplaceEx(const TKivRegExprReplaceFunction& AReplaceFunc) {
  CheckNotIntCodes();
  const TKivString text = StringInput().Str();
  TKivString r;
  Integer prev = 1;
  if (Exec()) {
    do {
      r.append(text, static_cast<size_t>(prev - 1), static_cast<size_t>(GetMatchPos(0) - prev));
      r += AReplaceFunc(*this);
      prev = GetMatchPos(0) + GetMatchLen(0);
    } while (ExecNext());
  }
  if (prev - 1 <= static_cast<Integer>(text.size())) r.append(text, static_cast<size_t>(prev - 1));
  return r;
}

TKivString TKivRegExp::Replace(const TKivString& AReplaceStr, bool AUseSubstitution) {
  CheckNotIntCodes();
  if (AUseSubstitution) return ReplaceEx([&](TKivRegExp& ARe) { return ARe.Substitute(AReplaceStr); });
  return ReplaceEx([&](TKivRegExp&) { return AReplaceStr; });
}
