// Fuzz target of the regex engine: compiles arbitrary patterns in every modifier combination and
// runs them over a short subject with a bounded step budget, with and without the search
// optimisations. A compile or match either succeeds or raises EKivRegExprError; both runs must
// give the same matches, captures and need-more answers.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "KivRegExpr.h"

namespace {

// Bytes to code units: ASCII stays, a few high bytes become interesting code units.
char16_t Unit(uint8_t AByte) {
  static const char16_t CWide[] = {0x416, 0x436,  0x2028, 0x2029, 0xA0,  0x5D0,  0x130, 0x131,
                                   0x17F, 0x212A, 0xD800, 0xFFFF, 0x300, 0x2160, 0xB2,  0x1C5};
  if (AByte >= 0xF0) return CWide[AByte - 0xF0];
  return AByte;
}

// Token codes through a window of 3 codes, so that the window moves constantly.
struct TCodes : TKivRegexSource {
  explicit TCodes(const TKivIntArray& A) : TKivRegexSource(3, static_cast<Integer>(A.size())), Data(A) {}
  void FillBuffer() override {
    for (Integer i = FBufferStart; i < FBufferEnd; ++i) FBuffer[i - FBufferStart] = Data[i];
  }
  const TKivIntArray& Data;
};

struct TOutcome {
  bool Error = false;
  std::vector<Integer> Positions;
};

TOutcome Run(const TKivString& APattern, const TKivString& ASubject, const TKivIntArray& ACodes,
             Integer AMods, bool AIntCodes, bool AOptimise, Integer AOffset) {
  TOutcome out;
  TCodes source(ACodes);
  TKivRegExp re;
  try {
    re.SetModifierStr(u"-isgmx");
    if (AMods & 1) re.SetModifierI(true);
    if (AMods & 2) re.SetModifierS(true);
    if (AMods & 4) re.SetModifierG(true);
    if (AMods & 8) re.SetModifierM(true);
    if (AMods & 16) re.SetModifierX(true);
    if (AMods & 64) re.SetModifierA(true);
    if (AIntCodes) {
      re.SetModifierI(false);
      re.SetModifierS(false);
      re.SetModifierM(false);
      re.SetModifierC(true);
      re.SetCodesResolver([](const TKivString& AName) -> Integer {
        if (AName.empty() || AName[0] == u'!') return -1;
        return AName[0] % 8;
      });
    }
    re.SetVariablesGetter([&](Integer AId, TKivIntArray& ACodesOut) {
      for (Integer i = 0; i < AId % 3; ++i) ACodesOut.push_back(u'a' + AId + i);
    });
    re.SetOptimizations(AOptimise ? roAll : 0);
    re.SetStepLimit(20000);
    re.SetExpression(APattern);
    (void)re.Dump();
    bool hasUnicode;
    (void)re.GetFirstCharSetAnsi(hasUnicode);
    re.SetInputText(ASubject);
    if (AIntCodes) re.SetInputSource(&source);
    Integer base = AIntCodes ? 0 : 1;
    bool needMore = false;
    bool ok = re.Exec(base + AOffset, -1, needMore);
    out.Positions.push_back(needMore ? 1 : 0);
    for (int n = 0; ok && n < 8; ++n) {
      for (Integer g = 0; g < re.CompiledSubExpCount(); ++g) {
        out.Positions.push_back(re.GetMatchPos(g));
        out.Positions.push_back(re.GetMatchLen(g));
      }
      ok = re.ExecNext();
    }
    out.Positions.push_back(-7);
    if (!AIntCodes) {
      std::vector<TKivString> pieces;
      re.Split(pieces);
      out.Positions.push_back(static_cast<Integer>(pieces.size()));
      TKivString replaced = re.Replace(u"<$1\\n${0}>", true);
      out.Positions.push_back(static_cast<Integer>(replaced.size()));
    }
  } catch (const EKivRegExprError&) {
    out.Error = true;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  if (ASize < 3 || ASize > 600) return 0;
  const Integer mods = AData[0];
  const size_t subjectLen = AData[1] % 24;
  if (ASize < 2 + subjectLen) return 0;
  TKivString subject;
  TKivIntArray codes;
  for (size_t i = 0; i < subjectLen; ++i) {
    subject.push_back(Unit(AData[2 + i]));
    codes.push_back(AData[2 + i] % 8);
  }
  TKivString pattern;
  for (size_t i = 2 + subjectLen; i < ASize; ++i) pattern.push_back(Unit(AData[i]));
  const bool intCodes = (mods & 32) != 0;
  const Integer offset = static_cast<Integer>((mods >> 7) * (subjectLen / 2));
  TOutcome a = Run(pattern, subject, codes, mods, intCodes, true, offset);
  TOutcome b = Run(pattern, subject, codes, mods, intCodes, false, offset);
  if (!a.Error && !b.Error && a.Positions != b.Positions) abort();  // an optimisation changed a result
  return 0;
}
