// The gutter of a view: its bars (kind, width, paddings, visibility), colours, line-numbering
// interval and settings. The view owns one gutter; every change runs one settings bracket of the
// view (a full repaint, the gutter's width measured again). The painter's gutter settings and
// the view's gutter width both come from here.
#pragma once

#include <memory>
#include <vector>

#include "KivSedPainter.h"
#include "KivSedViewHooks.h"

class TKivEditViewCore;
class TKivGutter;
class TKivGutterBars;

enum TKivGutterSetting : uint8_t { gsPaintWrapsOnLineNumberBar = 1 << 0 };
using TKivGutterSettings = uint8_t;

// One bar of the gutter.
class TKivGutterBar {
 public:
  TKivGutterBar(const TKivGutterBar&) = delete;
  TKivGutterBar& operator=(const TKivGutterBar&) = delete;
  virtual ~TKivGutterBar() = default;

  TKivGutterBarKind Kind() const { return FKind; }
  void SetKind(TKivGutterBarKind AValue);
  // The effective width: a line-number bar of a view with a window is at least as wide as the
  // decimal text of the document's line count in the view's font.
  Integer Width() const;
  // The width as set (at least 1): "Gutter bar width should be greater than zero".
  Integer StoredWidth() const { return FWidth; }
  void SetWidth(Integer AValue);
  // At least 0: "Gutter bar padding should be greater or equal to zero".
  Integer LeftPadding() const { return FLeftPadding; }
  void SetLeftPadding(Integer AValue);
  Integer RightPadding() const { return FRightPadding; }
  void SetRightPadding(Integer AValue);
  bool Visible() const { return FVisible; }
  void SetVisible(bool AValue);
  // Effective width plus both paddings.
  Integer FullWidth() const;
  // The place in its collection.
  Integer Index() const;
  TKivGutterBars& Collection() const { return *FParent; }
  // Copies the source's effective width, paddings, kind and visibility.
  virtual void Assign(const TKivGutterBar& ASource);

 protected:
  friend class TKivGutterBars;
  friend class TKivGutter;
  explicit TKivGutterBar(TKivGutterBars& AParent) : FParent(&AParent) {}

 private:
  template <class T>
  void Change(T& AField, T AValue);

  TKivGutterBars* FParent;
  Integer FWidth = 14;
  TKivGutterBarKind FKind = gbCustom;
  bool FVisible = true;
  Integer FLeftPadding = 2;
  Integer FRightPadding = 2;
};

// The gutter's bars in order.
class TKivGutterBars {
 public:
  explicit TKivGutterBars(TKivGutter& AGutter) : FGutter(&AGutter) {}
  TKivGutterBars(const TKivGutterBars&) = delete;
  TKivGutterBars& operator=(const TKivGutterBars&) = delete;

  Integer Count() const { return static_cast<Integer>(FItems.size()); }
  // "List index out of bounds (%d)" outside [0, Count).
  TKivGutterBar& Items(Integer AIndex) const;
  TKivGutterBar& operator[](Integer AIndex) const { return Items(AIndex); }
  TKivGutterBar& Add() { return AddItem(nullptr, -1); }
  // AItem (none: a new bar) joins this collection, leaving its own, and moves to AIndex (the
  // last place when AIndex < 0 or past the end).
  TKivGutterBar& AddItem(TKivGutterBar* AItem, Integer AIndex);
  TKivGutterBar& Insert(Integer AIndex) { return AddItem(nullptr, AIndex); }
  void Delete(Integer AIndex);
  void Clear();
  // The same bars (kinds, effective widths, paddings, visibility) as ASource.
  void Assign(const TKivGutterBars& ASource);
  // The four bars of a new gutter: breakpoints, bookmarks, line numbers, folds.
  void SetDefaults();
  // Four bars as SetDefaults makes them: a stored form needs no bars then.
  bool IsDefault() const;
  TKivGutter& Gutter() const { return *FGutter; }

 private:
  friend class TKivGutterBar;
  std::unique_ptr<TKivGutterBar> Take(TKivGutterBar& AItem);

  TKivGutter* FGutter;
  std::vector<std::unique_ptr<TKivGutterBar>> FItems;
};

