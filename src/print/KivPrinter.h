// The printer component: page geometry in millimetres or inches, margins with their minimums,
// header and footer templates with fields, listeners, pagination through a renderer and pages
// painted onto a printer, a preview canvas or a one-page file.
//
// Coordinates are those of the whole sheet: the page is the paper, the minimum margins are the
// parts of the sheet the device cannot print on, and margins are measured from the paper edge.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "KivPrintDevice.h"

enum TKivUnits : uint8_t { unPoints, unInches, unMillimeters, unAuto };
// unInches, unMillimeters or unAuto (the user's measurement system).
using TKivMeasureUnits = TKivUnits;

enum TKivPrintOperationRange : uint8_t { orSelection, orAll };

enum TKivPrinterChangeKind : uint8_t { pcUnits, pcPrintableArea, pcPrinterSettings };
using TKivPrinterChangeKinds = uint8_t;  // a set of TKivPrinterChangeKind bits
inline constexpr TKivPrinterChangeKinds KivPrinterChange(TKivPrinterChangeKind AKind) {
  return TKivPrinterChangeKinds(1u << AKind);
}

// The geometry of the current printer in one unit.
struct TKivPrinterInfo {
  TKivPrinterOrientation Orientation = poPortrait;
  double PageWidthFullUnits = 0;
  double PageHeightFullUnits = 0;
  TKivDoubleRect MinMarginsUnits;
  Integer PageWidthFullPixels = 0;
  Integer PageHeightFullPixels = 0;
  TKivRect MinMarginsPixels;
  double PixPerUnitX = 0;
  double PixPerUnitY = 0;
  TKivMeasureUnits SystemUnits = unMillimeters;
};

// The user's locale as the printer needs it: the measurement system and the short date and time
// formats. The default reads the process's ICU default locale.
class IKivPrintLocale {
 public:
  virtual ~IKivPrintLocale() = default;
  // Whether the measurement system is metric (also when it cannot be read).
  virtual bool Metric() const = 0;
  virtual TKivString ShortDate(std::chrono::system_clock::time_point ATime) const = 0;
  virtual TKivString ShortTime(std::chrono::system_clock::time_point ATime) const = 0;
};
IKivPrintLocale& KivDefaultPrintLocale();

// Stored properties: name and value text, in the order written.
using TKivStoredProps = TKivNameValues;

class TKivPrinter;
class TKivPrinterBase;

// Told after every change of a printer (geometry, margins, templates, pagination).
class TKivPrinterListener {
 public:
  virtual ~TKivPrinterListener() = default;
  virtual void Refresh(TKivPrinterChangeKinds AChanges) = 0;
  // The printer is being destroyed: forget it (it may still be asked to finalize its pages).
  virtual void PrinterDestroying(TKivPrinter& APrinter) { (void)APrinter; }
};

// Paginates content for the area between margins, header and footer and draws its pages.
class TKivPrintRendererBase {
 public:
  virtual ~TKivPrintRendererBase() = default;
  // Paginates for a content area of APageWidth x APageHeight device pixels; ADevice measures.
  virtual void PreparePages(Integer APageWidth, Integer APageHeight, IKivPrintDevice& ADevice) = 0;
  virtual void FinalizePages() = 0;
  virtual Integer GetPagesCount(TKivPrintOperationRange ARange) = 0;
  // Draws page ANum (from 0) of ARange with its top-left corner at APoint (page pixels).
  virtual void DrawPage(TKivPrintOperationRange ARange, Integer ANum, const TKivPoint& APoint,
                        IKivPrintCanvas& ACanvas) = 0;
};

// The margins of a printer, in its RealUnits.
class TKivPageMargins {
 public:
  // Raises "Not allowed to create margins manually" without a printer.
  explicit TKivPageMargins(TKivPrinterBase* APrinter);

