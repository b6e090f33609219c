#include "LayoutFakes.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

// ---- FixedMeasure ----

namespace {

// Visual placement of each code unit of a run: left-to-right, with every stretch of right-to-left
// letters reversed in place.
class FakeShapedRun : public IKivShapedRun {
 public:
  FakeShapedRun(TKivStringView AText, const std::vector<Integer>& AWidths) : FAreas(AText.size()) {
    Integer x = 0;
    size_t i = 0;
    while (i < AText.size()) {
      if (!FixedMeasure::IsRtl(AText[i])) {
        FAreas[i] = {x, x + AWidths[i]};
        x += AWidths[i++];
        continue;
      }
      size_t end = i;
      Integer stretch = 0;
      while (end < AText.size() && FixedMeasure::IsRtl(AText[end])) stretch += AWidths[end++];
      Integer right = x + stretch;
      for (; i < end; ++i) {
        FAreas[i] = {right, right - AWidths[i]};
        right -= AWidths[i];
      }
      x += stretch;
    }
    FWidth = x;
  }

  Integer Width() const override { return FWidth; }
  TKivTextArea CharArea(Integer AIndex) const override { return FAreas.at(AIndex); }
  Integer CharAt(Integer AX, bool& ATrailing) const override {
    for (size_t i = 0; i < FAreas.size(); ++i) {
      const TKivTextArea a = FAreas[i];
      if (std::min(a.Leading, a.Trailing) <= AX && AX < std::max(a.Leading, a.Trailing)) {
        ATrailing = std::abs(AX - a.Leading) > std::abs(a.Trailing - AX);
        return static_cast<Integer>(i);
      }
    }
    ATrailing = true;
    return static_cast<Integer>(FAreas.size()) - 1;
  }

 private:
  std::vector<TKivTextArea> FAreas;
  Integer FWidth = 0;
};

}  // namespace

Integer FixedMeasure::CharWidth(Char AChar, TKivFontStyles AFs, TKivFontCharset) {
  ++CharWidthCalls;
  const auto it = FOverrides.find(AChar);
  const Integer w = it != FOverrides.end() ? it->second : FWidth;
  return w + ((AFs & fsBold) ? FBoldExtra : 0);
}

TKivFontMetrics FixedMeasure::Metrics(TKivFontStyles) {
  const Integer ascent = FLineHeight * 13 / 16;
  return {FLineHeight, ascent, FLineHeight - ascent, 0, FWidth};
}

bool FixedMeasure::IsComplex(TKivStringView AText) {
  return std::any_of(AText.begin(), AText.end(), IsRtl);
}

std::unique_ptr<IKivShapedRun> FixedMeasure::Shape(TKivStringView AText, TKivFontStyles AFs,
                                                   TKivFontCharset ACharset) {
  ++ShapeCalls;
  std::vector<Integer> widths;
  for (Char c : AText) widths.push_back(CharWidth(c, AFs, ACharset));
  return std::make_unique<FakeShapedRun>(AText, widths);
}

// ---- RecordingPainter ----

namespace {
std::string RectText(const TKivRect& R) {
  return std::to_string(R.Left) + "," + std::to_string(R.Top) + "," + std::to_string(R.Right) + "," +
         std::to_string(R.Bottom);
}
}  // namespace

std::string RecordingPainter::ColorText(TKivColor AColor) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "#%06X", unsigned(AColor));
  return buf;
}

void RecordingPainter::FillRect(const TKivRect& ARect, TKivColor AColor) {
  Ops.push_back("fill(" + RectText(ARect) + "," + ColorText(AColor) + ")");
}

void RecordingPainter::DrawText(const TKivPoint& APos, TKivStringView AText, const IKivShapedRun*,
                                TKivColor AColor, TKivFontStyles AFs, TKivFontCharset ACharset,
                                const TKivRect&) {
  std::string op = "text(" + std::to_string(APos.X) + "," + std::to_string(APos.Y) + ",\"" +
                   KivToUtf8(AText) + "\"," + ColorText(AColor) + ",b" + std::to_string(AFs);
  if (ACharset != kivDefaultCharset) op += ",c" + std::to_string(ACharset);
  Ops.push_back(op + ")");
}

