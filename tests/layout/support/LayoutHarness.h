// A document with the fake parser, a fixed-width surface, special characters and a screen cache
// that follows the document's edits: the set-up of every wrapping and screen-cache test.
#pragma once

#include <memory>
#include <string>

#include "KivSedViewParts.h"
#include "LayoutFakes.h"
#include "internal/ScreenCache.h"

// A part parent that does nothing but count resets.
struct QuietPartParent : TKivViewPartParent {
  void BeginChange() override {}
  void EndChange(bool AResetCache) override { Resets += AResetCache ? 1 : 0; }
  TKivLoadable* GetOwnerComponent() override { return nullptr; }
  int Resets = 0;
};

// Hands the document's edits to a screen cache, as the view's listener does.
class CacheEditForwarder : public TKivDocumentListener {
 public:
  explicit CacheEditForwarder(TScreenCache*& ACache) : FCache(ACache) {}
  void BeforeInsert(Integer AStart, Integer ALength) override { FCache->BeforeInsert(AStart, ALength); }
  void AfterInsert(Integer AStart, Integer ALength) override { FCache->AfterInsert(AStart, ALength); }
  void BeforeDelete(Integer AStart, Integer ALength) override { FCache->BeforeDelete(AStart, ALength); }
  void AfterDelete(Integer AStart, Integer ALength) override { FCache->AfterDelete(AStart, ALength); }

 private:
  TScreenCache*& FCache;
};

struct LayoutHarness {
  explicit LayoutHarness(TKivStringView AText = u"", TKivViewWrapMode AMode = wmWrapToRuler,
                         Integer ARuler = 80, Integer ATabWidth = 8);
  ~LayoutHarness();
  LayoutHarness(const LayoutHarness&) = delete;
  LayoutHarness& operator=(const LayoutHarness&) = delete;

  // A new screen cache with the same settings and highlights, that knows nothing yet.
  std::unique_ptr<TScreenCache> FreshCache();

  // The first offset of every row.
  std::string RowStarts(TScreenCache& ACache);
  std::string RowStarts() { return RowStarts(*Cache); }
  // Row AY's chunks as text: "hello"b1 " " "world"w1 ... with its offset items.
  std::string RowChunks(TScreenCache& ACache, Integer AY);
  std::string RowChunks(Integer AY) { return RowChunks(*Cache, AY); }
  // "(x,y)" of an offset.
  std::string Pos(Integer AOffset);

  TKivEditDocument Doc;
  FakeParser* Parser;
  FixedMeasure Measure;
  FakeViewHost Host{Doc};
  QuietPartParent PartParent;
  TKivSpecialChars SpecChars{&PartParent};
  TKivViewWrapMode Mode;
  Integer Ruler;
  Integer TabWidth;
  std::unique_ptr<TScreenCache> CacheOwner;
  TScreenCache* Cache = nullptr;
  CacheEditForwarder Forwarder{Cache};
};
