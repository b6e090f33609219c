#include "internal/MeasureCaches.h"

namespace {
constexpr const char* kModule = "MeasureCaches";
}

// ---- TCharWidthCache ----

TCharWidthCache::TCharWidthCache() : FItems(kSize, nullptr) {}

TCharWidthCache::~TCharWidthCache() {
  Clear();
}

Integer TCharWidthCache::GetCharWidth(Char AChar, TKivFontCharset ACharSet, TKivFontStyles AFs) const {
  const Cardinal key = MakeKey(AChar, ACharSet, AFs);
  for (const TCharWidthCacheItem* item = FItems[LayoutHashMix(key) & (kSize - 1)]; item; item = item->FNext)
    if (item->FKey == key) return item->FWidth;
  return -1;
}

void TCharWidthCache::SetCharWidth(Char AChar, TKivFontCharset ACharSet, TKivFontStyles AFs, Integer AWidth) {
  const Cardinal key = MakeKey(AChar, ACharSet, AFs);
  TCharWidthCacheItem*& head = FItems[LayoutHashMix(key) & (kSize - 1)];
  head = new TCharWidthCacheItem{head, key, AWidth};
}

void TCharWidthCache::Clear() {
  for (TCharWidthCacheItem*& head : FItems) {
    while (head) {
      TCharWidthCacheItem* next = head->FNext;
      delete head;
      head = next;
    }
  }
}

// ---- TTextAnalysis ----

TTextAnalysis::TTextAnalysis(TMeasureCaches* AScrCache, TKivStringView AChars, TKivFontCharset ACharSet,
                             TKivFontStyles AFs, Cardinal AHash)
    : FScrCache(AScrCache),
      FHash(AHash),
      FChars(AChars),
      FCharCount(static_cast<Integer>(AChars.size())),
      FCharSet(ACharSet),
      FFs(AFs) {}

void TTextAnalysis::Measure() {
  if (FInited) return;
  KIV_ASSERT(FScrCache != nullptr, kModule);
  IKivMeasureSurface* canvas = FScrCache->Canvas();
  if (FCharCount > 0 && canvas && canvas->IsComplex(FChars)) {
    FSSA = canvas->Shape(FChars, FFs, FCharSet);
    KIV_ASSERT(FSSA != nullptr, kModule);
    FWidth = std::max<Integer>(0, FSSA->Width());
  } else {
    // Without a surface every character measures as a space (GetCharWidth answers so).
    FEdges.resize(static_cast<size_t>(FCharCount) + 1);
    Integer x = 0;
    for (Integer i = 0; i < FCharCount; ++i) {
      FEdges[i] = x;
      x = KivSatAdd(x, std::max<Integer>(0, FScrCache->GetCharWidth(FChars[i], FFs, FCharSet)));
    }
    FEdges[FCharCount] = x;
    FWidth = x;
  }
  FInited = true;
}

void TTextAnalysis::Release() {
  if (FScrCache && !FInited) Measure();
  FScrCache = nullptr;
}

Integer TTextAnalysis::Width() {
  Measure();
  return FWidth;
}

const IKivShapedRun* TTextAnalysis::SSA() {
  Measure();
  return FSSA.get();
}

TKivTextArea TTextAnalysis::GetCharArea(Integer AIndex) {
  if (AIndex < 0 || AIndex >= FCharCount) return {};
  if (FCharCache.Valid && FCharCache.Position == AIndex) return FCharCache.Data;
  Measure();
  const TKivTextArea area = FSSA ? FSSA->CharArea(AIndex) : TKivTextArea{FEdges[AIndex], FEdges[AIndex + 1]};
  FCharCache = {true, AIndex, area};
  return area;
}

Integer TTextAnalysis::GetCharIndex(Integer X, bool& ATrailing) {
  ATrailing = false;
  if (FCharCount == 0) return -1;
  if (FCharAtCache.Valid && FCharAtCache.X == X) {
    ATrailing = FCharAtCache.Trailing;
    return FCharAtCache.Index;
  }
  Measure();
  Integer index;
  if (X < 0) {
    index = 0;
  } else if (X >= FWidth) {
    index = FCharCount - 1;
    ATrailing = true;
  } else if (FSSA) {
    index = std::clamp<Integer>(FSSA->CharAt(X, ATrailing), 0, FCharCount - 1);
  } else {
    // The first character whose right edge lies right of X; a zero-width character never holds X.
    const auto it = std::upper_bound(FEdges.begin() + 1, FEdges.end(), X);
    index = static_cast<Integer>(it - FEdges.begin()) - 1;
    ATrailing = (X - FEdges[index]) > (FEdges[index + 1] - X);
  }
  FCharAtCache = {true, X, index, ATrailing};
  return index;
}

