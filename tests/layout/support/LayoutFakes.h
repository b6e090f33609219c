// Deterministic stand-ins for the platform and the syntax engine, shared by the layout tests:
// a fixed-width measuring surface with a toy right-to-left shaper, a painter that records what
// it is asked to draw, a parser answering from tables, and a view host that records calls.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "KivSedDocument.h"
#include "KivSedMeasure.h"
#include "KivSedPainter.h"

// Every code unit is Width() px wide unless overridden; bold adds BoldExtra px. The Hebrew
// letters U+05D0..U+05EA are complex: the shaper lays each stretch of them out right to left
// inside a left-to-right run.
class FixedMeasure : public IKivMeasureSurface {
 public:
  explicit FixedMeasure(Integer AWidth = 10, Integer ALineHeight = 16)
      : FWidth(AWidth), FLineHeight(ALineHeight) {}

  void Override(Char AChar, Integer AWidth) { FOverrides[AChar] = AWidth; }
  void SetBoldExtra(Integer AExtra) { FBoldExtra = AExtra; }
  Integer Width() const { return FWidth; }

  static bool IsRtl(Char AChar) { return AChar >= 0x05D0 && AChar <= 0x05EA; }

  Integer CharWidth(Char AChar, TKivFontStyles AFs, TKivFontCharset ACharset) override;
  Integer SpaceWidth() override { return CharWidth(u' ', 0, kivDefaultCharset); }
  TKivFontMetrics Metrics(TKivFontStyles AFs) override;
  bool IsComplex(TKivStringView AText) override;
  std::unique_ptr<IKivShapedRun> Shape(TKivStringView AText, TKivFontStyles AFs,
                                       TKivFontCharset ACharset) override;

  int ShapeCalls = 0;
  int CharWidthCalls = 0;

 private:
  Integer FWidth;
  Integer FLineHeight;
  Integer FBoldExtra = 0;
  std::map<Char, Integer> FOverrides;
};

// Records every paint call as compact text: fill(0,16,200,32,#E6FFFA), text(20,16,"cd",#000000,b0),
// clip[(10,0,30,16)], noclip, vline(80,0,16,#808080), hline(...), image(3,0,0,16,16), save, restore.
// Colours are the raw 0xBBGGRR value in hexadecimal; text with a charset adds ",c<n>".
class RecordingPainter : public IKivPaintSurface {
 public:
  void FillRect(const TKivRect& ARect, TKivColor AColor) override;
  void DrawText(const TKivPoint& APos, TKivStringView AText, const IKivShapedRun* AShaped, TKivColor AColor,
                TKivFontStyles AFs, TKivFontCharset ACharset, const TKivRect& AClip) override;
  void SetClipRects(const std::vector<TKivRect>& ARects) override;
  void ClearClip() override { Ops.push_back("noclip"); }
  void VLine(Integer AX, Integer AY0, Integer AY1, TKivColor AColor) override;
  void HLine(Integer AX0, Integer AX1, Integer AY, TKivColor AColor) override;
  bool HasImage(TKivGutterImage AKind) override { return !EmptyImages.count(AKind); }
  void DrawImage(TKivGutterImage AKind, const TKivRect& ARect) override;
  void Save() override { Ops.push_back("save"); }
  void Restore() override { Ops.push_back("restore"); }

  // The ops joined by spaces.
  std::string Text() const;
  static std::string ColorText(TKivColor AColor);

  std::vector<std::string> Ops;
  std::set<TKivGutterImage> EmptyImages;
};

// A token of the fake parser's table: columns of its line, attributes and ID.
struct FakeToken {
  Integer Col = 0;
  Integer Count = 0;
  TKivEditAttributes Attrs;
  Integer Id = 1;
};

// Reports the tokens and folds it was given. Uncovered parts of a line come as token 0 with no
// attributes, so a line is always covered from start to end; tokens are clipped to the line.
class FakeParser : public TKivEditParserBase {
 public:
  void SetTokens(Integer ALine, std::vector<FakeToken> ATokens) { FTokens[ALine] = std::move(ATokens); }
  void ClearTokens() { FTokens.clear(); }
  // A fold from line AStart to line AEnd.
  void AddFold(Integer AStart, Integer AEnd) { FFolds[AStart] = AEnd; }
  void ClearFolds() { FFolds.clear(); }

  Integer GetFoldLevel(Integer ALine) override;
  Integer GetParentLine(Integer ALine) override;
  Integer GetFoldEnd(Integer ALineStart) override;
  Integer GetFoldStart(Integer ALineEnd) override;
  bool IsFoldStart(Integer ALine) override {
    ParsedTo(ALine);
    return FFolds.count(ALine) > 0;
  }
  bool IsFoldEnd(Integer ALine) override { return GetFoldStart(ALine) >= 0; }
  // Parsing as a lazy parser goes: a query parses the text up to the line it needs (for a fold's
  // end, up to that end); LastParsed is the furthest line any query reached.
  void EnsureLineParsed(Integer ALine) override { ParsedTo(ALine); }
  Integer KnownFoldEnd(Integer ALineStart) override;
  Integer LastParsedLine() override { return LastParsed; }
  Integer LastParsed = -1;
  void MarkTokens(Integer ALine, TKivTokenHandler& AHandler) override;
  void LineChanged(Integer ALine) override { ChangedLines.push_back(ALine); }
  void LinesChangedFrom(Integer AStart) override { ChangedLines.push_back(AStart); }

  // While set, every request for tokens raises (a parser that fails mid-layout).
  bool Raise = false;
  std::vector<Integer> MarkedLines;   // lines asked for tokens, in order
  std::vector<Integer> ChangedLines;  // lines the document reported changed

 private:
  void ParsedTo(Integer ALine) { LastParsed = std::max(LastParsed, std::min(ALine, FDoc->LinesCount() - 1)); }
  std::map<Integer, std::vector<FakeToken>> FTokens;
  std::map<Integer, Integer> FFolds;
};

// The view side of a screen cache, recording what the layout asks of a window.
class FakeViewHost : public IKivScreenCacheHost, public IKivInvalidateTarget {
 public:
  explicit FakeViewHost(TKivEditDocument& ADoc) : FDoc(ADoc) {}

  TKivEditDocument& Document() override { return FDoc; }
  bool CursorBoundToChars() const override { return BoundToChars; }
  void InvalidateConversionCache(Integer AFromOffset) override {
    ConversionInvalidations.push_back(AFromOffset);
  }

  // Window calls, recorded as text ("invalidate(0,16,200,32)", "invalidateAll", "beep",
  // "caret(10,16)", "hideCaret", "scrollBars").
  void Invalidate(const TKivRect& ARect) override;
  void InvalidateAll() override { Log.push_back("invalidateAll"); }
  void Beep() { Log.push_back("beep"); }
  void PlaceCaret(Integer AX, Integer AY);
  void HideCaret() { Log.push_back("hideCaret"); }
  void UpdateScrollBars() { Log.push_back("scrollBars"); }

  bool BoundToChars = false;
  std::vector<Integer> ConversionInvalidations;
  std::vector<std::string> Log;

 private:
  TKivEditDocument& FDoc;
};

// The message of the EKivEditViewError that AFn raises, or "<no error>".
std::string ViewErrorOf(const std::function<void()>& AFn);
