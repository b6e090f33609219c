// The gutter model (bars, colours, interval, copying, scaling, the change bracket) and the view's
// hit tests of client points: scroll positions, gutter bars.
#include <algorithm>
#include <cmath>

#include "KivSedGutter.h"
#include "KivSedViewCore.h"
#include "internal/ScreenCache.h"

// ---- bar ----

template <class T>
void TKivGutterBar::Change(T& AField, T AValue) {
  if (AField == AValue) return;
  TKivGutter& gutter = FParent->Gutter();
  gutter.BeginChange();
  AField = AValue;
  gutter.EndChange();
}

void TKivGutterBar::SetKind(TKivGutterBarKind AValue) {
  Change(FKind, AValue);
}

Integer TKivGutterBar::Width() const {
  if (FKind != gbLineNumberBar) return FWidth;
  return std::max(FWidth, FParent->Gutter().LineNumbersWidth());
}

void TKivGutterBar::SetWidth(Integer AValue) {
  if (AValue <= 0) throw EKivEditViewError(u"Gutter bar width should be greater than zero");
  Change(FWidth, AValue);
}

void TKivGutterBar::SetLeftPadding(Integer AValue) {
  if (AValue < 0) throw EKivEditViewError(u"Gutter bar padding should be greater or equal to zero");
  Change(FLeftPadding, AValue);
}

void TKivGutterBar::SetRightPadding(Integer AValue) {
  if (AValue < 0) throw EKivEditViewError(u"Gutter bar padding should be greater or equal to zero");
  Change(FRightPadding, AValue);
}

void TKivGutterBar::SetVisible(bool AValue) {
  Change(FVisible, AValue);
}

Integer TKivGutterBar::FullWidth() const {
  return KivSatAdd(KivSatAdd(Width(), FLeftPadding), FRightPadding);
}

Integer TKivGutterBar::Index() const {
  const auto& items = FParent->FItems;
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i].get() == this) return static_cast<Integer>(i);
  return -1;
}

void TKivGutterBar::Assign(const TKivGutterBar& ASource) {
  if (&ASource == this) return;
  const Integer width = ASource.Width();
  if (width == FWidth && ASource.FLeftPadding == FLeftPadding && ASource.FRightPadding == FRightPadding &&
      ASource.FKind == FKind && ASource.FVisible == FVisible)
    return;
  TKivGutter& gutter = FParent->Gutter();
  gutter.BeginChange();
  FWidth = std::max<Integer>(width, 1);
  FLeftPadding = std::max<Integer>(ASource.FLeftPadding, 0);
  FRightPadding = std::max<Integer>(ASource.FRightPadding, 0);
  FKind = ASource.FKind;
  FVisible = ASource.FVisible;
  gutter.EndChange();
}

// ---- bars ----

TKivGutterBar& TKivGutterBars::Items(Integer AIndex) const {
  if (AIndex < 0 || AIndex >= Count()) throw EInvalidArgument(u"List index out of bounds (%d)", {AIndex});
  return *FItems[static_cast<size_t>(AIndex)];
}

std::unique_ptr<TKivGutterBar> TKivGutterBars::Take(TKivGutterBar& AItem) {
  const auto it = std::find_if(FItems.begin(), FItems.end(), [&](const auto& p) { return p.get() == &AItem; });
  std::unique_ptr<TKivGutterBar> item = std::move(*it);
  FItems.erase(it);
  return item;
}

TKivGutterBar& TKivGutterBars::AddItem(TKivGutterBar* AItem, Integer AIndex) {
  FGutter->BeginChange();
  TKivGutterBar* added;
  try {
    std::unique_ptr<TKivGutterBar> item;
    if (!AItem) {
      item.reset(new TKivGutterBar(*this));
    } else {
      TKivGutterBars& from = *AItem->FParent;
      if (&from != this) from.FGutter->BeginChange();
      item = from.Take(*AItem);
      if (&from != this) from.FGutter->EndChange();
      item->FParent = this;
    }
    added = item.get();
    const Integer count = Count();
    const size_t at = static_cast<size_t>(AIndex < 0 || AIndex > count ? count : AIndex);
    FItems.insert(FItems.begin() + static_cast<std::ptrdiff_t>(at), std::move(item));
  } catch (...) {
    FGutter->EndChange();
    throw;
  }
  FGutter->EndChange();
  return *added;
}

void TKivGutterBars::Delete(Integer AIndex) {
  Items(AIndex);
  FGutter->BeginChange();
  FItems.erase(FItems.begin() + AIndex);
  FGutter->EndChange();
}

void TKivGutterBars::Clear() {
  if (FItems.empty()) return;
  FGutter->BeginChange();
  FItems.clear();
  FGutter->EndChange();
}

