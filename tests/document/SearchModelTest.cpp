// Random find-all and replace-all runs over documents against a model on a plain string: random
// texts, patterns (plain and a small regex set with hand-written matchers), options, directions,
// bounds and replacements. Set KIV_SEED to replay one seed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <sstream>

#include "DocumentTestSupport.h"
#include "KivSedDocument.h"

namespace {

using TMatchList = std::vector<std::pair<Integer, Integer>>;  // (start, length) of each match

TKivString Show(const TKivString& AText) {
  TKivString s;
  for (Char c : AText) s += c == u'\r' ? u"\\r" : c == u'\n' ? u"\\n" : TKivString(1, c);
  return s;
}

Char Fold(Char AChar) {
  return AChar >= u'A' && AChar <= u'Z' ? Char(AChar + 32) : AChar;
}

// ---- the model ----

// A regex of the small set: its text and a matcher giving the length of the match at APos with
// the input ending at AEnd (-1: none).
struct TModelRegex {
  const char16_t* Pattern;
  Integer (*MatchAt)(const TKivString& AText, Integer APos, Integer AEnd, bool ACase);
};

bool Is(Char AText, Char AWanted, bool ACase) {
  return ACase ? AText == AWanted : Fold(AText) == Fold(AWanted);
}

Integer Literal(const TKivString& AText, Integer APos, Integer AEnd, bool ACase, TKivStringView ALit) {
  if (AEnd - APos < Integer(ALit.size())) return -1;
  for (size_t j = 0; j < ALit.size(); ++j)
    if (!Is(AText[APos + j], ALit[j], ACase)) return -1;
  return Integer(ALit.size());
}

Integer Run(const TKivString& AText, Integer APos, Integer AEnd, bool ACase, TKivStringView AClass, Integer AMin,
            Integer AMax) {
  Integer n = 0;
  while (n < AMax && APos + n < AEnd) {
    bool in = false;
    for (Char c : AClass) in = in || Is(AText[APos + n], c, ACase);
    if (!in) break;
    ++n;
  }
  return n >= AMin ? n : -1;
}

const TModelRegex kRegexes[] = {
    {u"ab", [](const TKivString& t, Integer p, Integer e, bool cs) { return Literal(t, p, e, cs, u"ab"); }},
    {u"a\\.", [](const TKivString& t, Integer p, Integer e, bool cs) { return Literal(t, p, e, cs, u"a."); }},
    {u"\\n", [](const TKivString& t, Integer p, Integer e, bool cs) { return Literal(t, p, e, cs, u"\n"); }},
    {u"[ab]", [](const TKivString& t, Integer p, Integer e, bool cs) { return Run(t, p, e, cs, u"ab", 1, 1); }},
    {u"a+", [](const TKivString& t, Integer p, Integer e, bool cs) { return Run(t, p, e, cs, u"a", 1, 1 << 30); }},
    {u"[ab]+", [](const TKivString& t, Integer p, Integer e, bool cs) { return Run(t, p, e, cs, u"ab", 1, 1 << 30); }},
    {u"b*", [](const TKivString& t, Integer p, Integer e, bool cs) { return Run(t, p, e, cs, u"b", 0, 1 << 30); }},
    // Word separators inside the pattern: a whole word may start inside a rejected match.
    {u"a a", [](const TKivString& t, Integer p, Integer e, bool cs) { return Literal(t, p, e, cs, u"a a"); }},
    {u"a\\.a", [](const TKivString& t, Integer p, Integer e, bool cs) { return Literal(t, p, e, cs, u"a.a"); }},
    {u"[ab]+ [ab]",
     [](const TKivString& t, Integer p, Integer e, bool cs) -> Integer {
       const Integer l = Run(t, p, e, cs, u"ab", 1, 1 << 30);
       if (l < 0 || Literal(t, p + l, e, cs, u" ") < 0) return -1;
       return Run(t, p + l + 1, e, cs, u"ab", 1, 1) < 0 ? -1 : l + 2;
     }},
    {u"$",
     [](const TKivString& t, Integer p, Integer e, bool) -> Integer {
       if (p >= e) return 0;
       if (p > 0 && t[p] == u'\n' && t[p - 1] == u'\r') return -1;  // inside a CR LF pair
       return t[p] == u'\r' || t[p] == u'\n' ? 0 : -1;
     }},
};

struct TRunArgs {
  TKivString Text;
  TKivString Pattern;
  const TModelRegex* Regex = nullptr;  // none: plain
  bool CaseSensitive = false;
  bool WholeWords = false;
  bool Substitute = false;  // the replacement "<$0>" wraps the match
  TKivEditSearchDirection Dir = sdForward;
  Integer Offset = 0;
  Integer MaxCount = -1;
  TKivString Replacement;