std::span<const TKivTextArea> TTextAnalysis::GetRangeArea(Integer AStart, Integer ACount) {
  TRangeAreaCache& rc = FRangeCache;
  if (rc.Valid && rc.PosStart == AStart && rc.PosCount == ACount)
    return {rc.Data.data(), static_cast<size_t>(rc.DataCount)};
  Measure();
  if (rc.Data.empty()) rc.Data.resize(4);
  rc.DataCount = 0;
  const auto append = [&rc](TKivTextArea AArea) {
    if (rc.DataCount == static_cast<Integer>(rc.Data.size())) rc.Data.resize(rc.Data.size() * 2);
    rc.Data[rc.DataCount++] = AArea;
  };
  const int64_t end = std::min<int64_t>(int64_t(AStart) + std::max<Integer>(ACount, 0), FCharCount);
  const Integer start = std::max<Integer>(AStart, 0);
  if (AStart <= 0 && end >= FCharCount && FCharCount > 0) {
    append({0, FWidth});
  } else if (start < end) {
    if (FSSA) {
      TKivTextArea* current = nullptr;
      for (Integer i = start; i < end; ++i) {
        const TKivTextArea a = GetCharArea(i);
        if (current && current->Trailing == a.Leading) {
          current->Trailing = a.Trailing;
        } else if (current && current->Leading == a.Trailing) {
          current->Leading = a.Leading;
        } else {
          append(a);
          current = &rc.Data[rc.DataCount - 1];
        }
      }
    } else {
      append({FEdges[start], FEdges[end]});
    }
  }
  rc.Valid = true;
  rc.PosStart = AStart;
  rc.PosCount = ACount;
  return {rc.Data.data(), static_cast<size_t>(rc.DataCount)};
}

// ---- TTextDataCache ----

TTextDataCache::TTextDataCache(TMeasureCaches* AScrCache) : FScrCache(AScrCache), FItems(kSize) {}

TTextDataCache::~TTextDataCache() {
  Clear();
}

Cardinal TTextDataCache::HashOf(TKivStringView AChars, TKivFontCharset ACharSet, TKivFontStyles AFs) {
  Cardinal f = 0;
  for (Char c : AChars) f = f * 4 + c;
  return LayoutHashMix(Cardinal(AChars.size()) | (Cardinal(AFs) << 16) | (Cardinal(ACharSet) << 24) | f);
}

TTextAnalysisRef TTextDataCache::GetItem(TKivStringView AChars, TKivFontCharset ACharSet,
                                         TKivFontStyles AFs) {
  const Cardinal hash = HashOf(AChars, ACharSet, AFs);
  TTextAnalysisRef& head = FItems[hash & (kSize - 1)];
  TTextAnalysis* found = nullptr;
  TTextAnalysisRef* link = &head;
  for (; *link; link = &(*link)->FNext) {
    TTextAnalysis* item = link->get();
    if (item->FHash == hash && item->FCharSet == ACharSet && item->FFs == AFs && item->FChars == AChars) {
      found = item;
      break;
    }
  }
  if (!found) {
    auto item = std::make_shared<TTextAnalysis>(FScrCache, AChars, ACharSet, AFs, hash);
    item->FNext = std::move(head);
    head = std::move(item);
    link = &head;
    found = head.get();
    ++FCount;
  }
  if (found->FScreenId != FScreenId) {
    found->FScreenId = FScreenId;
    ++FScreenCount;
  }
  return *link;
}

void TTextDataCache::BeginScreen() {
  ++FScreenId;
  FScreenCount = 0;
}

void TTextDataCache::EndScreen() {
  if (int64_t(FScreenCount) * 2 >= FCount) return;
  for (TTextAnalysisRef& head : FItems) {
    TTextAnalysisRef* link = &head;
    while (*link) {
      if ((*link)->FScreenId < FScreenId) {
        TTextAnalysisRef dropped = std::move(*link);
        *link = std::move(dropped->FNext);
        dropped->Release();
        --FCount;
      } else {
        link = &(*link)->FNext;
      }
    }
  }
}

void TTextDataCache::Clear() {
  for (TTextAnalysisRef& head : FItems) {
    while (head) {
      TTextAnalysisRef dropped = std::move(head);
      head = std::move(dropped->FNext);
      dropped->Release();
    }
  }
  FCount = 0;
  FScreenCount = 0;
}

// ---- TMeasureCaches ----

TMeasureCaches::TMeasureCaches() : FTextDataCache(this) {
  std::fill(&FAsciiWidths[0][0], &FAsciiWidths[0][0] + 16 * 128, -1);
}

void TMeasureCaches::SetCanvas(IKivMeasureSurface* ACanvas) {
  Clear();  // runs still held elsewhere finish measuring on the surface they were made for
  FCanvas = ACanvas;
}

void TMeasureCaches::SetSpaceWidth(Integer AWidth) {
  const Integer width = std::max<Integer>(AWidth, 1);
  if (width == FSpaceCharW) return;
  Clear();
  FSpaceCharW = width;
}

Integer TMeasureCaches::MeasureCharWidth(Char AChar, TKivFontStyles AFs, TKivFontCharset ACharSet) {
  Integer width = FCharCache.GetCharWidth(AChar, ACharSet, AFs);
  if (width >= 0) return width;
  width = FCanvas ? std::max<Integer>(0, FCanvas->CharWidth(AChar, AFs, ACharSet)) : FSpaceCharW;
  FCharCache.SetCharWidth(AChar, ACharSet, AFs, width);
  return width;
}

void TMeasureCaches::Clear() {
  FTextDataCache.Clear();
  FCharCache.Clear();
  std::fill(&FAsciiWidths[0][0], &FAsciiWidths[0][0] + 16 * 128, -1);
}
