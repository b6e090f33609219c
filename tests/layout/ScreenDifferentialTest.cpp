// The whole screen cache against a new one: a cache that lived through edits, scrolls, cursor
// moves, collapsed lines and resizes must answer every conversion as a freshly attached cache
// over the same text and settings does; and the top line never moves for an edit below it.
#include <gtest/gtest.h>

#include <random>

#include "KivTestSeed.h"
#include "LayoutHarness.h"

namespace {

TKivString Snippet(std::mt19937& ARng, int AMaxLen) {
  static const char16_t* pieces[] = {u"a", u"bc",   u"def", u" ",     u" ",         u"\t", u".",
                                     u"(", u"\r\n", u"\n",  u"hijkl", u"mnopqrstu", u"W"};
  TKivString s;
  const int n = 1 + int(ARng() % AMaxLen);
  for (int i = 0; i < n; ++i) s += pieces[ARng() % std::size(pieces)];
  return s;
}

std::string O(const TOffsetPoint& A) {
  return "{" + std::to_string(A.Offset) + "," + std::to_string(A.InCharOffset) + "}";
}

// What the cache answers about rows, lines, columns and pixels, and about its screen.
std::string Answers(LayoutHarness& AH, TScreenCache& C) {
  std::string s;
  const Integer rows = C.CalkVisibleCountScroll();
  s += "rows " + std::to_string(rows) + "\n";
  for (Integer y = 0; y < rows; ++y) {
    const TScrollLineInfo info = C.GetScrollLineInfo(y);
    s += std::to_string(y) + ": line " + std::to_string(info.PhysicalLine) + " seg " +
         std::to_string(info.ContentSegment.Start) + "+" + std::to_string(info.ContentSegment.Count) +
         " props " + std::to_string(info.VisProps) + " last " + O(C.GetScrollLineOffLast(y)) + " w " +
         std::to_string(C.GetScrollLineVisWidth(y)) + " |";
    for (Integer x : {0, 1, 3, 6, 9, 14, 30}) {
      Integer left, width;
      C.ScrollPosToScreenPix({x, y}, left, width);
      s += " " + O(C.ScrollPtToOffsetPt({x, y})) + std::to_string(left) + "/" + std::to_string(width);
    }
    for (Integer px : {0, 7, 25, 61, 133}) s += " " + std::to_string(C.ScreenPixToScrollPos(px, y));
    s += "\n";
  }
  for (Integer line = 0; line < AH.Doc.LinesCount(); ++line)
    if (C.IsLineStartVisible(line))
      s += "L" + std::to_string(line) + "@" + std::to_string(C.PhysicalToScroll(line)) + "x" +
           std::to_string(C.ScreenCount(line)) + " ";
  s += "\nscreen from " + std::to_string(C.FirstLineScroll()) + " line " +
       std::to_string(C.FirstLinePhysical()) + "\n";
  for (Integer i = 0; i < C.LinesOnScreenScroll(); ++i) {
    const TScreenLineInfo& l = C.GetScreenLine(i);
    s += std::to_string(l.ScrollInfo.ContentSegment.Start) + "+" +
         std::to_string(l.ScrollInfo.ContentSegment.Count) + " p" + std::to_string(l.ScrollInfo.VisProps) +
         " xb" + std::to_string(l.XBoundStart) + "," + std::to_string(l.XBoundCount) + " w" +
         std::to_string(l.StartWordOff) + "-" + std::to_string(l.EndWordOff) + " chunks";
    for (const TChunk& c : l.Chunks) s += " \"" + KivToUtf8(c.Chars) + "\"";
    for (Integer x : {0, 2, 8, 20}) {
      Integer left, width;
      C.ScreenPosToScreenPix({x, i}, left, width, false);
      s += " " + std::to_string(left);
    }
    s += "\n";
  }
  return s;
}

}  // namespace