  TKivEditSearchOptions Options() const {
    TKivEditSearchOptions o;
    if (Regex) o.Include(soRegexp);
    if (CaseSensitive) o.Include(soCaseSensitive);
    if (WholeWords) o.Include(soWholeWords);
    if (Substitute) o.Include(soRegexpSubstitute);
    return o;
  }
  std::string Describe() const {
    std::ostringstream s;
    s << "text \"" << KivToUtf8(Show(Text)) << "\" pattern \"" << KivToUtf8(Show(Pattern)) << "\""
      << (Regex ? " regex" : "") << (CaseSensitive ? " case" : "") << (WholeWords ? " words" : "")
      << (Substitute ? " substitute" : "") << (Dir == sdBackward ? " backward" : " forward") << " offset " << Offset
      << " count " << MaxCount << " replacement \"" << KivToUtf8(Show(Replacement)) << "\"";
    return s.str();
  }
};

class TModel {
 public:
  TModel(const TRunArgs& AArgs, const TKivString& AFullWordSeparators)
      : Text(AArgs.Text), A(AArgs), Seps(AFullWordSeparators) {
    const Integer n = Integer(Text.size());
    if (A.Dir == sdBackward)
      E = A.MaxCount == -1 ? 0 : std::max<Integer>(0, A.Offset - A.MaxCount);
    else
      E = A.MaxCount == -1 ? n : std::min<Integer>(n, A.Offset + A.MaxCount);
  }

  TMatchList FindAll(size_t ALimit = 200) {
    TMatchList out;
    Integer start = A.Offset, len = 0;
    for (bool first = true; out.size() < ALimit; first = false) {
      if (!Step(start, len, first)) break;
      out.emplace_back(start, len);
    }
    return out;
  }

  // The text after a replace-all and the number of replacements.
  Integer ReplaceAll(Integer ALimit = 200) {
    Integer start = A.Offset, len = 0, count = 0;
    for (bool first = true; count < ALimit; first = false) {
      if (!Step(start, len, first)) break;
      const TKivString r = A.Substitute && A.Regex ? u"<" + Text.substr(start, len) + u">" : A.Replacement;
      Text.replace(start, len, r);
      // The bound keeps its place in deleted text and moves with text inserted at it.
      if (E > start) E = std::max(start, E - len);
      if (E >= start && !r.empty()) E += Integer(r.size());
      len = Integer(r.size());
      ++count;
    }
    return count;
  }

  TKivString Text;

 private:
  Integer StepOver(Integer AP) const {
    return AP + 1 < Integer(Text.size()) && Text[AP] == u'\r' && Text[AP + 1] == u'\n' ? 2 : 1;
  }
  bool IsSep(Integer AIdx) const {
    if (AIdx < 0 || AIdx >= Integer(Text.size())) return true;
    return Seps.find(Text[AIdx]) != TKivString::npos;
  }
  Integer MatchAt(Integer APos, Integer AEnd) const {
    if (A.Regex) return A.Regex->MatchAt(Text, APos, AEnd, A.CaseSensitive);
    return Literal(Text, APos, AEnd, A.CaseSensitive, A.Pattern);
  }
  // The leftmost match starting in [AFrom, AEnd] with the input ending at AEnd.
  bool Leftmost(Integer AFrom, Integer AEnd, Integer& APos, Integer& ALen) const {
    for (Integer p = AFrom; p <= AEnd; ++p) {
      const Integer l = MatchAt(p, AEnd);
      if (l >= 0) {
        APos = p;
        ALen = l;
        return true;
      }
    }
    return false;
  }

