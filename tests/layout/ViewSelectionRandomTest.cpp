// Random texts (tabs, short and empty lines, mixed line breaks) and random stream and block
// selections against a plain cell model: the selected text, delete and undo, copy and paste.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "KivSedViewCore.h"
#include "KivTestSeed.h"
#include "LayoutFakes.h"
#include "RecordingViewHost.h"

namespace {

constexpr Integer kTab = 4;

struct MemoryClipboard : IKivClipboard {
  bool HasText() override { return !Text.empty(); }
  void GetText(TKivString& AText, bool& AIsRectBlock) override {
    AText = Text;
    AIsRectBlock = Block;
  }
  void SetText(TKivStringView AText, bool AIsRectBlock) override {
    Text = TKivString(AText);
    Block = AIsRectBlock;
  }
  TKivString Text;
  bool Block = false;
};

// One line as cells: the character owning each cell and the column each character starts at.
struct CellLine {
  TKivString Chars;
  std::vector<Integer> Start;  // per character, plus the line's width at the end
  Integer Width() const { return Start.back(); }
  // The character owning column X (Chars.size() past the end).
  size_t Owner(Integer AX) const {
    for (size_t i = 0; i < Chars.size(); ++i)
      if (AX < Start[i + 1]) return i;
    return Chars.size();
  }
};

CellLine MakeLine(const TKivString& AText) {
  CellLine line;
  line.Chars = AText;
  Integer x = 0;
  for (const Char c : AText) {
    line.Start.push_back(x);
    x += c == u'\t' ? kTab - x % kTab : 1;
  }
  line.Start.push_back(x);
  return line;
}

// The model of a stream selection between ordered points: characters of whole cells, the covered
// cells of a character cut at either end as spaces, the text's own line breaks between lines.
TKivString StreamModel(const std::vector<CellLine>& ALines, const std::vector<TKivString>& ABreaks,
                       TKivPoint S, TKivPoint E) {
  TKivString res;
  for (Integer y = S.Y; y <= E.Y; ++y) {
    const CellLine& line = ALines[size_t(y)];
    size_t from = 0;
    if (y == S.Y) {
      from = line.Owner(S.X);
      if (from < line.Chars.size() && S.X > line.Start[from]) {
        const Integer end = y == E.Y && line.Owner(E.X) == from ? E.X : line.Start[from + 1];
        res.append(size_t(end - S.X), u' ');
        if (y == E.Y && line.Owner(E.X) == from) return res;
        ++from;
      }
    }
    size_t to = line.Chars.size();
    Integer after = 0;
    if (y == E.Y) {
      to = line.Owner(E.X);
      after = E.X - (to < line.Chars.size() ? line.Start[to] : line.Width());
    }
    for (size_t i = from; i < to; ++i) res += line.Chars[i];
    if (y == E.Y) {
      res.append(size_t(std::max<Integer>(after, 0)), u' ');
    } else {
      res += ABreaks[size_t(y)];
    }
  }
  return res;
}

// The model of a block: each row's cells between the columns, tabs as spaces, no padding past a
// line's end, rows joined by CR LF.
TKivString BlockModel(const std::vector<CellLine>& ALines, TKivPoint S, TKivPoint E) {
  const Integer left = std::min(S.X, E.X);
  Integer right = std::max(S.X, E.X);
  if (left == right && S.Y != E.Y) right = left + 1;
  TKivString res;
  for (Integer y = std::min(S.Y, E.Y); y <= std::max(S.Y, E.Y); ++y) {
    if (y > std::min(S.Y, E.Y)) res += u"\r\n";
    const CellLine& line = ALines[size_t(y)];
    for (Integer x = left; x < std::min(right, line.Width()); ++x) {
      const size_t k = line.Owner(x);
      res += line.Chars[k] == u'\t' ? u' ' : line.Chars[k];
    }
  }
  return res;
}

bool Less(const TKivPoint& A, const TKivPoint& B) {
  return A.Y < B.Y || (A.Y == B.Y && A.X < B.X);
}

TEST(ViewSelectionRandom, SelectedTextDeleteUndoAndPasteAgainstACellModel) {
  KIV_TEST_SEED(seed);
  std::mt19937 rng(seed);
  auto pick = [&](int AMax) { return int(rng() % unsigned(AMax + 1)); };
  TKivEditDocument doc;
  RecordingHost host;
  host.Area = {0, 0, 2000, 400};
  TKivEditViewCore view(host);
  MemoryClipboard clip;
  view.SetDocument(&doc);
  view.SetClipboard(&clip);
  view.HostResized();
  view.SetTabWidth(kTab);
  static const char16_t* const kBreaks[] = {u"\r\n", u"\n", u"\r"};
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE(round);
    const int lineCount = 1 + pick(5);
    std::vector<CellLine> lines;
    std::vector<TKivString> breaks;
    std::vector<TKivString> texts;
    for (int i = 0; i < lineCount; ++i) {
      TKivString line;
      const int len = pick(3) == 0 ? 0 : pick(9);
      for (int k = 0; k < len; ++k) line += pick(3) == 0 ? u'\t' : Char(u'a' + pick(5));
      lines.push_back(MakeLine(line));
      texts.push_back(line);
      if (i + 1 < lineCount) breaks.emplace_back(kBreaks[pick(2)]);
    }
    // A CR before an empty line ended by LF would read as one CR LF.
    for (size_t i = breaks.size(); i-- > 0;)
      if (breaks[i] == u"\r" && texts[i + 1].empty() && i + 1 < breaks.size() && breaks[i + 1][0] == u'\n')
        breaks[i] = u"\r\n";
    TKivString text;
    for (size_t i = 0; i < texts.size(); ++i) text += texts[i] + (i < breaks.size() ? breaks[i] : TKivString());
    doc.Replace(0, doc.CharsCount(), text);
    doc.ClearUndo();
    view.SetCursorOffset(0);
    const bool block = pick(1) == 1;
    const TKivPoint a{pick(14), pick(lineCount - 1)}, b{pick(14), pick(lineCount - 1)};
    view.SetSelection(a, b, block);
    if (!view.SelAvail()) continue;
    TKivPoint s = view.SelectionStart(), e = view.SelectionEnd();
    if (Less(e, s)) std::swap(s, e);
    const TKivString model = block ? BlockModel(lines, s, e) : StreamModel(lines, breaks, s, e);
    ASSERT_EQ(KivToUtf8(view.SelectedText()), KivToUtf8(model))
        << (block ? "block " : "stream ") << s.X << "," << s.Y << " - " << e.X << "," << e.Y << " in "
        << ::testing::PrintToString(KivToUtf8(text)) << " lines " << doc.LinesCount();
    // The sequence over the same ends reads the same (a stream's text is read apart from it).
    ASSERT_EQ(KivToUtf8(CharSeqToString(*view.CreateScrollTextSeqAdapter(s, e, block))), KivToUtf8(model));

    // Delete, then one undo restores text and cursor.
    const TOffsetPoint cursor = view.CursorOffsetPoint();
    view.DeleteSelected();
    EXPECT_FALSE(view.SelAvail());
    // (A block wholly past the lines' ends deletes nothing.)
    if (model.find_first_not_of(u"\r\n") != TKivString::npos || doc.CharsCount() != Integer(text.size())) {
      TKivDocUndoInfoPtr old;
      doc.Internal().Undo(view.AuthorID(), nullptr, old);
      view.RestoreCursorUndoInfo(old.get());
      EXPECT_EQ(view.CursorOffsetPoint(), cursor);
    }
    EXPECT_EQ(KivToUtf8(doc.GetText(0, doc.CharsCount())), KivToUtf8(text));
    EXPECT_FALSE(doc.CanUndo());

    // A stream selection on character boundaries copied and pasted over itself changes nothing
    // but the line breaks inside it.
    if (block) continue;
    view.SetSelection(s, e, false);
    if (view.SelectionStartPoint().InCharOffset != 0 || view.SelectionEndPoint().InCharOffset != 0) continue;
    const Integer from = std::min(view.SelectionOffsetStart(), view.SelectionOffsetEnd());
    const Integer to = std::max(view.SelectionOffsetStart(), view.SelectionOffsetEnd());
    view.CopySelection();
    view.Paste();
    const TKivString expected =
        text.substr(0, size_t(from)) + view.ToDocumentLineBreaks(text.substr(size_t(from), size_t(to - from))) +
        text.substr(size_t(to));
    EXPECT_EQ(KivToUtf8(doc.GetText(0, doc.CharsCount())), KivToUtf8(expected));
    EXPECT_EQ(view.UpdatingCount(), 0);
  }
}

}  // namespace
