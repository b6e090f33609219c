// Random edits, compound edits, undo and redo by two authors, against a plain string model
// with its own undo history. Set KIV_SEED to replay one seed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <sstream>

#include "DocumentTestSupport.h"
#include "KivSedDocument.h"
#include "KivTestSeed.h"

namespace {

// ---- the model ----

struct TModelStep {
  enum TKind { kInsert, kDelete, kCompound, kCustom } Kind;
  Integer Author;
  bool Common;
  TKivString Before, After;
  Integer Start = 0, Count = 0;
  bool CanMerge = true;
};

class TModel {
 public:
  TKivString Text;
  std::vector<TModelStep> UndoSt, RedoSt;
  Integer Limit = 1024;
  Integer Saved = 0;  // undo count of the saved text, -1: unreachable
  bool Modified = false;
  int CompoundDepth = 0;
  bool CompoundPushed = false;
  Integer CompoundAuthor = -1;

  Integer LinesCount() const { return Integer(LineStarts().size()); }
  std::vector<Integer> LineStarts() const {
    std::vector<Integer> starts{0};
    for (size_t i = 0; i < Text.size(); ++i) {
      if (Text[i] == u'\r' && i + 1 < Text.size() && Text[i + 1] == u'\n') ++i;
      if (Text[i] == u'\r' || Text[i] == u'\n') starts.push_back(Integer(i + 1));
    }
    return starts;
  }
  // Offset of line ALine's separator (the text length for the last line).
  Integer LineEnd(Integer ALine) const {
    const auto starts = LineStarts();
    if (ALine + 1 == Integer(starts.size())) return Integer(Text.size());
    const Integer next = starts[ALine + 1];
    return next >= 2 && Text[next - 2] == u'\r' && Text[next - 1] == u'\n' ? next - 2 : next - 1;
  }

  bool CanUndo(Integer A) const { return CompoundDepth == 0 && Findable(UndoSt, A); }
  bool CanRedo(Integer A) const { return CompoundDepth == 0 && Findable(RedoSt, A); }

  void Insert(Integer AAt, const TKivString& AStr, Integer AAuthor) {
    if (AStr.empty()) return;
    const bool rule = AAt > 0 && AAt < Integer(Text.size()) && Text[AAt - 1] == u'\r' && Text[AAt] == u'\n';
    const TKivString before = Text;
    Text.insert(AAt, AStr);
    Record(rule ? TModelStep::kCompound : TModelStep::kInsert, AAuthor, before, AAt, Integer(AStr.size()));
  }
  void Delete(Integer AStart, Integer ACount, Integer AAuthor) {
    if (ACount == 0) return;
    const Integer n = Integer(Text.size()), last = AStart + ACount - 1;
    const bool rule = (AStart > 0 && Text[AStart] == u'\n' && Text[AStart - 1] == u'\r') ||
                      (last + 1 < n && Text[last] == u'\r' && Text[last + 1] == u'\n');
    const TKivString before = Text;
    Text.erase(AStart, ACount);
    Record(rule ? TModelStep::kCompound : TModelStep::kDelete, AAuthor, before, AStart, ACount);
  }
  void Replace(Integer AStart, Integer ACount, const TKivString& AStr, Integer AAuthor) {
    if (ACount == 0 && AStr.empty()) return;
    const TKivString before = Text;
    Text.replace(AStart, ACount, AStr);
    Record(TModelStep::kCompound, AAuthor, before, 0, 0);
  }
  void BeginCompound(Integer AAuthor) {
    if (CompoundDepth++ > 0) return;
    CompoundPushed = false;
    CompoundAuthor = AAuthor;
  }
  void EndCompound() {
    if (--CompoundDepth > 0) return;
    if (CompoundPushed) UndoSt.back().After = Text;
  }
  void Custom(Integer AAuthor) {
    if (CompoundDepth > 0) return;
    Push({TModelStep::kCustom, AAuthor, false, Text, Text});
  }
  void Save() {
    Saved = Integer(UndoSt.size());
    if (!UndoSt.empty()) UndoSt.back().CanMerge = false;
    Modified = false;
  }
  void Undo(Integer A) { Move(UndoSt, RedoSt, A, true); }
  void Redo(Integer A) { Move(RedoSt, UndoSt, A, false); }