  bool Raw(Integer AP, Integer AP0, bool AFirst, Integer& APos, Integer& ALen) const {
    const bool back = A.Dir == sdBackward;
    if (!A.Regex) {
      const Integer l = Integer(A.Pattern.size());
      if (!back) {
        for (Integer p = AP; p + l <= E; ++p)
          if (MatchAt(p, E) >= 0) return APos = p, ALen = l, true;
      } else {
        for (Integer p = AP - l; p >= E; --p)
          if (MatchAt(p, AP) >= 0) return APos = p, ALen = l, true;
      }
      return false;
    }
    if (!back) {
      if (!Leftmost(AP, E, APos, ALen)) return false;
      if (ALen == 0 && APos == AP0 && !AFirst) {
        const Integer next = AP + StepOver(AP);
        if (next > E) return false;
        return Leftmost(next, E, APos, ALen);
      }
      return true;
    }
    // Backwards: the matches from E on with the input ending at P, in order, as a forward run
    // meets them (after a match that is not a whole word the next try starts one character after
    // its start); the last whole word that is not the empty match at P0 after the first call.
    bool have = false;
    Integer p = E, pos, len;
    while (p <= AP && Leftmost(p, AP, pos, len)) {
      // An empty match between a CR and its LF does not count; after an empty match the next
      // try steps over a CR LF pair as one.
      if (len == 0 && pos > 0 && pos < Integer(Text.size()) && Text[pos - 1] == u'\r' && Text[pos] == u'\n') {
        p = pos + 1;
        continue;
      }
      const bool word = IsWord(pos, len);
      if (word && !(len == 0 && pos == AP0 && !AFirst)) {
        APos = pos;
        ALen = len;
        have = true;
      }
      p = len == 0 ? pos + StepOver(pos) : word ? pos + len : pos + 1;
    }
    return have;
  }

  bool IsWord(Integer APos, Integer ALen) const {
    return !A.WholeWords || (IsSep(APos - 1) && IsSep(APos + ALen));
  }

  // AStart/ALen: the last match in, the new one out.
  bool Step(Integer& AStart, Integer& ALen, bool AFirst) const {
    if (A.Pattern.empty()) return false;
    const bool back = A.Dir == sdBackward;
    const Integer n = Integer(Text.size());
    Integer p = std::clamp<Integer>(back ? AStart : AStart + ALen, 0, n);
    const Integer p0 = p;
    for (;;) {
      if (back ? p < E : p > E) return false;
      Integer pos, len;
      if (!Raw(p, p0, AFirst, pos, len)) return false;
      if (IsWord(pos, len)) {
        AStart = pos;
        ALen = len;
        return true;
      }
      if (back)
        p = len > 0 ? pos + len - 1 : pos - 1;
      else
        p = len > 0 ? pos + 1 : pos + StepOver(pos);
    }
  }

  const TRunArgs& A;
  TKivString Seps;
  Integer E;
};

// ---- random runs ----

class TRunner {
 public:
  explicit TRunner(uint32_t ASeed) : FRnd(ASeed) {}

