#include "PrintFakes.h"

#include <cmath>
#include <cstdio>

void RecordingCanvas::SetTransform(double AScaleX, double AScaleY, double ADX, double ADY) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "transform(%.2f,%.2f,%.2f,%.2f)", AScaleX, AScaleY, ADX, ADY);
  Painter.Ops.push_back(buf);
}

std::vector<std::string> RecordingCanvas::Texts() const {
  std::vector<std::string> out;
  for (const std::string& op : Painter.Ops)
    if (op.rfind("text(", 0) == 0) out.push_back(op);
  return out;
}

FakeDevice::FakeDevice(Integer ADpiX, Integer ADpiY, TKivRect APaper, TKivRect AArea)
    : FDpiX(ADpiX), FDpiY(ADpiY), FPaper(APaper), FArea(AArea) {
  FSettings.PrinterName = u"Fake";
  FSettings.PaperName = u"A4";
}

std::unique_ptr<FakeDevice> FakeDevice::A4(Integer ADpi) {
  const auto px = [&](double AMM) { return Integer(std::lround(AMM * ADpi / 25.4)); };
  const Integer w = px(210), h = px(297);
  auto dev = std::make_unique<FakeDevice>(ADpi, ADpi, TKivRect{0, 0, w, h},
                                          TKivRect{px(20), px(10), w - px(20), h - px(10)});
  dev->SetMillimeters(210, 297, {20, 10, 20, 10});
  return dev;
}

void FakeDevice::SetMillimeters(double AWidth, double AHeight, TKivDoubleRect AMinMargins) {
  FHasMM = true;
  FWidthMM = AWidth;
  FHeightMM = AHeight;
  FMinMM = AMinMargins;
}

void FakeDevice::PaperMillimeters(double& AWidth, double& AHeight, TKivDoubleRect& AMinMargins) const {
  if (!FHasMM) return IKivPrintDevice::PaperMillimeters(AWidth, AHeight, AMinMargins);
  AWidth = FWidthMM;
  AHeight = FHeightMM;
  AMinMargins = FMinMM;
}

void FakeDevice::SetSettings(const TKivPrinterSettings& ASettings) {
  if (ASettings.Orientation != FSettings.Orientation) {
    // A quarter turn: the left edge of the portrait sheet becomes the bottom of the landscape one.
    const Integer w = FPaper.Width(), h = FPaper.Height();
    FPaper = {0, 0, h, w};
    FArea = {FArea.Top, w - FArea.Right, FArea.Bottom, w - FArea.Left};
    std::swap(FDpiX, FDpiY);
    std::swap(FWidthMM, FHeightMM);
    FMinMM = {FMinMM.Top, FMinMM.Right, FMinMM.Bottom, FMinMM.Left};
  }
  FSettings = ASettings;
}

namespace {
// Plain rich text that tells its device what it measured.
class MeasuredText : public TKivSimpleRichText {
 public:
  explicit MeasuredText(FakeDevice& ADevice) : TKivSimpleRichText(&ADevice.Measure), FDevice(ADevice) {}
  Integer Height(Integer AWidth) override {
    FDevice.Measured.push_back(LineCount() > 0 ? Line(0) : TKivString());
    return TKivSimpleRichText::Height(AWidth);
  }

 private:
  FakeDevice& FDevice;
};
}  // namespace

std::unique_ptr<IKivRichText> FakeDevice::CreateRichText() {
  return std::make_unique<MeasuredText>(*this);
}

IKivPrintCanvas& FakeDevice::BeginDoc(const TKivString& ATitle) {
  Log.push_back("begin(" + KivToUtf8(ATitle) + ")");
  DocCanvas.Painter.Ops.clear();
  return DocCanvas;
}

void FakeDevice::NewPage() {
  Log.push_back("newpage");
  DocCanvas.Painter.Ops.push_back("newpage");
}

void FakeDevice::EndDoc(bool AAbort) {
  Log.push_back(AAbort ? "abort" : "end");
}

IKivPrintCanvas& FakeDevice::BeginPageFile(const TKivString& AFileName) {
  Log.push_back("file(" + KivToUtf8(AFileName) + ")");
  FileCanvas.Painter.Ops.clear();
  return FileCanvas;
}

void FakeDevice::EndPageFile(bool AAbort) {
  Log.push_back(AAbort ? "fileabort" : "fileend");
}

void FakeRenderer::PreparePages(Integer APageWidth, Integer APageHeight, IKivPrintDevice&) {
  if (FailAfter == 0) throw EKivPrintPackError(u"renderer failed");
  if (FailAfter > 0) --FailAfter;
  Prepared.emplace_back(APageWidth, APageHeight);
  RowsPerPage = std::max(1, APageHeight / RowHeight);
}

Integer FakeRenderer::GetPagesCount(TKivPrintOperationRange ARange) {
  const Integer rows = ARange == orAll ? Rows : SelectedRows;
  return RowsPerPage > 0 ? (rows + RowsPerPage - 1) / RowsPerPage : 0;
}

void FakeRenderer::DrawPage(TKivPrintOperationRange, Integer ANum, const TKivPoint& APoint,
                            IKivPrintCanvas& ACanvas) {
  const Integer first = ANum * RowsPerPage;
  for (Integer r = first; r < std::min(Rows, first + RowsPerPage); ++r) {
    const TKivString text = KivFromUtf8("row " + std::to_string(r));
    ACanvas.Surface().DrawText({APoint.X, APoint.Y + (r - first) * RowHeight}, text, nullptr, 0, 0,
                               kivDefaultCharset, {0, 0, 1 << 20, 1 << 20});
  }
}

bool FakeDialogs::PageSetup(TKivPrinter&, TKivDoubleRect& AMargins, TKivPageTemplateBlock& AHeader,
                            TKivPageTemplateBlock&) {
  if (!Confirm) return false;
  AMargins = NewMargins;
  AHeader.SetTemplate(NewHeader);
  return true;
}

bool FakeDialogs::Print(TKivPrinter&, Integer APagesCount, bool ASelection, TKivPrintDlgResult& AResult) {
  ShownPagesCount = APagesCount;
  ShownSelection = ASelection;
  if (Confirm) AResult = Result;
  return Confirm;
}

bool FakeDialogs::PrintSetup(TKivPrinter&, TKivPrinterSettings& ASettings) {
  if (Confirm) ASettings = NewSettings;
  return Confirm;
}

std::string PrintErrorOf(const std::function<void()>& AFn) {
  try {
    AFn();
  } catch (const EKivPrintPackError& e) {
    return e.what();
  }
  return "<no error>";
}