 private:
  static bool Findable(const std::vector<TModelStep>& AStack, Integer A) {
    for (const auto& s : AStack)
      if (s.Common || s.Author == A) return true;
    return false;
  }
  void Move(std::vector<TModelStep>& AFrom, std::vector<TModelStep>& ATo, Integer A, bool AUndo) {
    for (;;) {
      TModelStep s = AFrom.back();
      AFrom.pop_back();
      const bool own = s.Common || s.Author == A;
      if (own) Text = AUndo ? s.Before : s.After;
      ATo.push_back(s);
      if (own) break;
    }
    Modified = Integer(UndoSt.size()) != Saved;
  }
  void Record(TModelStep::TKind AKind, Integer AAuthor, const TKivString& ABefore, Integer AStart,
              Integer ACount) {
    Modified = true;
    if (CompoundDepth > 0) {
      if (!CompoundPushed && Limit != 0) {
        Push({TModelStep::kCompound, CompoundAuthor, true, ABefore, Text});
        CompoundPushed = true;
      }
      return;
    }
    Push({AKind, AAuthor, true, ABefore, Text, AStart, ACount});
  }
  void Push(TModelStep AStep) {
    if (Limit == 0) return;
    if (!RedoSt.empty()) {
      if (Saved > Integer(UndoSt.size())) Saved = -1;
      RedoSt.clear();
    }
    if (!UndoSt.empty() && Merge(UndoSt.back(), AStep)) return;
    UndoSt.push_back(AStep);
    if (Limit > 0 && Integer(UndoSt.size()) > Limit) {
      UndoSt.erase(UndoSt.begin());
      if (Saved >= 0) --Saved;
    }
  }
  // Typing forward, backspacing and deleting forward at one place by one author merge.
  static bool Merge(TModelStep& ATop, const TModelStep& ANew) {
    if (!ATop.CanMerge || ATop.Kind != ANew.Kind || ATop.Author != ANew.Author) return false;
    if (ANew.Kind == TModelStep::kInsert && ATop.Start + ATop.Count == ANew.Start) {
    } else if (ANew.Kind == TModelStep::kDelete && ANew.Start + ANew.Count == ATop.Start) {
      ATop.Start = ANew.Start;
    } else if (ANew.Kind == TModelStep::kDelete && ANew.Start == ATop.Start) {
    } else {
      return false;
    }
    ATop.Count += ANew.Count;
    ATop.After = ANew.After;
    return true;
  }
};

// ---- the run ----

TKivString Esc(const TKivString& s) {
  TKivString r;
  for (Char c : s) r += c == u'\r' ? u"\\r" : c == u'\n' ? u"\\n" : TKivString(1, c);
  return r;
}

class TRun {
 public:
  TRun(uint32_t ASeed, Integer ALimit) : FRng(ASeed) {
    FDoc.Insert(0, u"ab\r\ncd\ref\ngh");
    FModel.Text = FDoc.Text();
    FDoc.SetUndoLimit(ALimit);
    FDoc.ClearUndo();
    FDoc.SetModified(false);
    FModel.Limit = ALimit;
    FModel.Save();
    FAuthors[1] = FDoc.Internal().GetNextAuthorID();
    FAuthors[2] = FDoc.Internal().GetNextAuthorID();
    FOriginal = FModel.Text;
  }

