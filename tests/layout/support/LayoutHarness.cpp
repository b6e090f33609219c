#include "LayoutHarness.h"

LayoutHarness::LayoutHarness(TKivStringView AText, TKivViewWrapMode AMode, Integer ARuler, Integer ATabWidth)
    : Mode(AMode), Ruler(ARuler), TabWidth(ATabWidth) {
  auto parser = std::make_unique<FakeParser>();
  Parser = parser.get();
  Doc.SetParser(std::move(parser));
  Doc.Insert(0, AText);
  CacheOwner = FreshCache();
  Cache = CacheOwner.get();
  Cache->AttachToDocument();
  Doc.AddListener(&Forwarder);
}

LayoutHarness::~LayoutHarness() {
  Doc.RemoveListener(&Forwarder);
  Cache->DetachFromDocument();
}

std::unique_ptr<TScreenCache> LayoutHarness::FreshCache() {
  auto cache = std::make_unique<TScreenCache>(&Host, Mode, TabWidth, 800, 20, Ruler, &Measure, &SpecChars);
  if (Cache) {
    cache->SetHighlightAttrs(Cache->HighlightAttrs(), Cache->HighlightUse());
    for (const TSARange& r : Cache->Highlights().GetRanges()) cache->AddHighlight(r.Start, r.Count);
    for (const auto& [start, end] : Cache->CollapsedFolds()) cache->CollapseLines(start, end);
  }
  return cache;
}

std::string LayoutHarness::RowStarts(TScreenCache& ACache) {
  std::string s;
  const Integer rows = ACache.CalkVisibleCountScroll();
  for (Integer y = 0; y < rows; ++y)
    s += (y ? "," : "") + std::to_string(ACache.WP_GetStateByXY(0, y, true).Offset);
  return s;
}

std::string LayoutHarness::RowChunks(TScreenCache& ACache, Integer AY) {
  TScreenLineInfo info;
  ACache.BuildLineChunks(ACache.WP_GetStateByXY(0, AY, true), info);
  std::string s;
  for (const TChunk& c : info.Chunks) {
    s += (s.empty() ? "\"" : " \"") + KivToUtf8(c.Chars) + "\"";
    if (c.Attrs.FontStyle) s += "b" + std::to_string(c.Attrs.FontStyle);
    if (c.AttrsWeight) s += "w" + std::to_string(c.AttrsWeight);
    if (c.Attrs.AttributesSet & asBackgroundColor) s += RecordingPainter::ColorText(c.Attrs.BackgroundColor);
    if (c.CharSet) s += "c" + std::to_string(c.CharSet);
    s += "@" + std::to_string(c.StateOffset) + "+" + std::to_string(c.StateOffsetCount);
    if (c.TextData && c.TextData->Width() < 0) s += "!";
  }
  s += " |";
  for (const TScreenOffsetItem& o : info.Offsets) {
    s += " " + std::to_string(o.VisX) + ":" + std::to_string(o.PixX) + "/" + std::to_string(o.VisW) + ":" +
         std::to_string(o.PixW);
    if (o.Flags & soTail) s += "T";
    if (o.Flags & soTab) s += "t";
    if (o.Flags & soStable) s += "s";
  }
  return s;
}

std::string LayoutHarness::Pos(Integer AOffset) {
  const TWrapParserState s = Cache->WP_GetState(AOffset);
  return "(" + std::to_string(s.X) + "," + std::to_string(s.Y) + ")";
}
