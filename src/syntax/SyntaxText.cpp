// Small text helpers of the scheme readers.
#include "internal/SyntaxText.h"

TKivString KivTrim(TKivStringView AText) {
  size_t b = 0, e = AText.size();
  while (b < e && AText[b] <= u' ') ++b;
  while (e > b && AText[e - 1] <= u' ') --e;
  return TKivString(AText.substr(b, e - b));
}

TKivString KivLowerAscii(TKivStringView AText) {
  TKivString res(AText);
  for (Char& c : res)
    if (c >= u'A' && c <= u'Z') c = static_cast<Char>(c + 32);
  return res;
}

bool SameNameNoCase(TKivStringView A, TKivStringView B) {
  if (A.size() != B.size()) return false;
  for (size_t i = 0; i < A.size(); ++i) {
    Char a = A[i], b = B[i];
    if (a >= u'A' && a <= u'Z') a = static_cast<Char>(a + 32);
    if (b >= u'A' && b <= u'Z') b = static_cast<Char>(b + 32);
    if (a != b) return false;
  }
  return true;
}

std::vector<TKivString> KivSplitWords(TKivStringView AText, TKivStringView ASeparators) {
  std::vector<TKivString> res;
  size_t i = 0;
  while (i < AText.size()) {
    while (i < AText.size() && ASeparators.find(AText[i]) != TKivStringView::npos) ++i;
    size_t j = i;
    while (j < AText.size() && ASeparators.find(AText[j]) == TKivStringView::npos) ++j;
    if (j > i) res.emplace_back(AText.substr(i, j - i));
    i = j;
  }
  return res;
}