  double Left() const { return FLeft; }
  double Top() const { return FTop; }
  double Right() const { return FRight; }
  double Bottom() const { return FBottom; }
  // One side, through SetMarginRect with the other three as they are.
  void SetLeft(double AValue) { SetSide(&TKivDoubleRect::Left, AValue); }
  void SetTop(double AValue) { SetSide(&TKivDoubleRect::Top, AValue); }
  void SetRight(double AValue) { SetSide(&TKivDoubleRect::Right, AValue); }
  void SetBottom(double AValue) { SetSide(&TKivDoubleRect::Bottom, AValue); }
  TKivDoubleRect MarginRect() const { return {FLeft, FTop, FRight, FBottom}; }
  // Raises each side to its minimum; "Bad margins rectangle given" when no page area is left.
  void SetMarginRect(const TKivDoubleRect& AValue);
  // The default of each side for the printer's current geometry.
  TKivDoubleRect DefaultRect() const;

  // The stored form: the sides that differ from the defaults, and "MarginsZero" naming the
  // zero sides. Reading sets sides as stored, unchecked (the next set raises them again).
  void WriteProps(TKivStoredProps& AProps) const;
  void ReadProps(const TKivStoredProps& AProps);

 private:
  friend class TKivPrinterBase;
  friend class TKivPrinter;
  void SetSide(double TKivDoubleRect::*ASide, double AValue);
  TKivPrinterBase* FPrinter;
  double FLeft = 0, FTop = 0, FBottom = 0, FRight = 0;
};

// A header or footer: a rich-text template with fields, and the copy filled in for one page.
class TKivPageTemplateBlock {
 public:
  // Raises "Not allowed to create margins manually" without a printer.
  explicit TKivPageTemplateBlock(TKivPrinter* APrinter);

  bool Visible() const { return FVisible; }
  void SetVisible(bool AValue);
  // The template's lines.
  std::vector<TKivString> Template() const;
  void SetTemplate(const std::vector<TKivString>& ALines);
  // The template as edited (rich), e.g. for a dialog to format.
  IKivRichText& TemplateText() { return *FSaveRichEdit; }
  // Copies rich lines in (signals a change) or out.
  void AssignLines(const IKivRichText& AValue);
  void AssignLinesTo(IKivRichText& AValue) const;
  void Assign(const TKivPageTemplateBlock& ASource);
  // Call after editing TemplateText() directly.
  void TemplateChanged();

  // "StringsData" (the rich stream, only when the text is not empty) and "Visible" (when false).
  void WriteProps(TKivStoredProps& AProps) const;
  void ReadProps(const TKivStoredProps& AProps);

  // The template filled for the current fields (used to measure and draw).
  IKivRichText& Filled() { return *FRichEdit; }
  void Fill(const TKivNameValues& AVars);
  bool IsEmpty() const;

 private:
  friend class TKivPrinter;
  void BlockChanged();

  TKivPrinter* FPrinter;
  std::unique_ptr<IKivRichText> FSaveRichEdit;
  std::unique_ptr<IKivRichText> FRichEdit;
  bool FVisible = true;
};

// What a dialog layer offers the printer. The Qt layer registers one; without it the dialog
// calls raise "Print dialogs are not available".
struct TKivPrintDlgResult {
  enum TKind : uint8_t { prAll, prSelection, prPages } Kind = prAll;
  Integer FromPage = 1;  // from 1
  Integer ToPage = 1;
  // prPages: the pages chosen as a list of ranges (first and last page, from 1), printed in this
  // order into one document; empty: FromPage to ToPage.
  std::vector<std::pair<Integer, Integer>> Ranges;
};
class TKivPrinterHelper;
class IKivPrintDialogs {
 public:
  virtual ~IKivPrintDialogs() = default;
  // Edits AMargins (in the printer's RealUnits) and the template copies; true when confirmed.
  virtual bool PageSetup(TKivPrinter& APrinter, TKivDoubleRect& AMargins, TKivPageTemplateBlock& AHeader,
                         TKivPageTemplateBlock& AFooter) = 0;
  // APagesCount pages; ASelection whether a selection can be printed.
  virtual bool Print(TKivPrinter& APrinter, Integer APagesCount, bool ASelection, TKivPrintDlgResult& AResult) = 0;
  // Edits the settings; true when confirmed.
  virtual bool PrintSetup(TKivPrinter& APrinter, TKivPrinterSettings& ASettings) = 0;
  virtual void Preview(TKivPrinterHelper& AHelper) = 0;
};
// Registers the dialog layer (not owned; null removes it).
void KivSetPrintDialogs(IKivPrintDialogs* ADialogs);
IKivPrintDialogs* KivPrintDialogs();