  TRunArgs Random(bool AForReplace) {
    TRunArgs a;
    // CR only in find runs: the document keeps CR LF pairs whole by edits that move a bound next
    // to them differently from a plain string (the text itself is the same).
    const TKivString alphabet = AForReplace ? u"aabbA. \n" : u"aabbA. \r\n";
    const Integer n = Pick(0, 40);
    for (Integer i = 0; i < n; ++i) a.Text += alphabet[Pick(0, Integer(alphabet.size()) - 1)];
    if (Pick(0, 2) == 0) {
      a.Regex = &kRegexes[Pick(0, Integer(std::size(kRegexes)) - 1)];
      a.Pattern = a.Regex->Pattern;
      a.Substitute = AForReplace && Pick(0, 3) == 0;
    } else if (n > 0 && Pick(0, 1) == 0) {
      const Integer s = Pick(0, n - 1);
      a.Pattern = a.Text.substr(s, Pick(1, 3));
    } else {
      static const char16_t* const plain[] = {u"a",   u"ab",  u"aa",  u"bA",   u"a a", u"b.", u"\r\n",
                                              u"x",   u"",    u"a.a", u"a a a", u" a",  u"a ", u"a.b"};
      a.Pattern = plain[Pick(0, Integer(std::size(plain)) - 1)];
    }
    a.CaseSensitive = Pick(0, 1) == 0;
    a.WholeWords = Pick(0, 2) == 0;
    a.Dir = Pick(0, 1) == 0 ? sdForward : sdBackward;
    a.Offset = Pick(0, 3) == 0 ? (a.Dir == sdForward ? 0 : n) : Pick(0, n);
    a.MaxCount = Pick(0, 1) == 0 ? -1 : Pick(0, n + 2);
    static const char16_t* const replacements[] = {u"", u"a", u"ab", u"x", u"aaa", u"\n"};
    a.Replacement = replacements[Pick(0, Integer(std::size(replacements)) - 1)];
    if (a.Substitute) a.Replacement = u"<$0>";
    return a;
  }

  // A document holding the text with its gap somewhere inside and no undo history.
  static std::unique_ptr<TKivEditDocument> Document(const TKivString& AText, Integer AGapAt) {
    auto doc = std::make_unique<TKivEditDocument>();
    doc->Insert(0, AText);
    doc->Insert(AGapAt, u"z");
    doc->Delete(AGapAt, 1);
    doc->ClearUndo();
    return doc;
  }

  Integer Pick(Integer ALo, Integer AHi) { return std::uniform_int_distribution<Integer>(ALo, AHi)(FRnd); }

