// Stand-ins for the print engine's platform, shared by the print tests: a device of any
// resolution, paper and printable area (or unusable) that records documents and page files, a
// canvas that records through the layout's recording painter, a renderer of fixed-height rows,
// a fixed locale and a dialog layer answering from fields.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "KivPrinter.h"
#include "LayoutFakes.h"

// Records SetTransform as "transform(sx,sy,dx,dy)" (two decimals) among the painter's ops.
class RecordingCanvas : public IKivPrintCanvas {
 public:
  IKivPaintSurface& Surface() override { return Painter; }
  void SetTransform(double AScaleX, double AScaleY, double ADX, double ADY) override;
  void ResetTransform() override { Painter.Ops.push_back("untransform"); }
  // The text ops ("text(...)") only.
  std::vector<std::string> Texts() const;
  RecordingPainter Painter;
};

class FakeDevice : public IKivPrintDevice {
 public:
  // A sheet of APaper pixels at ADpi, printable inside AArea.
  FakeDevice(Integer ADpiX, Integer ADpiY, TKivRect APaper, TKivRect AArea);
  // A4 at ADpi with unprintable margins of 20/10/20/10 mm.
  static std::unique_ptr<FakeDevice> A4(Integer ADpi = 300);

  bool Usable() const override { return IsUsable; }
  Integer DpiX() const override { return FDpiX; }
  Integer DpiY() const override { return FDpiY; }
  TKivRect PaperRect() const override { return FPaper; }
  TKivRect PrintableRect() const override { return FArea; }
  // Exact when set by SetMillimeters, else derived from the pixels.
  void PaperMillimeters(double& AWidth, double& AHeight, TKivDoubleRect& AMinMargins) const override;
  void SetMillimeters(double AWidth, double AHeight, TKivDoubleRect AMinMargins);
  TKivPrinterSettings Settings() const override { return FSettings; }
  // A change of orientation turns paper and printable area by a quarter.
  void SetSettings(const TKivPrinterSettings& ASettings) override;
  IKivMeasureSurface& MeasureSurface() override { return Measure; }
  // Records the font and hands it to OnFont (which may change Measure).
  void SetMeasureFont(const TKivViewFont& AFont) override {
    Fonts.push_back(AFont);
    if (OnFont) OnFont(AFont);
  }
  std::vector<TKivViewFont> Fonts;
  std::function<void(const TKivViewFont&)> OnFont;
  std::unique_ptr<IKivRichText> CreateRichText() override;
  IKivPrintCanvas& BeginDoc(const TKivString& ATitle) override;
  void NewPage() override;
  void EndDoc(bool AAbort) override;
  IKivPrintCanvas& BeginPageFile(const TKivString& AFileName) override;
  void EndPageFile(bool AAbort) override;

  bool IsUsable = true;
  FixedMeasure Measure{10, 16};
  // The first line of every rich text measured, in order.
  std::vector<TKivString> Measured;
  // "begin(title)", "newpage", "end", "abort", "file(name)", "fileabort".
  std::vector<std::string> Log;
  RecordingCanvas DocCanvas;
  RecordingCanvas FileCanvas;

 private:
  Integer FDpiX, FDpiY;
  TKivRect FPaper, FArea;
  bool FHasMM = false;
  double FWidthMM = 0, FHeightMM = 0;
  TKivDoubleRect FMinMM;
  TKivPrinterSettings FSettings;
};

// Content of ARows rows of ARowHeight pixels; each page holds the rows that fit. Draws
// "row <n>" per row at the given point; the selection is the first ASelectedRows rows.
class FakeRenderer : public TKivPrintRendererBase {
 public:
  explicit FakeRenderer(Integer ARows = 100, Integer ARowHeight = 100) : Rows(ARows), RowHeight(ARowHeight) {}
  void PreparePages(Integer APageWidth, Integer APageHeight, IKivPrintDevice& ADevice) override;
  void FinalizePages() override { ++Finalized; }
  Integer GetPagesCount(TKivPrintOperationRange ARange) override;
  void DrawPage(TKivPrintOperationRange ARange, Integer ANum, const TKivPoint& APoint,
                IKivPrintCanvas& ACanvas) override;

  Integer Rows, RowHeight;
  Integer SelectedRows = 0;
  // PreparePages raises after this many successful calls (-1: never).
  Integer FailAfter = -1;
  std::vector<std::pair<Integer, Integer>> Prepared;  // the sizes asked for
  Integer Finalized = 0;
  Integer RowsPerPage = 0;
};

class FakeLocale : public IKivPrintLocale {
 public:
  bool Metric() const override { return IsMetric; }
  TKivString ShortDate(std::chrono::system_clock::time_point) const override { return u"10.12.26"; }
  TKivString ShortTime(std::chrono::system_clock::time_point) const override { return u"16:05"; }
  bool IsMetric = true;
};

class FakeDialogs : public IKivPrintDialogs {
 public:
  bool PageSetup(TKivPrinter&, TKivDoubleRect& AMargins, TKivPageTemplateBlock& AHeader,
                 TKivPageTemplateBlock&) override;
  bool Print(TKivPrinter&, Integer APagesCount, bool ASelection, TKivPrintDlgResult& AResult) override;
  bool PrintSetup(TKivPrinter&, TKivPrinterSettings& ASettings) override;
  void Preview(TKivPrinterHelper& AHelper) override { PreviewPages = AHelper.GetPagesCount(orAll); }

  bool Confirm = true;
  TKivDoubleRect NewMargins{30, 30, 30, 30};
  std::vector<TKivString> NewHeader{u"edited"};
  TKivPrintDlgResult Result;
  TKivPrinterSettings NewSettings;
  Integer ShownPagesCount = -1;
  bool ShownSelection = false;
  Integer PreviewPages = -1;
};

// The message of the EKivPrintPackError AFn raises, or "<no error>".
std::string PrintErrorOf(const std::function<void()>& AFn);