  void Step(int AIndex) {
    FWhat.str("");
    FWhat << "step " << AIndex << ": ";
    const int r = Rand(100);
    const Integer author = FAuthors[Rand(3)];
    const Integer n = Integer(FModel.Text.size());
    if (r < 25) {
      const Integer at = Rand(2) && FCaret <= n ? FCaret : Rand(n + 1);
      const TKivString s = RandText(Rand(4));
      FWhat << "insert " << at << " '" << KivToUtf8(Esc(s)) << "' by " << author;
      Edit([&] { FDoc.Internal().InsertStr(at, s, author, nullptr); }, [&] { FModel.Insert(at, s, author); });
      FCaret = at + Integer(s.size());
    } else if (r < 43) {
      if (n == 0) return;
      Integer start, count;
      if (Rand(2) && FCaret > 0 && FCaret <= n) {
        const bool back = Rand(2);
        start = back ? FCaret - 1 : std::min(FCaret, n - 1);
        count = 1;
      } else {
        start = Rand(n);
        count = std::min(n - start, Rand(4));
      }
      FWhat << "delete " << start << "," << count << " by " << author;
      Edit([&] { FDoc.Internal().Delete(start, count, author, nullptr); },
           [&] { FModel.Delete(start, count, author); });
      FCaret = start;
    } else if (r < 50) {
      const Integer start = Rand(n + 1), count = std::min(n - start, Rand(3));
      const TKivString s = RandText(Rand(3));
      FWhat << "replace " << start << "," << count << " '" << KivToUtf8(Esc(s)) << "' by " << author;
      Edit([&] { FDoc.Internal().ReplaceStr(start, count, s, author, nullptr); },
           [&] { FModel.Replace(start, count, s, author); });
    } else if (r < 56) {
      LineOp();
    } else if (r < 70) {
      FWhat << "undo by " << author;
      if (!FModel.CanUndo(author)) return Invalid([&] { Undo(author); });
      Edit([&] { Undo(author); }, [&] { FModel.Undo(author); });
    } else if (r < 80) {
      FWhat << "redo by " << author;
      if (!FModel.CanRedo(author)) return Invalid([&] { Redo(author); });
      Edit([&] { Redo(author); }, [&] { FModel.Redo(author); });
    } else if (r < 86) {
      if (FModel.CompoundDepth > 0 && (Rand(3) > 0 || FModel.CompoundDepth > 1)) {
        FWhat << "end compound";
        Edit([&] { FDoc.EndCompoundEdit(); }, [&] { FModel.EndCompound(); });
      } else {
        FWhat << "begin compound by " << author;
        Edit([&] { FDoc.Internal().BeginCompoundAction(author, nullptr, true); },
             [&] { FModel.BeginCompound(author); });
      }
    } else if (r < 91) {
      const Integer a = FAuthors[1 + Rand(2)];
      FWhat << "custom step by " << a;
      Edit([&] { FDoc.Internal().PushCustomAction(a, nullptr); }, [&] { FModel.Custom(a); });
    } else if (r < 94) {
      FWhat << "save";
      Edit([&] { FDoc.SetModified(false); }, [&] { FModel.Save(); });
    } else {
      FWhat << "invalid";
      switch (Rand(4)) {
        case 0:
          return Invalid([&] { FDoc.Insert(n + 1 + Rand(3), u"x"); });
        case 1:
          return Invalid([&] { FDoc.Delete(Rand(n + 1), n + 1); });
        case 2:
          if (FModel.CompoundDepth == 0) return Invalid([&] { FDoc.EndCompoundEdit(); });
          return Invalid([&] { FDoc.Undo(); });
        default:
          return Invalid([&] { FDoc.DeleteLine(FModel.LinesCount()); });
      }
    }
  }

  void Finish() {
    while (FModel.CompoundDepth > 0) {
      FDoc.EndCompoundEdit();
      FModel.EndCompound();
    }
    Check();
  }
  void UndoAll() {
    while (FModel.CanUndo(-1)) {
      FDoc.Undo();
      FModel.Undo(-1);
      Check();
    }
    EXPECT_EQ(KivToUtf8(Esc(FDoc.Text())), KivToUtf8(Esc(FOriginal)));
  }
  bool Failed() const { return ::testing::Test::HasFailure(); }
  std::string What() const { return FWhat.str(); }