// Makes the device of a new printer; the Qt layer registers one for the system printer.
using TKivPrintDeviceFactory = std::function<std::unique_ptr<IKivPrintDevice>()>;
void KivSetPrintDeviceFactory(TKivPrintDeviceFactory AFactory);

// The geometry, units and listeners of a printer.
class TKivPrinterBase {
 public:
  // ADevice null: the registered factory's device, or none (the default geometry, not usable).
  explicit TKivPrinterBase(std::unique_ptr<IKivPrintDevice> ADevice = nullptr,
                           IKivPrintLocale* ALocale = nullptr);
  TKivPrinterBase(const TKivPrinterBase&) = delete;
  TKivPrinterBase& operator=(const TKivPrinterBase&) = delete;
  virtual ~TKivPrinterBase();

  TKivPrinterInfo GetDefaultPrinterInfo(TKivMeasureUnits AUnits) const;
  // Raises "Invalid (or not set) default system printer" without a usable device.
  TKivPrinterInfo GetPrinterInfo(TKivMeasureUnits AUnits) const;
  // The device, or null.
  IKivPrintDevice* GetSysPrinter() const { return FSysPrinter.get(); }
  bool HasUsablePrinter() const { return FSysPrinter && FSysPrinter->Usable(); }

  TKivMeasureUnits Units() const { return FUnits; }
  void SetUnits(TKivMeasureUnits AValue);
  TKivMeasureUnits RealUnits() const { return FRealUnits; }
  const TKivString& Title() const { return FTitle; }
  void SetTitle(const TKivString& AValue);
  std::function<void()> OnChange;

  double PageWidthFullUnits() const { return FPrinterInfo.PageWidthFullUnits; }
  double PageHeightFullUnits() const { return FPrinterInfo.PageHeightFullUnits; }
  double PageWidthPrintableUnits() const { return FPrintableWidthUnits; }
  double PageHeightPrintableUnits() const { return FPrintableHeightUnits; }
  TKivDoubleRect MinMarginsUnits() const { return FPrinterInfo.MinMarginsUnits; }
  Integer PageWidthFullPixels() const { return FPrinterInfo.PageWidthFullPixels; }
  Integer PageHeightFullPixels() const { return FPrinterInfo.PageHeightFullPixels; }
  Integer PageWidthPrintablePixels() const { return FPrintableWidthPixels; }
  Integer PageHeightPrintablePixels() const { return FPrintableHeightPixels; }
  TKivRect MinMarginsPixels() const { return FPrinterInfo.MinMarginsPixels; }
  double PixPerUnitX() const { return FPrinterInfo.PixPerUnitX; }
  double PixPerUnitY() const { return FPrinterInfo.PixPerUnitY; }
  TKivPrinterOrientation Orientation() const { return FPrinterInfo.Orientation; }
  const TKivPrinterInfo& PrinterInfo() const { return FPrinterInfo; }

  // Units × pixels per unit, rounded half away from zero; and back.
  Integer UnitsToPixelsX(double AUnits) const;
  Integer UnitsToPixelsY(double AUnits) const;
  double PixelsToUnitsX(Integer APixels) const;
  double PixelsToUnitsY(Integer APixels) const;
  TKivRect UnitsToPixelsRect(const TKivDoubleRect& ARect) const;
  TKivDoubleRect PixelsToUnitsRect(const TKivRect& ARect) const;
  double UnitsToUnits(TKivMeasureUnits AFrom, TKivMeasureUnits ATo, double AUnits) const;
  TKivDoubleRect UnitsToUnitsRect(TKivMeasureUnits AFrom, TKivMeasureUnits ATo, const TKivDoubleRect& ARect) const;
  // unAuto resolved through the locale.
  TKivMeasureUnits ResolveUnits(TKivMeasureUnits AUnits) const;