void RecordingPainter::SetClipRects(const std::vector<TKivRect>& ARects) {
  std::string op = "clip[";
  for (size_t i = 0; i < ARects.size(); ++i) op += (i ? ",(" : "(") + RectText(ARects[i]) + ")";
  Ops.push_back(op + "]");
}

void RecordingPainter::VLine(Integer AX, Integer AY0, Integer AY1, TKivColor AColor) {
  Ops.push_back("vline(" + std::to_string(AX) + "," + std::to_string(AY0) + "," + std::to_string(AY1) + "," +
                ColorText(AColor) + ")");
}

void RecordingPainter::HLine(Integer AX0, Integer AX1, Integer AY, TKivColor AColor) {
  Ops.push_back("hline(" + std::to_string(AX0) + "," + std::to_string(AX1) + "," + std::to_string(AY) + "," +
                ColorText(AColor) + ")");
}

void RecordingPainter::DrawImage(TKivGutterImage AKind, const TKivRect& ARect) {
  Ops.push_back("image(" + std::to_string(int(AKind)) + "," + RectText(ARect) + ")");
}

std::string RecordingPainter::Text() const {
  std::string s;
  for (const std::string& op : Ops) s += (s.empty() ? "" : " ") + op;
  return s;
}

// ---- FakeParser ----

Integer FakeParser::GetFoldEnd(Integer ALineStart) {
  const auto it = FFolds.find(ALineStart);
  ParsedTo(it == FFolds.end() ? ALineStart : it->second);
  return it == FFolds.end() ? -1 : it->second;
}

Integer FakeParser::KnownFoldEnd(Integer ALineStart) {
  ParsedTo(ALineStart);
  const auto it = FFolds.find(ALineStart);
  if (it == FFolds.end()) return -1;
  return it->second <= LastParsed ? it->second : kFoldEndUnknown;
}

Integer FakeParser::GetFoldStart(Integer ALineEnd) {
  ParsedTo(ALineEnd);
  for (const auto& [start, end] : FFolds)
    if (end == ALineEnd) return start;
  return -1;
}

Integer FakeParser::GetFoldLevel(Integer ALine) {
  Integer level = 0;
  for (const auto& [start, end] : FFolds)
    if (start < ALine && ALine <= end) ++level;
  return level;
}

Integer FakeParser::GetParentLine(Integer ALine) {
  Integer parent = -1;
  for (const auto& [start, end] : FFolds)
    if (start < ALine && ALine <= end) parent = start;  // starts ascend: the last is the innermost
  return parent;
}

void FakeParser::MarkTokens(Integer ALine, TKivTokenHandler& AHandler) {
  if (Raise) throw EKivEditParserError(u"The fake parser fails on line %d", {ALine});
  MarkedLines.push_back(ALine);
  const TKivSegment line = FDoc->GetLine(ALine);
  Integer col = 0;
  const auto emit = [&](Integer AFrom, Integer ATo, Integer AId, const TKivEditAttributes& AAttrs) {
    if (ATo > AFrom)
      AHandler.HandleToken(MakeSegment(line.Start + AFrom, ATo - AFrom, line.Source), AId, AAttrs);
  };
  const auto it = FTokens.find(ALine);
  if (it != FTokens.end()) {
    std::vector<FakeToken> tokens = it->second;
    std::sort(tokens.begin(), tokens.end(),
              [](const FakeToken& a, const FakeToken& b) { return a.Col < b.Col; });
    for (const FakeToken& t : tokens) {
      const Integer from = std::clamp(t.Col, col, line.Count);
      const Integer to = std::clamp(t.Col + t.Count, from, line.Count);
      emit(col, from, 0, TKivEditAttributes{});
      emit(from, to, t.Id, t.Attrs);
      col = to;
    }
  }
  emit(col, line.Count, 0, TKivEditAttributes{});
}

// ---- FakeViewHost ----

void FakeViewHost::Invalidate(const TKivRect& ARect) {
  Log.push_back("invalidate(" + RectText(ARect) + ")");
}

void FakeViewHost::PlaceCaret(Integer AX, Integer AY) {
  Log.push_back("caret(" + std::to_string(AX) + "," + std::to_string(AY) + ")");
}

std::string ViewErrorOf(const std::function<void()>& AFn) {
  try {
    AFn();
  } catch (const EKivEditViewError& e) {
    return e.what();
  }
  return "<no error>";
}
