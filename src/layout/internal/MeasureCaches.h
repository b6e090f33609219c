// What a screen cache measured and keeps: character widths, fonts by style and charset, and the
// measured runs of text it laid out.
//
// TMeasureCaches is the front: it knows the measuring surface (or its absence) and the width
// of a space, and it owns the width cache and the run cache. Runs are handed out shared, so a
// run evicted from the cache stays valid for whoever still draws it.
#pragma once

#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "KivSedMeasure.h"

// The mixing step of the layout's hash tables (not the foundation's HashInt).
inline Cardinal LayoutHashMix(Cardinal h) {
  h ^= h >> 14;
  h += h << 4;
  h ^= h >> 10;
  return h;
}

// ---------------------------------------------------------------------------------------------
// Character widths by (character, style, charset). No size limit and no eviction.

class TCharWidthCache {
 public:
  static constexpr Integer kSize = 1024;

  TCharWidthCache();
  TCharWidthCache(const TCharWidthCache&) = delete;
  TCharWidthCache& operator=(const TCharWidthCache&) = delete;
  ~TCharWidthCache();

  // The stored width, or -1 when not cached.
  Integer GetCharWidth(Char AChar, TKivFontCharset ACharSet, TKivFontStyles AFs) const;
  // Adds an item: callers store only after a miss.
  void SetCharWidth(Char AChar, TKivFontCharset ACharSet, TKivFontStyles AFs, Integer AWidth);
  void Clear();

  static Cardinal MakeKey(Char AChar, TKivFontCharset ACharSet, TKivFontStyles AFs) {
    return Cardinal(AChar) | (Cardinal(AFs) << 16) | (Cardinal(ACharSet) << 24);
  }

 private:
  struct TCharWidthCacheItem {
    TCharWidthCacheItem* FNext;
    Cardinal FKey;
    Integer FWidth;
  };
  std::vector<TCharWidthCacheItem*> FItems;
};

// ---------------------------------------------------------------------------------------------
// One font per (style, charset), derived from a base font. Generic over the backend's font
// type: AMakeFont builds the font of a style and charset from the base font, and the cache owns
// it; the pointer returned by GetFont is the handle and stays valid until Reset.

template <class TFont>
class TAttrsCache {
 public:
  using TMakeFont =
      std::function<std::unique_ptr<TFont>(const TFont& ABase, TKivFontStyles AFs, TKivFontCharset ACharset)>;
  static constexpr Integer FBucketCount = 64;
  static constexpr Cardinal FHashMask = 63;

  TAttrsCache(const TFont* AFont, TMakeFont AMakeFont)
      : FFont(AFont), FMakeFont(std::move(AMakeFont)), FItems(FBucketCount) {}
  TAttrsCache(const TAttrsCache&) = delete;
  TAttrsCache& operator=(const TAttrsCache&) = delete;
  ~TAttrsCache() { Reset(nullptr); }

  // The font of style AFs and charset ACharset; none while there is no base font.
  TFont* GetFont(TKivFontStyles AFs, TKivFontCharset ACharset) {
    const Cardinal code = (Cardinal(ACharset) << 16) | AFs;
    auto& head = FItems[LayoutHashMix(code + ~(code << 9)) & FHashMask];
    for (TAttrsCacheItem* item = head.get(); item; item = item->Next.get())
      if (item->Code == code) return item->FontObj.get();
    if (!FFont) return nullptr;
    auto item = std::make_unique<TAttrsCacheItem>();
    item->Code = code;
    item->FontObj = FMakeFont(*FFont, AFs, ACharset);
    item->Next = std::move(head);
    head = std::move(item);
    return head->FontObj.get();
  }

  // Frees every font and makes AFont (not owned; may be none) the base font.
  void Reset(const TFont* AFont) {
    for (auto& head : FItems)
      while (head) head = std::move(head->Next);  // unlinks one by one: no deep recursion
    FFont = AFont;
  }


 private:
  struct TAttrsCacheItem {
    Cardinal Code = 0;
    std::unique_ptr<TFont> FontObj;
    std::unique_ptr<TAttrsCacheItem> Next;
  };
  const TFont* FFont;
  TMakeFont FMakeFont;
  std::vector<std::unique_ptr<TAttrsCacheItem>> FItems;
};

// ---------------------------------------------------------------------------------------------
// Measured runs.

class TMeasureCaches;

// One run of characters drawn in one style and charset, measured at its first query: through
// the surface's shaper when the run is complex, else character by character from the width cache.
class TTextAnalysis {
 public:
  TTextAnalysis(TMeasureCaches* AScrCache, TKivStringView AChars, TKivFontCharset ACharSet,
                TKivFontStyles AFs, Cardinal AHash);
  TTextAnalysis(const TTextAnalysis&) = delete;
  TTextAnalysis& operator=(const TTextAnalysis&) = delete;

  TKivStringView Chars() const { return FChars; }
  Integer CharCount() const { return FCharCount; }
  TKivFontCharset CharSet() const { return FCharSet; }
  Integer Width();
  // The shaping result, or none for simple text (measures first).
  const IKivShapedRun* SSA();