  void AddListener(TKivPrinterListener* ALst);
  void RemoveListener(TKivPrinterListener* ALst);

  // The device's settings; setting them re-reads the geometry (margins follow the new minimums).
  TKivPrinterSettings GetPrinter() const;
  void SetPrinter(const TKivPrinterSettings& ASettings);

  // Update brackets: listeners and OnChange are told once, when the outermost closes.
  void BeginUpdate() { ++FUpdateCount; }
  void EndUpdate();

  IKivPrintLocale& Locale() const { return *FLocale; }
  // The clock of [Date] and [DateTime].
  std::function<std::chrono::system_clock::time_point()> Clock;

 protected:
  friend class TKivPageMargins;
  // Re-reads the printer geometry.
  virtual void PrinterChanged(TKivPrinterChangeKinds AChanges);
  // Recomputes the printable sizes and tells the listeners.
  virtual void Changed();
  virtual TKivDoubleRect GetMargins() const { return FPrinterInfo.MinMarginsUnits; }
  void RecalcPrintable();
  void CheckPrinter() const;
  void ReadGeometry();

  std::unique_ptr<IKivPrintDevice> FSysPrinter;
  TKivPrinterInfo FPrinterInfo;
  TKivMeasureUnits FRealUnits = unMillimeters;
  TKivMeasureUnits FUnits = unMillimeters;
  TKivString FTitle;
  double FPrintableWidthUnits = -1;
  double FPrintableHeightUnits = -1;
  Integer FPrintableWidthPixels = -1;
  Integer FPrintableHeightPixels = -1;
  std::vector<TKivPrinterListener*> FListeners;
  TKivPrinterChangeKinds FChanges = 0;
  Integer FUpdateCount = 0;
  bool FChangePending = false;
  IKivPrintLocale* FLocale;
};

// The printer as other components see it (the preview, the dialogs).
class TKivPrinterHelper {
 public:
  virtual ~TKivPrinterHelper() = default;
  virtual TKivDoubleRect Margins() const = 0;
  virtual void SetMargins(const TKivDoubleRect& AValue) = 0;
  virtual void AddListener(TKivPrinterListener* ALst) = 0;
  virtual void RemoveListener(TKivPrinterListener* ALst) = 0;
  virtual bool ExecPrintSetupDlg() = 0;
  virtual bool ExecPageSetupDlg() = 0;
  virtual bool ExecPrintDlg() = 0;
  virtual TKivPrinter& GetPrinter() = 0;
  virtual void PrintPages(TKivPrintOperationRange ARange, Integer AStart, Integer ACount) = 0;
  virtual Integer GetPagesCount(TKivPrintOperationRange ARange) = 0;
  virtual void DrawPage(TKivPrintOperationRange ARange, Integer APage, IKivPrintCanvas& ACanvas,
                        const TKivRect& ARect) = 0;
  virtual void SavePage(TKivPrintOperationRange ARange, Integer APage, const TKivString& AFileName) = 0;
};

// Forwards every call to its printer.
class TPrinterHelper : public TKivPrinterHelper {
 public:
  explicit TPrinterHelper(TKivPrinter& APrinter) : FPrinter(APrinter) {}
  TKivDoubleRect Margins() const override;
  void SetMargins(const TKivDoubleRect& AValue) override;
  void AddListener(TKivPrinterListener* ALst) override;
  void RemoveListener(TKivPrinterListener* ALst) override;
  bool ExecPrintSetupDlg() override;
  bool ExecPageSetupDlg() override;
  bool ExecPrintDlg() override;
  TKivPrinter& GetPrinter() override { return FPrinter; }
  void PrintPages(TKivPrintOperationRange ARange, Integer AStart, Integer ACount) override;
  Integer GetPagesCount(TKivPrintOperationRange ARange) override;
  void DrawPage(TKivPrintOperationRange ARange, Integer APage, IKivPrintCanvas& ACanvas,
                const TKivRect& ARect) override;
  void SavePage(TKivPrintOperationRange ARange, Integer APage, const TKivString& AFileName) override;