 private:
  Integer Rand(Integer ABound) { return Integer(FRng() % uint32_t(ABound)); }
  TKivString RandText(Integer ALength) {
    static const char16_t alphabet[] = u"ab\r\n\r\n x";
    TKivString s;
    for (Integer i = 0; i < ALength; ++i) s += alphabet[Rand(8)];
    return s;
  }
  void Undo(Integer AAuthor) {
    TKivDocUndoInfoPtr old;
    FDoc.Internal().Undo(AAuthor, nullptr, old);
  }
  void Redo(Integer AAuthor) {
    TKivDocUndoInfoPtr old;
    FDoc.Internal().Redo(AAuthor, nullptr, old);
  }
  void LineOp() {
    const Integer lines = FModel.LinesCount();
    const TKivString s = RandText(Rand(3));
    const auto starts = FModel.LineStarts();
    if (Rand(2)) {
      const Integer line = Rand(lines + 1);
      FWhat << "insert line " << line << " '" << KivToUtf8(Esc(s)) << "'";
      Edit([&] { FDoc.InsertLine(line, s); },
           [&] {
             if (line < lines) {
               FModel.Insert(starts[line], s + u"\r\n", -1);
             } else if (FModel.Text.empty()) {
               FModel.Insert(0, s, -1);
             } else {
               FModel.Insert(Integer(FModel.Text.size()), u"\r\n" + s, -1);
             }
           });
    } else {
      const Integer line = Rand(lines);
      FWhat << "delete line " << line;
      Edit([&] { FDoc.DeleteLine(line); },
           [&] {
             const Integer n = Integer(FModel.Text.size());
             if (lines == 1) {
               FModel.Delete(0, n, -1);
             } else if (line == lines - 1) {
               const Integer start = FModel.LineEnd(line - 1);
               FModel.Delete(start, n - start, -1);
             } else {
               FModel.Delete(starts[line], starts[line + 1] - starts[line], -1);
             }
           });
    }
  }
  template <class D, class M>
  void Edit(D ADoc, M AModel) {
    ADoc();
    AModel();
    Check();
  }
  template <class D>
  void Invalid(D ADoc) {
    const TKivString text = FDoc.Text();
    const bool canUndo = FDoc.CanUndo(), canRedo = FDoc.CanRedo(), modified = FDoc.Modified();
    EXPECT_THROW(ADoc(), EKivEditDocError) << What();
    EXPECT_EQ(FDoc.Text(), text) << What();
    EXPECT_EQ(FDoc.CanUndo(), canUndo) << What();
    EXPECT_EQ(FDoc.CanRedo(), canRedo) << What();
    EXPECT_EQ(FDoc.Modified(), modified) << What();
    Check();
  }
  void Check() {
    ASSERT_EQ(KivToUtf8(Esc(FDoc.Text())), KivToUtf8(Esc(FModel.Text))) << What();
    ASSERT_EQ(FDoc.LinesCount(), FModel.LinesCount()) << What();
    for (Integer a : FAuthors) {
      ASSERT_EQ(FDoc.Internal().GetCanUndo(a), FModel.CanUndo(a)) << What() << " author " << a;
      ASSERT_EQ(FDoc.Internal().GetCanRedo(a), FModel.CanRedo(a)) << What() << " author " << a;
    }
    ASSERT_EQ(FDoc.Modified(), FModel.Modified) << What();
    ASSERT_EQ(FDoc.UpdateDepth(), FModel.CompoundDepth) << What();
    ASSERT_EQ(FDoc.InsideCompoundEdit(), FModel.CompoundDepth > 0) << What();
  }

  std::mt19937 FRng;
  TKivEditDocument FDoc;
  TModel FModel;
  Integer FAuthors[3] = {-1, 0, 0};
  Integer FCaret = 0;
  TKivString FOriginal;
  std::ostringstream FWhat;
};

TEST(DocumentModel, RandomEditsAndUndoAgreeWithAStringModel) {
  for (uint32_t seed : ModelSeeds()) {
    SCOPED_TRACE("seed " + std::to_string(seed) + " (replay with KIV_SEED)");
    TRun run(seed, 100000);
    for (int i = 0; i < 3000 && !run.Failed(); ++i) run.Step(i);
    if (run.Failed()) return;
    run.Finish();
    run.UndoAll();
  }
}

TEST(DocumentModel, SmallUndoLimitKeepsModifiedHonest) {
  for (uint32_t seed : ModelSeeds()) {
    SCOPED_TRACE("seed " + std::to_string(seed) + " (replay with KIV_SEED)");
    TRun run(seed + 1000, 6);
    for (int i = 0; i < 2000 && !run.Failed(); ++i) run.Step(i);
    if (run.Failed()) return;
    run.Finish();
  }
}

}  // namespace