void TKivGutterBars::Assign(const TKivGutterBars& ASource) {
  if (&ASource == this) return;
  // Built aside first: a failure leaves the bars as they were.
  std::vector<std::unique_ptr<TKivGutterBar>> items;
  for (const auto& src : ASource.FItems) {
    auto bar = std::unique_ptr<TKivGutterBar>(new TKivGutterBar(*this));
    bar->FWidth = std::max<Integer>(src->Width(), 1);
    bar->FLeftPadding = src->FLeftPadding;
    bar->FRightPadding = src->FRightPadding;
    bar->FKind = src->FKind;
    bar->FVisible = src->FVisible;
    items.push_back(std::move(bar));
  }
  FGutter->BeginChange();
  FItems = std::move(items);
  FGutter->EndChange();
}

void TKivGutterBars::SetDefaults() {
  FGutter->BeginChange();
  try {
    FItems.clear();
    for (const TKivGutterBarKind kind : {gbBreakpointBar, gbBookmarkBar, gbLineNumberBar, gbFoldBar}) {
      auto bar = std::unique_ptr<TKivGutterBar>(new TKivGutterBar(*this));
      bar->FKind = kind;
      FItems.push_back(std::move(bar));
    }
  } catch (...) {
    FGutter->EndChange();
    throw;
  }
  FGutter->EndChange();
}

bool TKivGutterBars::IsDefault() const {
  static constexpr TKivGutterBarKind kinds[] = {gbBreakpointBar, gbBookmarkBar, gbLineNumberBar, gbFoldBar};
  if (FItems.size() != std::size(kinds)) return false;
  for (size_t i = 0; i < FItems.size(); ++i) {
    const TKivGutterBar& b = *FItems[i];
    if (b.Kind() != kinds[i] || b.Width() != 14 || b.LeftPadding() != 2 || b.RightPadding() != 2 || !b.Visible())
      return false;
  }
  return true;
}

// ---- gutter ----

TKivGutter::TKivGutter(TKivEditViewCore* AOwner) : FParent(AOwner), FBars(std::make_unique<TKivGutterBars>(*this)) {
  FBars->SetDefaults();
  FInConstructor = false;
}

TKivGutter::~TKivGutter() = default;

void TKivGutter::BeginChange() {
  if (FInConstructor) return;
  if (FChangeDepth++ == 0 && FParent) FParent->BeginSettingsChange();
}

void TKivGutter::EndChange() {
  if (FInConstructor) return;
  if (--FChangeDepth > 0 || !FParent) return;
  FParent->AddStatusChanges(scGutterSettings);
  FParent->EndSettingsChange(false);
}

void TKivGutter::SetBars(const TKivGutterBars& AValue) {
  FBars->Assign(AValue);
}

void TKivGutter::Assign(const TKivGutter& ASource) {
  if (&ASource == this) return;
  BeginChange();
  try {
    FBars->Assign(*ASource.FBars);
    FLinesBarBg = ASource.FLinesBarBg;
    FLinesBarTextColor = ASource.FLinesBarTextColor;
    FLineNumberingInterval = ASource.FLineNumberingInterval;
    FFoldsBarBg = ASource.FFoldsBarBg;
    FFoldsBarLineColor = ASource.FFoldsBarLineColor;
    FBookmarksBarBg = ASource.FBookmarksBarBg;
  } catch (...) {
    EndChange();
    throw;
  }
  EndChange();
}

Integer TKivGutter::GetWidth() const {
  Integer width = 0;
  for (Integer i = 0; i < FBars->Count(); ++i) {
    const TKivGutterBar& bar = FBars->Items(i);
    if (bar.Visible()) width = KivSatAdd(width, bar.FullWidth());
  }
  return width;
}

void TKivGutter::Scale(Integer AM, Integer AD) {
  if (AD <= 0) throw EInvalidArgument(u"Bad scale: %d / %d", {AM, AD});
  const auto scale = [&](Integer AValue) {
    return KivSaturate(std::llround(static_cast<double>(AValue) * AM / AD));
  };
  BeginChange();
  for (Integer i = 0; i < FBars->Count(); ++i) {
    TKivGutterBar& bar = FBars->Items(i);
    bar.FWidth = std::max<Integer>(scale(bar.FWidth), 1);
    bar.FLeftPadding = std::max<Integer>(scale(bar.FLeftPadding), 0);
    bar.FRightPadding = std::max<Integer>(scale(bar.FRightPadding), 0);
  }
  EndChange();
}

TKivGutterPaintSettings TKivGutter::PaintSettings() const {
  TKivGutterPaintSettings s;
  s.Bars.clear();
  for (Integer i = 0; i < FBars->Count(); ++i) {
    const TKivGutterBar& bar = FBars->Items(i);
    s.Bars.push_back({bar.Kind(), bar.Width(), bar.LeftPadding(), bar.RightPadding(), bar.Visible(), i});
  }
  s.BookmarksBarBg = FBookmarksBarBg;
  s.BookmarksBarTextColor = FBookmarksBarTextColor;
  s.LinesBarTextColor = FLinesBarTextColor;
  s.LinesBarBg = FLinesBarBg;
  s.FoldsBarLineColor = FFoldsBarLineColor;
  s.FoldsBarBg = FFoldsBarBg;
  s.CustomBarBg = FCustomBarBg;
  s.LineNumberingInterval = FLineNumberingInterval;
  s.PaintWrapsOnLineNumberBar = (FSettings & gsPaintWrapsOnLineNumberBar) != 0;
  return s;
}