 private:
  TKivPrinter& FPrinter;
};

class TKivPrinter : public TKivPrinterBase {
 public:
  explicit TKivPrinter(std::unique_ptr<IKivPrintDevice> ADevice = nullptr, IKivPrintLocale* ALocale = nullptr);
  ~TKivPrinter() override;

  TKivPageMargins& Margins() { return FPageMargins; }
  const TKivPageMargins& Margins() const { return FPageMargins; }
  TKivPageTemplateBlock& Header() { return *FHeader; }
  TKivPageTemplateBlock& Footer() { return *FFooter; }
  TKivPrinterHelper& PrinterHelper() { return FHelper; }

  void PreparePages(TKivPrintRendererBase& ARenderer);
  void FinalizePages();
  void BeginDoc();
  void EndDoc();
  void PrintPages(TKivPrintOperationRange ARange, Integer AStart, Integer ACount);
  Integer GetPagesCount(TKivPrintOperationRange ARange);
  // Paints the page scaled from page pixels into ARect of ACanvas.
  void DrawPage(TKivPrintOperationRange ARange, Integer APage, IKivPrintCanvas& ACanvas, const TKivRect& ARect);
  // Writes the page as a one-page file of the device (a vector PDF on the Qt devices).
  void SavePage(TKivPrintOperationRange ARange, Integer APage, const TKivString& AFileName);
  void ExecPreviewDlg();
  bool ExecPrintSetupDlg();
  bool ExecPageSetupDlg();
  bool ExecPrintDlg();

  bool PagesPrepared() const { return FPagesPrepared; }
  bool DocStarted() const { return FDocStarted; }
  // Pixels: header and footer heights of the current pagination, and the frame inside the margins.
  Integer HeaderHeight() const { return FHeadH; }
  Integer FooterHeight() const { return FFootH; }
  TKivRect FrameRect() const { return FFrameRect; }
  TKivRect ContentRect() const { return FContentRect; }

  // The fields of page APage (from 1) and its page count.
  TKivNameValues FieldValues(Integer APage, Integer APagesCount) const;

 protected:
  void PrinterChanged(TKivPrinterChangeKinds AChanges) override;
  void Changed() override;
  TKivDoubleRect GetMargins() const override { return FPageMargins.MarginRect(); }

 private:
  friend class TKivPageMargins;
  friend class TKivPageTemplateBlock;
  void Paginate();
  void ReleasePages();
  void DropPagination();
  void CheckPrepared() const;
  void CheckRange(TKivPrintOperationRange ARange, Integer AStart, Integer ACount);
  void PaintPage(TKivPrintOperationRange ARange, Integer APage, IKivPrintCanvas& ACanvas, const TKivRect& ARect);
  Integer BlockHeight(TKivPageTemplateBlock& ABlock);
  void ConvertMarginsUnits(const TKivDoubleRect& AOldDefaults);
  void FitMargins();
  void CloseDoc(bool AAbort);

  TKivPageMargins FPageMargins;
  std::unique_ptr<TKivPageTemplateBlock> FHeader, FFooter;
  TPrinterHelper FHelper;
  bool FPagesPrepared = false;
  bool FDocStarted = false;
  Integer FPagesCount = 0;
  Integer FSelectedPagesCount = 0;
  TKivRect FContentRect;
  TKivPrintRendererBase* FRenderer = nullptr;
  Integer FHeadH = 0, FFootH = 0;
  TKivRect FFrameRect;
  IKivPrintCanvas* FDocCanvas = nullptr;
  Integer FDocPagesPrinted = 0;
};