TEST(ScreenDifferential, CacheThroughEditsScrollsAndMovesAnswersAsAFreshOne) {
  KIV_TEST_SEED(seed);
  std::mt19937 rng(seed);
  for (int round = 0; round < 24; ++round) {
    const TKivViewWrapMode mode = TKivViewWrapMode(round % 3);
    LayoutHarness h(Snippet(rng, 30), mode, 4 + Integer(rng() % 12), 1 + Integer(rng() % 8));
    h.Measure.Override(u'W', 20);
    // Folds that nest, share ends or cross, on lines the edits keep changing.
    for (int k = 0; k < 6; ++k) {
      const Integer start = Integer(rng() % 12);
      h.Parser->AddFold(start, start + 1 + Integer(rng() % 4));
    }
    h.Cache->ResetPreserve();  // measured again with the wide glyph
    h.Cache->SetScreenSize(60 + Integer(rng() % 100), 2 + Integer(rng() % 6));
    for (int step = 0; step < 30; ++step) {
      const Integer count = h.Doc.CharsCount();
      const Integer topBefore = h.Cache->FirstLinePhysical();
      const Integer topRowBefore = h.Cache->FirstLineScroll();
      Integer editLine = -1;
      std::string what;
      switch (rng() % 10) {
        case 0:
        case 1: {
          const Integer at = Integer(rng() % (count + 1));
          editLine = h.Doc.GetLineByOffset(at);
          h.Doc.Insert(at, Snippet(rng, 4));
          what = "insert at " + std::to_string(at);
          break;
        }
        case 2: {
          if (count == 0) break;
          const Integer at = Integer(rng() % count);
          const Integer n = std::min<Integer>(1 + Integer(rng() % 6), count - at);
          editLine = h.Doc.GetLineByOffset(at);
          h.Doc.Delete(at, n);
          what = "delete " + std::to_string(at) + "+" + std::to_string(n);
          break;
        }
        case 3:
          h.Cache->Scroll(Integer(rng() % 9) - 4);
          what = "scroll";
          break;
        case 4:
          h.Cache->SetCursorPos({Integer(rng() % 20), Integer(rng() % 12)},
                                rng() % 2 ? scForward : scBackward, rng() % 4 == 0);
          what = "cursor";
          break;
        case 5:
          h.Cache->SetSelection(TKivPoint{Integer(rng() % 12), Integer(rng() % 12)},
                                TKivPoint{Integer(rng() % 12), Integer(rng() % 12)}, rng() % 3 == 0);
          what = "selection";
          break;
        case 6:
          h.Cache->SetScreenSize(40 + Integer(rng() % 120), 1 + Integer(rng() % 8));
          what = "resize";
          break;
        case 7:
          h.Cache->SetHorizScroll(Integer(rng() % 4));
          what = "hscroll";
          break;
        case 8: {
          const Integer line = Integer(rng() % h.Doc.LinesCount());
          if (rng() % 5 == 0) {
            if (rng() % 2)
              h.Cache->FoldAllIn(-1, rng() % 2 == 0);
            else
              h.Cache->UnfoldAllIn(-1, rng() % 2 == 0);
            what = "fold/unfold all";
          } else if (h.Cache->IsCollapsedFold(line)) {
            h.Cache->Unfold(line, rng() % 2 == 0);
            what = "unfold " + std::to_string(line);
          } else {
            try {
              h.Cache->Fold(line, rng() % 3 == 0);
            } catch (const EKivEditViewError&) {  // no fold starts there
            }
            what = "fold " + std::to_string(line);
          }
          break;
        }
        default:
          h.Cache->SetCursorOffset({Integer(rng() % (count + 1)), Integer(rng() % 3)});
          what = "cursor offset";
          break;
      }
      const std::string context = "round " + std::to_string(round) + " step " + std::to_string(step) +
                                  " after " + what + "\ntext: " + KivToUtf8(h.Doc.Text());
      // An edit on a line below the top one leaves the top where it was.
      if (editLine > topBefore) {
        ASSERT_EQ(h.Cache->FirstLinePhysical(), topBefore) << context;
        ASSERT_EQ(h.Cache->FirstLineScroll(), topRowBefore) << context;
      }
      // The cursor and the selection stay where the layout can show them.
      const TOffsetPoint cursor = h.Cache->CursorOffset();
      ASSERT_TRUE(h.Cache->IsOffsetVisible(cursor.Offset)) << context;
      ASSERT_EQ(h.Cache->CorrectScrollPoint(cursor, scForCursor, scBackward, true, h.Cache->SelBlockMode()),
                cursor)
          << context;
      if (step % 3 != 2) continue;
      auto fresh = h.FreshCache();
      fresh->SetScreenSize(h.Cache->ScreenWidthPixels(), h.Cache->ScreenHeightLines());
      fresh->SetHorizScroll(h.Cache->HorizScroll());
      fresh->SetFirstLineAsScroll(h.Cache->FirstLineScroll());
      ASSERT_EQ(Answers(h, *h.Cache), Answers(h, *fresh)) << context;
    }
  }
}