  // Edges of character AIndex; (0, 0) outside the run.
  TKivTextArea GetCharArea(Integer AIndex);
  // The character under pixel X: left of the run the first (leading), at or right of its end the
  // last (trailing). A run of no characters answers -1.
  Integer GetCharIndex(Integer X, bool& ATrailing);
  // The pixel spans of characters [AStart, AStart + ACount) clipped to the run, one per visual
  // run; valid until the next call on this item.
  std::span<const TKivTextArea> GetRangeArea(Integer AStart, Integer ACount);

 private:
  friend class TTextDataCache;
  void Measure();
  // Measures now if still unmeasured and forgets the cache: the run answers on its own after it
  // left the cache.
  void Release();

  TMeasureCaches* FScrCache;             // none once released
  std::shared_ptr<TTextAnalysis> FNext;  // next item of the same bucket
  Cardinal FHash;
  Integer FScreenId = 0;
  TKivString FChars;
  Integer FCharCount;
  TKivFontCharset FCharSet;
  TKivFontStyles FFs;
  bool FInited = false;
  std::unique_ptr<IKivShapedRun> FSSA;
  Integer FWidth = 0;
  // Simple text: left edge of each character and the run's end (FCharCount + 1 entries).
  std::vector<Integer> FEdges;

  struct TRangeAreaCache {
    bool Valid = false;
    Integer PosStart = 0;
    Integer PosCount = 0;
    std::vector<TKivTextArea> Data;
    Integer DataCount = 0;
  } FRangeCache;
  struct TCharAreaCache {
    bool Valid = false;
    Integer Position = 0;
    TKivTextArea Data;
  } FCharCache;
  struct TCharAtCache {
    bool Valid = false;
    Integer X = 0;
    Integer Index = 0;
    bool Trailing = false;
  } FCharAtCache;
};

using TTextAnalysisRef = std::shared_ptr<TTextAnalysis>;

// The runs measured for the screens built so far, 256 buckets. Runs used by the current screen
// generation are kept; the others are evicted when they outnumber the used ones.
class TTextDataCache {
 public:
  static constexpr Integer kSize = 256;

  explicit TTextDataCache(TMeasureCaches* AScrCache);
  TTextDataCache(const TTextDataCache&) = delete;
  TTextDataCache& operator=(const TTextDataCache&) = delete;
  ~TTextDataCache();

  // Finds or creates the run; it stays valid for its holders after eviction or Clear.
  TTextAnalysisRef GetItem(TKivStringView AChars, TKivFontCharset ACharSet, TKivFontStyles AFs);
  void BeginScreen();
  void EndScreen();
  void Clear();
  Integer Count() const { return FCount; }

  static Cardinal HashOf(TKivStringView AChars, TKivFontCharset ACharSet, TKivFontStyles AFs);

 private:
  TMeasureCaches* FScrCache;
  std::vector<TTextAnalysisRef> FItems;  // bucket heads; an item's FNext links the rest
  Integer FCount = 0;
  Integer FScreenId = 1;
  Integer FScreenCount = 0;
};

// ---------------------------------------------------------------------------------------------
// The front of the caches: the measuring surface (may be none) and the width of a space.

class TMeasureCaches {
 public:
  TMeasureCaches();
  TMeasureCaches(const TMeasureCaches&) = delete;
  TMeasureCaches& operator=(const TMeasureCaches&) = delete;

  IKivMeasureSurface* Canvas() const { return FCanvas; }
  // A new surface or space width changes every measurement: both caches are cleared.
  void SetCanvas(IKivMeasureSurface* ACanvas);
  Integer SpaceWidth() const { return FSpaceCharW; }
  // At least 1: pixel-to-column conversions divide by it.
  void SetSpaceWidth(Integer AWidth);

  // The cached width, or the measured one (the space width without a surface), stored.
  Integer GetCharWidth(Char AChar, TKivFontStyles AFs, TKivFontCharset ACharSet) {
    if (AChar < 128 && ACharSet == kivDefaultCharset && AFs < 16) {
      Integer& w = FAsciiWidths[AFs][AChar];
      if (w < 0) w = MeasureCharWidth(AChar, AFs, ACharSet);
      return w;
    }
    return MeasureCharWidth(AChar, AFs, ACharSet);
  }
  TTextAnalysisRef GetTextAnalysis(TKivStringView AChars, TKivFontStyles AFs, TKivFontCharset ACharSet) {
    return FTextDataCache.GetItem(AChars, ACharSet, AFs);
  }
  void Clear();

  TTextDataCache& TextDataCache() { return FTextDataCache; }

 private:
  Integer MeasureCharWidth(Char AChar, TKivFontStyles AFs, TKivFontCharset ACharSet);

  IKivMeasureSurface* FCanvas = nullptr;
  Integer FSpaceCharW = 1;
  // A direct front of the width cache for ASCII in the default charset, by style (-1: not known).
  Integer FAsciiWidths[16][128];
  TCharWidthCache FCharCache;
  TTextDataCache FTextDataCache;
};