Integer TKivGutter::LineNumbersWidth() const {
  return FParent ? FParent->LineNumbersTextWidth() : -1;
}

// ---- the view's side ----

Integer TKivGutterMouseHooks::GutterWidth(const TKivEditViewCore& AView) const {
  return AView.Gutter().GetWidth();
}

void TKivGutterMouseHooks::StopAutoScroll(TKivEditViewCore& AView) {
  AView.StopAutoScroll();
}

void TKivEditViewCore::SetGutterBarsEmpty(bool AValue) {
  // Read with the stored properties: applied when loading ends (the bars may come later).
  if (IsLoading()) {
    FGutterBarsEmptyOnLoad = AValue;
    return;
  }
  if (AValue) FGutter->Bars().Clear();
}

Integer TKivEditViewCore::LineNumbersTextWidth() {
  if (FHostReleased || !FHost.HasWindow()) return -1;
  IKivMeasureSurface* surface = FHost.MeasureSurface();
  if (!surface) return -1;
  Integer lines = WorkingDocument().LinesCount();
  Integer digits = 1;
  for (Integer n = lines; n >= 10; n /= 10) ++digits;
  if (digits != FLineNumDigits || surface != FLineNumSurface || !(FFont == FLineNumFont)) {
    // The line count's own digits: figures are as wide as each other in nearly every font, so
    // the width holds until the count gains or loses a digit.
    Integer width = 0;
    for (const char c : std::to_string(lines)) width = KivSatAdd(width, surface->CharWidth(Char(c), 0, kivDefaultCharset));
    FLineNumDigits = digits;
    FLineNumSurface = surface;
    FLineNumFont = FFont;
    FLineNumWidth = width;
  }
  return FLineNumWidth;
}

TKivPoint TKivEditViewCore::ClientToScrollPos(const TKivPoint& AClient) {
  TKivPoint p;
  bool trailing = false;
  ClientToScrollPos(AClient, p, trailing);
  return p;
}

TKivEditScreenPart TKivEditViewCore::ClientToScrollPos(const TKivPoint& AClient, TKivPoint& P, bool& ATrailing) {
  const TKivRect area = FHost.TextAreaRect();
  const Integer lineHeight = std::max<Integer>(FLineHeight, 1);
  const Integer row = (AClient.Y - area.Top) / lineHeight;
  const Integer rows = FScreenCache->LinesOnScreenScroll();
  const Integer clamped = std::clamp<Integer>(row, 0, std::max<Integer>(rows - 1, 0));
  const Integer x = AClient.X - area.Left;
  const Integer pixel = std::max<Integer>(0, KivSatAdd(x, -FGutterWidth));
  ATrailing = false;
  const Integer col = FScreenCache->ScreenPixToScreenPosNew(pixel, clamped, ATrailing);
  P = FScreenCache->ScreenPosToScroll({col, clamped});
  const bool inGutter = x < FGutterWidth;
  if (row < rows) return inGutter ? spGutterText : spText;
  return inGutter ? spGutterPastText : spPastText;
}

TKivGutterBar* TKivEditViewCore::GutterBarAt(const TKivPoint& AClient, Integer& AScreenLine) {
  AScreenLine = -1;
  const TKivRect area = FHost.TextAreaRect();
  const Integer x = AClient.X - area.Left;
  if (x < 0) return nullptr;
  TKivPoint p;
  bool trailing;
  if (ClientToScrollPos(AClient, p, trailing) != spGutterText) return nullptr;
  const Integer lineHeight = std::max<Integer>(FLineHeight, 1);
  const Integer rows = FScreenCache->LinesOnScreenScroll();
  AScreenLine = std::clamp<Integer>((AClient.Y - area.Top) / lineHeight, 0, std::max<Integer>(rows - 1, 0));
  TKivGutterBar* found = nullptr;
  Integer sum = 0;
  for (Integer i = 0; i < FGutter->Bars().Count() && x >= sum; ++i) {
    TKivGutterBar& bar = FGutter->Bars()[i];
    if (!bar.Visible()) continue;
    found = &bar;
    sum = KivSatAdd(sum, bar.FullWidth());
  }
  if (!found) AScreenLine = -1;
  return found;
}

bool TKivEditViewCore::ClientToGutter(const TKivPoint& AClient, Integer& AScrollLine, TKivGutterBar*& ABarHere) {
  Integer screenLine;
  ABarHere = GutterBarAt(AClient, screenLine);
  AScrollLine = ABarHere ? FScreenCache->ScreenToScroll(screenLine, false) : -1;
  return ABarHere != nullptr;
}