// The gutter: bars, colours, the interval of written line numbers and the settings.
class TKivGutter {
 public:
  // A gutter of a view (it reports its changes there), or a free one (AOwner none) that holds
  // values to assign.
  explicit TKivGutter(TKivEditViewCore* AOwner = nullptr);
  TKivGutter(const TKivGutter&) = delete;
  TKivGutter& operator=(const TKivGutter&) = delete;
  ~TKivGutter();

  TKivEditViewCore* Owner() const { return FParent; }
  TKivGutterBars& Bars() const { return *FBars; }
  void SetBars(const TKivGutterBars& AValue);

  TKivColor BookmarksBarBg() const { return FBookmarksBarBg; }
  void SetBookmarksBarBg(TKivColor AValue) { Change(FBookmarksBarBg, AValue); }
  TKivColor BookmarksBarTextColor() const { return FBookmarksBarTextColor; }
  void SetBookmarksBarTextColor(TKivColor AValue) { Change(FBookmarksBarTextColor, AValue); }
  TKivColor LinesBarBg() const { return FLinesBarBg; }
  void SetLinesBarBg(TKivColor AValue) { Change(FLinesBarBg, AValue); }
  TKivColor LinesBarTextColor() const { return FLinesBarTextColor; }
  void SetLinesBarTextColor(TKivColor AValue) { Change(FLinesBarTextColor, AValue); }
  TKivColor FoldsBarLineColor() const { return FFoldsBarLineColor; }
  void SetFoldsBarLineColor(TKivColor AValue) { Change(FFoldsBarLineColor, AValue); }
  TKivColor FoldsBarBg() const { return FFoldsBarBg; }
  void SetFoldsBarBg(TKivColor AValue) { Change(FFoldsBarBg, AValue); }
  TKivColor CustomBarBg() const { return FCustomBarBg; }
  void SetCustomBarBg(TKivColor AValue) { Change(FCustomBarBg, AValue); }
  // Every n-th line number is written (and line 1); values below 1 count as 1 when painted.
  Integer LineNumberingInterval() const { return FLineNumberingInterval; }
  void SetLineNumberingInterval(Integer AValue) { Change(FLineNumberingInterval, AValue); }
  TKivGutterSettings Settings() const { return FSettings; }
  void SetSettings(TKivGutterSettings AValue) { Change(FSettings, AValue); }

  // Copies the colours but the bookmarks' text and custom bars' colours, the interval and the
  // bars (a widget copies its images alongside); WrapLineBarImg, BookmarksBarTextColor, CustomBarBg and Settings stay,
  // and so does the owner. In one change bracket.
  void Assign(const TKivGutter& ASource);
  // The sum of the full widths of the visible bars.
  Integer GetWidth() const;
  // Each bar's width and paddings times AM / AD, rounded (AD > 0), in one change bracket.
  void Scale(Integer AM, Integer AD);
  // The gutter as the painter takes it (effective widths; Tag = the bar's index).
  TKivGutterPaintSettings PaintSettings() const;

  // The change bracket of the owner (nothing for a free gutter or while it is built); nested
  // brackets report once.
  void BeginChange();
  void EndChange();

 private:
  friend class TKivGutterBar;
  template <class T>
  void Change(T& AField, T AValue) {
    if (AField == AValue) return;
    BeginChange();
    AField = AValue;
    EndChange();
  }
  // Pixels of the line count's decimal text in the owner's font, -1 without a window.
  Integer LineNumbersWidth() const;

  bool FInConstructor = true;
  TKivEditViewCore* FParent;
  std::unique_ptr<TKivGutterBars> FBars;
  TKivColor FBookmarksBarBg = 14215660;
  TKivColor FBookmarksBarTextColor = 0;
  TKivColor FLinesBarBg = 16053492;
  TKivColor FLinesBarTextColor = 13408665;
  TKivColor FFoldsBarLineColor = 13408665;
  TKivColor FFoldsBarBg = 16053492;
  TKivColor FCustomBarBg = 16053492;
  Integer FLineNumberingInterval = 10;
  TKivGutterSettings FSettings = gsPaintWrapsOnLineNumberBar;
  Integer FChangeDepth = 0;
};

// The mouse hooks of a view with a gutter: its width is the gutter's, and auto-scrolling stops
// with the focus. A widget installs them (or hooks deriving from them).
class TKivGutterMouseHooks : public IKivViewMouseHooks {
 public:
  Integer GutterWidth(const TKivEditViewCore& AView) const override;
  void StopAutoScroll(TKivEditViewCore& AView) override;
};