 private:
  std::mt19937 FRnd;
};

TMatchList FindAllInDocument(TKivEditDocument& ADoc, const TRunArgs& A, size_t ALimit = 200) {
  TMatchList out;
  TKivEditFindReplaceStatePtr st = ADoc.FindPatternFirst(A.Offset, A.MaxCount, A.Pattern, A.Options(), A.Dir);
  if (!st) return out;
  do out.emplace_back(st->FoundSegment.Start, st->FoundSegment.Count);
  while (out.size() < ALimit && ADoc.FindPatternNext(st.get()));
  return out;
}

TEST(SearchModel, FindAllAgreesWithTheModel) {
  for (uint32_t seed : ModelSeeds()) {
    SCOPED_TRACE("seed " + std::to_string(seed) + " (replay with KIV_SEED)");
    TRunner runner(seed);
    for (int i = 0; i < 3000; ++i) {
      const TRunArgs a = runner.Random(false);
      auto doc = TRunner::Document(a.Text, runner.Pick(0, Integer(a.Text.size())));
      TModel model(a, doc->FullWordSeparators());
      ASSERT_EQ(FindAllInDocument(*doc, a), model.FindAll()) << a.Describe();
      ASSERT_EQ(doc->Text(), a.Text);
    }
  }
}

TEST(SearchModel, ReplaceAllAgreesWithTheModelAndUndoesInOneStep) {
  for (uint32_t seed : ModelSeeds()) {
    SCOPED_TRACE("seed " + std::to_string(seed) + " (replay with KIV_SEED)");
    TRunner runner(seed + 1000);
    for (int i = 0; i < 3000; ++i) {
      const TRunArgs a = runner.Random(true);
      auto doc = TRunner::Document(a.Text, runner.Pick(0, Integer(a.Text.size())));
      TModel model(a, doc->FullWordSeparators());
      const Integer replaced = model.ReplaceAll();
      if (replaced >= 200) continue;  // the model's guard against a run that would not end
      Integer calls = 0;
      auto count = [&](TKivEditDocument&, TKivEditFindReplaceState&, Integer&, TKivEditReplaceAction&) { ++calls; };
      TKivEditFindReplaceStatePtr st =
          doc->ReplacePatternAll(a.Offset, a.MaxCount, a.Pattern, a.Replacement, a.Options(), a.Dir, count);
      ASSERT_EQ(KivToUtf8(Show(doc->Text())), KivToUtf8(Show(model.Text))) << a.Describe();
      ASSERT_EQ(calls, replaced) << a.Describe();
      ASSERT_EQ(st != nullptr, replaced > 0) << a.Describe();
      ASSERT_FALSE(doc->InsideCompoundEdit());
      // One undo step for the whole run (none when nothing changed).
      if (doc->CanUndo()) doc->Undo();
      ASSERT_EQ(KivToUtf8(Show(doc->Text())), KivToUtf8(Show(a.Text))) << a.Describe();
      ASSERT_FALSE(doc->CanUndo()) << a.Describe();
    }
  }
}

// Backward regex runs over texts long enough that a step resumes the walk of the step before
// instead of walking again from the bound: find-all and replace-all against the model.
TEST(SearchModel, LongBackwardRegexRunsAgreeWithTheModel) {
  for (uint32_t seed : ModelSeeds()) {
    SCOPED_TRACE("seed " + std::to_string(seed) + " (replay with KIV_SEED)");
    TRunner runner(seed + 2000);
    for (int i = 0; i < 12; ++i) {
      const bool replace = i % 2 == 1;
      TRunArgs a;
      // Stretches without matches between the matches, so that a step's search point lies
      // more than a window after the match before.
      const TKivString alphabet = replace ? u"aabbA. \n" : u"aabbA. \r\n";
      const Integer n = runner.Pick(1000, 4000);
      for (Integer k = 0; k < n; ++k)
        a.Text += runner.Pick(0, 9) == 0 ? alphabet[runner.Pick(0, Integer(alphabet.size()) - 1)] : u'z';
      a.Regex = &kRegexes[runner.Pick(0, Integer(std::size(kRegexes)) - 1)];
      a.Pattern = a.Regex->Pattern;
      a.CaseSensitive = runner.Pick(0, 1) == 0;
      a.WholeWords = runner.Pick(0, 1) == 0;
      a.Dir = sdBackward;
      a.Offset = runner.Pick(0, 1) == 0 ? n : runner.Pick(0, n);
      a.MaxCount = runner.Pick(0, 1) == 0 ? -1 : runner.Pick(0, n);
      a.Replacement = u"ab";
      auto doc = TRunner::Document(a.Text, runner.Pick(0, n));
      TModel model(a, doc->FullWordSeparators());
      if (!replace) {
        ASSERT_EQ(FindAllInDocument(*doc, a, 100000), model.FindAll(100000)) << a.Describe();
        continue;
      }
      model.ReplaceAll(100000);
      TKivEditFindReplaceStatePtr st =
          doc->ReplacePatternAll(a.Offset, a.MaxCount, a.Pattern, a.Replacement, a.Options(), a.Dir);
      ASSERT_EQ(KivToUtf8(Show(doc->Text())), KivToUtf8(Show(model.Text))) << a.Describe();
      if (doc->CanUndo()) doc->Undo();
      ASSERT_EQ(KivToUtf8(Show(doc->Text())), KivToUtf8(Show(a.Text))) << a.Describe();
    }
  }
}

// Everything a document tells about itself during an edit, in order.
class TEventLog : public TKivDocumentListener {
 public:
  explicit TEventLog(TKivEditDocument& ADoc) : FDoc(ADoc) {
    ADoc.AddListener(this);
    ADoc.OnDocChanged = [this](TKivEditDocument&, TKivDocStatusChanges c) { Add("changed " + ChangesText(c)); };
    ADoc.OnLinesChanged = [this](TKivEditDocument&, Integer a, Integer b) { Add("lines", a, b); };
    ADoc.OnMarkDeleting = [this](TKivEditDocument&, const IKivMarkersRef&, const IKivMarkRef& m) {
      Add("mark deleting", m->Pos());
    };
  }
  void MarksDeleting(const IKivMarkersRef&, const TKivMarkArray& AMarks) override {
    Add("marks deleting", Integer(AMarks.size()));
  }
  void BeforeInsert(Integer AStart, Integer ALength) override { Add("before insert", AStart, ALength); }
  void AfterInsert(Integer AStart, Integer ALength) override { Add("after insert", AStart, ALength); }
  void BeforeDelete(Integer AStart, Integer ALength) override { Add("before delete", AStart, ALength); }
  void AfterDelete(Integer AStart, Integer ALength) override { Add("after delete", AStart, ALength); }
  void BeforeCompoundEdit(bool AFreeze) override { Add("begin compound", AFreeze); }
  void AfterCompoundEdit(bool AFreeze) override { Add("end compound", AFreeze); }
  void DoUserEventAfterDocChange() override { Add("user event"); }

  ~TEventLog() override {
    FDoc.RemoveListener(this);
    FDoc.OnDocChanged = nullptr;
    FDoc.OnLinesChanged = nullptr;
    FDoc.OnMarkDeleting = nullptr;
  }

  std::vector<std::string> Log;

 private:
  TKivEditDocument& FDoc;
  void Add(const std::string& AWhat, Integer A = -1, Integer B = -1) {
    Log.push_back(AWhat + " " + std::to_string(A) + " " + std::to_string(B));
  }
};

// Where every marker of the document's collections and of two custom ones is (-1: deleted).
std::vector<Integer> MarkerPositions(const std::vector<IKivMarkRef>& AMarks) {
  std::vector<Integer> out;
  for (const auto& m : AMarks) out.push_back(m->IsValid() ? m->Pos() : -1);
  return out;
}

// A replace-all does exactly what replacing each match by hand inside one compound edit does:
// the same text, listener calls, events, markers, and the same after undo and redo.
TEST(SearchModel, ReplaceAllDoesWhatReplacingEachMatchDoes) {
  for (uint32_t seed : ModelSeeds()) {
    SCOPED_TRACE("seed " + std::to_string(seed) + " (replay with KIV_SEED)");
    TRunner runner(seed + 3000);
    for (int i = 0; i < 400; ++i) {
      TRunArgs a = runner.Random(true);
      const Integer gap = runner.Pick(0, Integer(a.Text.size()));
      std::unique_ptr<TKivEditDocument> docs[2] = {TRunner::Document(a.Text, gap), TRunner::Document(a.Text, gap)};
      std::vector<IKivMarkRef> marks[2];
      const Integer lines = docs[0]->LinesCount();
      const Integer markLines[3] = {runner.Pick(0, lines - 1), runner.Pick(0, lines - 1), runner.Pick(0, lines - 1)};
      const Integer markPos = runner.Pick(0, Integer(a.Text.size()));
      for (int d = 0; d < 2; ++d) {
        TKivEditDocument& doc = *docs[d];
        marks[d].push_back(doc.Bookmarks()->CreateLineMark(markLines[0]));
        marks[d].push_back(doc.Breakpoints()->CreateLineMark(markLines[1]));
        marks[d].push_back(doc.DebugFrameLines()->CreateLineMark(markLines[2]));
        marks[d].push_back(doc.CreateCustomMarkers(false, false, true)->CreateMark(markPos));
        marks[d].push_back(doc.CreateCustomMarkers(true, true, false)->CreateLineMark(markLines[1]));
      }
      TEventLog log0(*docs[0]), log1(*docs[1]);
      TEventLog* logs[2] = {&log0, &log1};
      TKivEditFindReplaceStatePtr all =
          docs[0]->ReplacePatternAll(a.Offset, a.MaxCount, a.Pattern, a.Replacement, a.Options(), a.Dir);
      {
        // By hand: each match found, then replaced.
        TKivEditDocument& doc = *docs[1];
        doc.BeginUpdate();
        doc.BeginCompoundEdit(true);
        TKivEditFindReplaceStatePtr st = doc.FindPatternFirst(a.Offset, a.MaxCount, a.Pattern, a.Options(), a.Dir);
        for (int k = 0; st && k < 1000; ++k) {
          const TKivString text =
              a.Substitute ? st->FoundRegex->Substitute(a.Replacement) : a.Replacement;
          doc.Replace(st->FoundSegment.Start, st->FoundSegment.Count, text);
          st->FoundSegment.Count = Integer(text.size());
          if (!doc.FindPatternNext(st.get())) break;
        }
        doc.EndCompoundEdit(true);
        doc.EndUpdate(true);
      }
      ASSERT_EQ(docs[0]->Text(), docs[1]->Text()) << a.Describe();
      ASSERT_EQ(logs[0]->Log, logs[1]->Log) << a.Describe();
      ASSERT_EQ(MarkerPositions(marks[0]), MarkerPositions(marks[1])) << a.Describe();
      for (bool undo : {true, false}) {
        for (int d = 0; d < 2; ++d) {
          logs[d]->Log.clear();
          if (undo ? docs[d]->CanUndo() : docs[d]->CanRedo()) undo ? docs[d]->Undo() : docs[d]->Redo();
        }
        ASSERT_EQ(docs[0]->Text(), docs[1]->Text()) << a.Describe();
        ASSERT_EQ(logs[0]->Log, logs[1]->Log) << a.Describe();
        ASSERT_EQ(MarkerPositions(marks[0]), MarkerPositions(marks[1])) << a.Describe();
      }
    }
  }
}

// The chunked forward search against the sequence helpers, with the gap at every place.
TEST(SearchModel, PlainForwardSearchAgreesWithTheSequenceHelpers) {
  TRunner runner(7);
  for (int i = 0; i < 300; ++i) {
    TKivString text;
    const Integer n = runner.Pick(0, 40);
    for (Integer k = 0; k < n; ++k) text += u"aAbB\u0130i\u212Ak"[runner.Pick(0, 7)];
    const TKivString pattern = n > 0 ? text.substr(runner.Pick(0, n - 1), runner.Pick(1, 4)) : u"a";
    for (Integer gap = 0; gap <= n; ++gap) {
      auto doc = TRunner::Document(text, gap);
      for (bool cs : {false, true}) {
        TKivSeqFromString seq(text);
        std::vector<Integer> expected, actual;
        for (Integer p = cs ? SeqFind(pattern, seq, 0) : SeqFindNoCase(pattern, seq, 0); p >= 0 && p < n;
             p = cs ? SeqFind(pattern, seq, p + 1) : SeqFindNoCase(pattern, seq, p + 1))
          expected.push_back(p);
        TKivEditSearchOptions opts;
        if (cs) opts.Include(soCaseSensitive);
        for (Integer from = 0;;) {
          TKivEditFindReplaceStatePtr st = doc->FindPatternFirst(from, pattern, opts);
          if (!st) break;
          actual.push_back(st->FoundSegment.Start);
          from = st->FoundSegment.Start + 1;
          if (from > n) break;
        }
        ASSERT_EQ(actual, expected) << KivToUtf8(text) << " / " << KivToUtf8(pattern) << " gap " << gap;
      }
    }
  }
}

}  // namespace
