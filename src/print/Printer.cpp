#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>

#include "KivPrinter.h"

namespace {

const char16_t* const kNoPrinter = u"Invalid (or not set) default system printer";
const char16_t* const kBadUnits = u"Bad units value: only unAuto, unMillimeters, unInches alowed";
const char16_t* const kBadMargins = u"Bad margins rectangle given";
const char16_t* const kManual = u"Not allowed to create margins manually";
const char16_t* const kListenerExists = u"Given listener already exists in listeners collection";
const char16_t* const kListenerNotFound = u"Given listener not found";
const char16_t* const kFinalizeFirst = u"You should call FinalizePages before this method";
const char16_t* const kPrepareFirst = u"You should call PreparePages before this method";
const char16_t* const kBeginDocFirst = u"You should call BeginDoc before this method";
const char16_t* const kEndDocFirst = u"You should call EndDoc before this method";
const char16_t* const kBadRange = u"Bad pages range: [%d, %d]. Valid range: [0, %d]";
const char16_t* const kNoDialogs = u"Print dialogs are not available";

constexpr double kMmPerInch = 25.4;
// The geometry without a usable printer: portrait A4 at 300 dpi.
constexpr double kDefaultWidthMM = 210, kDefaultHeightMM = 297;
constexpr TKivDoubleRect kDefaultMinMarginsMM{20, 10, 20, 10};
constexpr Integer kDefaultDpi = 300;
// The default margin: 20 mm, or 0.79 in.
constexpr double kDefaultMarginMM = 20, kDefaultMarginIn = 0.79;
// Fields are filled for this page (and page count) while measuring, to reserve room.
constexpr Integer kMeasurePage = 10001;

IKivPrintDialogs* GPrintDialogs = nullptr;
TKivPrintDeviceFactory& DeviceFactory() {
  static TKivPrintDeviceFactory factory;
  return factory;
}

double RoundTo(double AValue, double AStep) {
  return double(std::lround(AValue / AStep)) * AStep;
}
double Round2(double AValue) {
  return RoundTo(AValue, 0.01);
}

bool ValidUnits(TKivMeasureUnits AUnits) {
  return AUnits == unInches || AUnits == unMillimeters || AUnits == unAuto;
}

TKivString NumberText(double AValue) {
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, AValue);
  return KivFromUtf8(std::string_view(buf, size_t(res.ptr - buf)));
}

bool ParseNumber(TKivStringView AText, double& AValue) {
  const std::string text = KivToUtf8(AText);
  const auto res = std::from_chars(text.data(), text.data() + text.size(), AValue);
  return res.ec == std::errc() && res.ptr == text.data() + text.size() && std::isfinite(AValue);
}

TKivString LowerAscii(TKivStringView AText) {
  TKivString out(AText);
  for (Char& c : out)
    if (c >= u'A' && c <= u'Z') c = Char(c - u'A' + u'a');
  return out;
}

const TKivString* FindProp(const TKivStoredProps& AProps, TKivStringView AName) {
  for (const auto& prop : AProps)
    if (prop.first == AName) return &prop.second;
  return nullptr;
}

IKivPrintDialogs& RequireDialogs() {
  if (!GPrintDialogs) throw EKivPrintPackError(kNoDialogs);
  return *GPrintDialogs;
}

}  // namespace

void KivSetPrintDialogs(IKivPrintDialogs* ADialogs) {
  GPrintDialogs = ADialogs;
}
IKivPrintDialogs* KivPrintDialogs() {
  return GPrintDialogs;
}
void KivSetPrintDeviceFactory(TKivPrintDeviceFactory AFactory) {
  DeviceFactory() = std::move(AFactory);
}

// ---- the printer base: geometry and units ----

TKivPrinterBase::TKivPrinterBase(std::unique_ptr<IKivPrintDevice> ADevice, IKivPrintLocale* ALocale)
    : FSysPrinter(std::move(ADevice)), FLocale(ALocale ? ALocale : &KivDefaultPrintLocale()) {
  if (!FSysPrinter && DeviceFactory()) FSysPrinter = DeviceFactory()();
  ReadGeometry();
  RecalcPrintable();
}

TKivPrinterBase::~TKivPrinterBase() = default;

TKivMeasureUnits TKivPrinterBase::ResolveUnits(TKivMeasureUnits AUnits) const {
  if (AUnits == unAuto) return FLocale->Metric() ? unMillimeters : unInches;
  return AUnits;
}

TKivPrinterInfo TKivPrinterBase::GetDefaultPrinterInfo(TKivMeasureUnits AUnits) const {
  if (!ValidUnits(AUnits)) throw EKivPrintPackError(kBadUnits);
  const bool inches = AUnits == unInches;
  const auto units = [&](double AMM) { return inches ? Round2(AMM / kMmPerInch) : AMM; };
  const double pixPerMM = kDefaultDpi / kMmPerInch;
  const auto pixels = [&](double AMM) { return Integer(std::lround(AMM * pixPerMM)); };
  TKivPrinterInfo info;
  info.Orientation = poPortrait;
  info.PageWidthFullUnits = units(kDefaultWidthMM);
  info.PageHeightFullUnits = units(kDefaultHeightMM);
  info.MinMarginsUnits = {units(kDefaultMinMarginsMM.Left), units(kDefaultMinMarginsMM.Top),
                          units(kDefaultMinMarginsMM.Right), units(kDefaultMinMarginsMM.Bottom)};
  info.PageWidthFullPixels = pixels(kDefaultWidthMM);
  info.PageHeightFullPixels = pixels(kDefaultHeightMM);
  info.MinMarginsPixels = {pixels(kDefaultMinMarginsMM.Left), pixels(kDefaultMinMarginsMM.Top),
                           pixels(kDefaultMinMarginsMM.Right), pixels(kDefaultMinMarginsMM.Bottom)};
  info.PixPerUnitX = info.PixPerUnitY = inches ? double(kDefaultDpi) : pixPerMM;
  info.SystemUnits = FLocale->Metric() ? unMillimeters : unInches;
  return info;
}

TKivPrinterInfo TKivPrinterBase::GetPrinterInfo(TKivMeasureUnits AUnits) const {
  if (!ValidUnits(AUnits)) throw EKivPrintPackError(kBadUnits);
  CheckPrinter();
  const TKivMeasureUnits units = ResolveUnits(AUnits);
  const double per = units == unMillimeters ? kMmPerInch : 1.0;
  IKivPrintDevice& dev = *FSysPrinter;
  TKivPrinterInfo info;
  info.PixPerUnitX = dev.DpiX() / per;
  info.PixPerUnitY = dev.DpiY() / per;
  const TKivRect paper = dev.PaperRect();
  const TKivRect area = dev.PrintableRect();
  info.PageWidthFullPixels = paper.Width();
  info.PageHeightFullPixels = paper.Height();
  info.MinMarginsPixels = {std::max(0, area.Left - paper.Left), std::max(0, area.Top - paper.Top),
                           std::max(0, paper.Right - area.Right), std::max(0, paper.Bottom - area.Bottom)};
  double widthMM = 0, heightMM = 0;
  TKivDoubleRect minMM;
  dev.PaperMillimeters(widthMM, heightMM, minMM);
  const auto u = [&](double AMM) { return Round2(units == unMillimeters ? AMM : AMM / kMmPerInch); };
  info.PageWidthFullUnits = u(widthMM);
  info.PageHeightFullUnits = u(heightMM);
  info.MinMarginsUnits = {u(minMM.Left), u(minMM.Top), u(minMM.Right), u(minMM.Bottom)};
  info.Orientation = dev.Settings().Orientation;
  info.SystemUnits = FLocale->Metric() ? unMillimeters : unInches;
  return info;
}

void TKivPrinterBase::CheckPrinter() const {
  if (!HasUsablePrinter()) throw EKivPrintPackError(kNoPrinter);
}

void TKivPrinterBase::ReadGeometry() {
  const TKivMeasureUnits real = ResolveUnits(FUnits);
  TKivPrinterInfo info = HasUsablePrinter() ? GetPrinterInfo(real) : GetDefaultPrinterInfo(real);
  if (info.PixPerUnitX <= 0 || info.PixPerUnitY <= 0 || info.PageWidthFullPixels <= 0 ||
      info.PageHeightFullPixels <= 0)
    throw EKivPrintPackError(kNoPrinter);
  FPrinterInfo = info;
  FRealUnits = real;
}

void TKivPrinterBase::RecalcPrintable() {
  FPrintableWidthUnits = FPrintableHeightUnits = -1;
  FPrintableWidthPixels = FPrintableHeightPixels = -1;
  const TKivDoubleRect m = GetMargins();
  FPrintableWidthUnits = Round2(PageWidthFullUnits() - m.Left - m.Right);
  FPrintableHeightUnits = Round2(PageHeightFullUnits() - m.Top - m.Bottom);
  FPrintableWidthPixels = UnitsToPixelsX(FPrintableWidthUnits);
  FPrintableHeightPixels = UnitsToPixelsY(FPrintableHeightUnits);
}

Integer TKivPrinterBase::UnitsToPixelsX(double AUnits) const {
  return KivSaturate(std::llround(AUnits * PixPerUnitX()));
}
Integer TKivPrinterBase::UnitsToPixelsY(double AUnits) const {
  return KivSaturate(std::llround(AUnits * PixPerUnitY()));
}
double TKivPrinterBase::PixelsToUnitsX(Integer APixels) const {
  return APixels / PixPerUnitX();
}
double TKivPrinterBase::PixelsToUnitsY(Integer APixels) const {
  return APixels / PixPerUnitY();
}
TKivRect TKivPrinterBase::UnitsToPixelsRect(const TKivDoubleRect& ARect) const {
  return {UnitsToPixelsX(ARect.Left), UnitsToPixelsY(ARect.Top), UnitsToPixelsX(ARect.Right),
          UnitsToPixelsY(ARect.Bottom)};
}
TKivDoubleRect TKivPrinterBase::PixelsToUnitsRect(const TKivRect& ARect) const {
  return {PixelsToUnitsX(ARect.Left), PixelsToUnitsY(ARect.Top), PixelsToUnitsX(ARect.Right),
          PixelsToUnitsY(ARect.Bottom)};
}

double TKivPrinterBase::UnitsToUnits(TKivMeasureUnits AFrom, TKivMeasureUnits ATo, double AUnits) const {
  if (!ValidUnits(AFrom) || !ValidUnits(ATo)) throw EKivPrintPackError(kBadUnits);
  const TKivMeasureUnits from = ResolveUnits(AFrom), to = ResolveUnits(ATo);
  if (from == to) return AUnits;
  return from == unMillimeters ? AUnits / kMmPerInch : AUnits * kMmPerInch;
}

TKivDoubleRect TKivPrinterBase::UnitsToUnitsRect(TKivMeasureUnits AFrom, TKivMeasureUnits ATo,
                                                 const TKivDoubleRect& ARect) const {
  return {UnitsToUnits(AFrom, ATo, ARect.Left), UnitsToUnits(AFrom, ATo, ARect.Top),
          UnitsToUnits(AFrom, ATo, ARect.Right), UnitsToUnits(AFrom, ATo, ARect.Bottom)};
}

void TKivPrinterBase::SetUnits(TKivMeasureUnits AValue) {
  if (!ValidUnits(AValue)) throw EKivPrintPackError(kBadUnits);
  const TKivMeasureUnits old = FUnits;
  FUnits = AValue;
  try {
    PrinterChanged(KivPrinterChange(pcUnits));
  } catch (...) {
    FUnits = old;
    throw;
  }
}

void TKivPrinterBase::SetTitle(const TKivString& AValue) {
  if (FTitle == AValue) return;
  FTitle = AValue;
  Changed();
}

void TKivPrinterBase::AddListener(TKivPrinterListener* ALst) {
  if (!ALst) throw EKivPrintPackError(kListenerNotFound);
  if (std::find(FListeners.begin(), FListeners.end(), ALst) != FListeners.end())
    throw EKivPrintPackError(kListenerExists);
  FListeners.push_back(ALst);
}

void TKivPrinterBase::RemoveListener(TKivPrinterListener* ALst) {
  const auto it = std::find(FListeners.begin(), FListeners.end(), ALst);
  if (!ALst || it == FListeners.end()) throw EKivPrintPackError(kListenerNotFound);
  FListeners.erase(it);
}

TKivPrinterSettings TKivPrinterBase::GetPrinter() const {
  CheckPrinter();
  return FSysPrinter->Settings();
}

void TKivPrinterBase::SetPrinter(const TKivPrinterSettings& ASettings) {
  CheckPrinter();
  if (ASettings.Copies < 1) throw EKivPrintPackError(u"Bad copies count: %d", {ASettings.Copies});
  FSysPrinter->SetSettings(ASettings);
  PrinterChanged(KivPrinterChange(pcPrintableArea) | KivPrinterChange(pcPrinterSettings));
}

void TKivPrinterBase::PrinterChanged(TKivPrinterChangeKinds AChanges) {
  ReadGeometry();
  FChanges |= AChanges;
  Changed();
}

void TKivPrinterBase::Changed() {
  BeginUpdate();
  RecalcPrintable();
  FChangePending = true;
  EndUpdate();
}

void TKivPrinterBase::EndUpdate() {
  KIV_ASSERT(FUpdateCount > 0, "KivPrinter");
  if (--FUpdateCount > 0 || !FChangePending) return;
  FChangePending = false;
  const TKivPrinterChangeKinds changes = FChanges;
  FChanges = 0;
  const std::vector<TKivPrinterListener*> listeners = FListeners;
  for (TKivPrinterListener* lst : listeners)
    if (std::find(FListeners.begin(), FListeners.end(), lst) != FListeners.end()) lst->Refresh(changes);
  if (OnChange) OnChange();
}

// ---- margins ----

TKivPageMargins::TKivPageMargins(TKivPrinterBase* APrinter) : FPrinter(APrinter) {
  if (!FPrinter) throw EKivPrintPackError(kManual);
}

TKivDoubleRect TKivPageMargins::DefaultRect() const {
  const TKivPrinterInfo& info = FPrinter->PrinterInfo();
  const double d = FPrinter->RealUnits() == unInches ? kDefaultMarginIn : kDefaultMarginMM;
  const TKivDoubleRect& min = info.MinMarginsUnits;
  const bool wide = info.PageWidthFullUnits > 4 * d, tall = info.PageHeightFullUnits > 4 * d;
  return {wide ? std::max(d, min.Left) : min.Left, tall ? std::max(d, min.Top) : min.Top,
          wide ? std::max(d, min.Right) : min.Right, tall ? std::max(d, min.Bottom) : min.Bottom};
}

void TKivPageMargins::SetSide(double TKivDoubleRect::*ASide, double AValue) {
  TKivDoubleRect r = MarginRect();
  r.*ASide = AValue;
  SetMarginRect(r);
}

void TKivPageMargins::SetMarginRect(const TKivDoubleRect& AValue) {
  for (double side : {AValue.Left, AValue.Top, AValue.Right, AValue.Bottom})
    if (!std::isfinite(side)) throw EKivPrintPackError(kBadMargins);
  const TKivDoubleRect& min = FPrinter->MinMarginsUnits();
  const TKivDoubleRect r{std::max(AValue.Left, min.Left), std::max(AValue.Top, min.Top),
                         std::max(AValue.Right, min.Right), std::max(AValue.Bottom, min.Bottom)};
  const double w = FPrinter->PageWidthFullUnits(), h = FPrinter->PageHeightFullUnits();
  if (!(r.Left < w - r.Right && r.Right < w - r.Left && r.Top < h - r.Bottom && r.Bottom < h - r.Top))
    throw EKivPrintPackError(kBadMargins);
  FLeft = r.Left, FTop = r.Top, FRight = r.Right, FBottom = r.Bottom;
  FPrinter->Changed();
}

void TKivPageMargins::WriteProps(TKivStoredProps& AProps) const {
  const TKivDoubleRect d = DefaultRect();
  const std::pair<const char16_t*, double> sides[] = {
      {u"Left", FLeft}, {u"Right", FRight}, {u"Top", FTop}, {u"Bottom", FBottom}};
  const double defaults[] = {d.Left, d.Right, d.Top, d.Bottom};
  TKivString zero;
  for (size_t i = 0; i < 4; ++i) {
    if (sides[i].second != defaults[i]) AProps.emplace_back(sides[i].first, NumberText(sides[i].second));
    if (sides[i].second != 0) continue;
    // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on "literal" + string.
    zero.append(zero.empty() ? u"[" : u",").append(LowerAscii(sides[i].first));
  }
  if (!zero.empty()) AProps.emplace_back(u"MarginsZero", zero.append(u"]"));
}

void TKivPageMargins::ReadProps(const TKivStoredProps& AProps) {
  TKivDoubleRect r = DefaultRect();
  const std::pair<const char16_t*, double*> sides[] = {
      {u"Left", &r.Left}, {u"Right", &r.Right}, {u"Top", &r.Top}, {u"Bottom", &r.Bottom}};
  for (const auto& side : sides)
    if (const TKivString* value = FindProp(AProps, side.first))
      if (!ParseNumber(*value, *side.second) || *side.second < 0)
        throw EKivPrintPackError(u"Bad margin value: %s", {*value});
  if (const TKivString* zero = FindProp(AProps, u"MarginsZero")) {
    const TKivString names = LowerAscii(*zero);
    for (const auto& side : sides)
      if (names.find(LowerAscii(side.first)) != TKivString::npos) *side.second = 0;
  }
  FLeft = r.Left, FTop = r.Top, FRight = r.Right, FBottom = r.Bottom;
  FPrinter->Changed();
}

// ---- header and footer ----

TKivPageTemplateBlock::TKivPageTemplateBlock(TKivPrinter* APrinter) : FPrinter(APrinter) {
  if (!FPrinter) throw EKivPrintPackError(kManual);
  if (IKivPrintDevice* dev = FPrinter->GetSysPrinter()) {
    FSaveRichEdit = dev->CreateRichText();
    FRichEdit = dev->CreateRichText();
  } else {
    FSaveRichEdit = std::make_unique<TKivSimpleRichText>();
    FRichEdit = std::make_unique<TKivSimpleRichText>();
  }
}

void TKivPageTemplateBlock::BlockChanged() {
  // Copies (as the page setup dialog edits) do not touch the printer's pagination.
  if (FPrinter->FHeader.get() == this || FPrinter->FFooter.get() == this) FPrinter->Changed();
}

void TKivPageTemplateBlock::SetVisible(bool AValue) {
  if (FVisible == AValue) return;
  FVisible = AValue;
  BlockChanged();
}

std::vector<TKivString> TKivPageTemplateBlock::Template() const {
  std::vector<TKivString> lines;
  for (Integer i = 0; i < FSaveRichEdit->LineCount(); ++i) lines.push_back(FSaveRichEdit->Line(i));
  return lines;
}

void TKivPageTemplateBlock::SetTemplate(const std::vector<TKivString>& ALines) {
  FSaveRichEdit->SetLines(ALines);
  BlockChanged();
}

void TKivPageTemplateBlock::AssignLines(const IKivRichText& AValue) {
  FSaveRichEdit->Assign(AValue);
  BlockChanged();
}

void TKivPageTemplateBlock::AssignLinesTo(IKivRichText& AValue) const {
  AValue.Assign(*FSaveRichEdit);
}

void TKivPageTemplateBlock::Assign(const TKivPageTemplateBlock& ASource) {
  if (&ASource == this) return;
  FSaveRichEdit->Assign(*ASource.FSaveRichEdit);
  FVisible = ASource.FVisible;
  BlockChanged();
}

void TKivPageTemplateBlock::TemplateChanged() {
  BlockChanged();
}

void TKivPageTemplateBlock::WriteProps(TKivStoredProps& AProps) const {
  if (!FVisible) AProps.emplace_back(u"Visible", u"False");
  if (!FSaveRichEdit->IsEmpty()) AProps.emplace_back(u"StringsData", KivFromUtf8(FSaveRichEdit->SaveStream()));
}

void TKivPageTemplateBlock::ReadProps(const TKivStoredProps& AProps) {
  bool visible = true;
  if (const TKivString* value = FindProp(AProps, u"Visible")) {
    const TKivString v = LowerAscii(*value);
    if (v != u"true" && v != u"false") throw EKivPrintPackError(u"Bad boolean value: %s", {*value});
    visible = v == u"true";
  }
  if (const TKivString* data = FindProp(AProps, u"StringsData")) FSaveRichEdit->LoadStream(KivToUtf8(*data));
  else FSaveRichEdit->SetLines({});
  FVisible = visible;
  BlockChanged();
}

void TKivPageTemplateBlock::Fill(const TKivNameValues& AVars) {
  FRichEdit->Assign(*FSaveRichEdit);
  FRichEdit->SubstituteFields(AVars);
}

bool TKivPageTemplateBlock::IsEmpty() const {
  return FSaveRichEdit->IsEmpty();
}

// ---- the printer ----

TKivPrinter::TKivPrinter(std::unique_ptr<IKivPrintDevice> ADevice, IKivPrintLocale* ALocale)
    : TKivPrinterBase(std::move(ADevice), ALocale), FPageMargins(this), FHelper(*this) {
  const TKivDoubleRect d = FPageMargins.DefaultRect();
  FPageMargins.FLeft = d.Left, FPageMargins.FTop = d.Top, FPageMargins.FRight = d.Right,
  FPageMargins.FBottom = d.Bottom;
  FHeader = std::make_unique<TKivPageTemplateBlock>(this);
  FFooter = std::make_unique<TKivPageTemplateBlock>(this);
  RecalcPrintable();
}

TKivPrinter::~TKivPrinter() {
  const std::vector<TKivPrinterListener*> listeners = FListeners;
  for (TKivPrinterListener* lst : listeners) {
    if (std::find(FListeners.begin(), FListeners.end(), lst) == FListeners.end()) continue;
    try {
      lst->PrinterDestroying(*this);
    } catch (...) {
    }
  }
  if (FDocStarted) {
    try {
      FSysPrinter->EndDoc(true);
    } catch (...) {
    }
  }
  // The renderer is not owned and may be gone already: its pages are its own to release.
}

void TKivPrinter::PrinterChanged(TKivPrinterChangeKinds AChanges) {
  const TKivMeasureUnits oldUnits = FRealUnits;
  const TKivDoubleRect oldDefaults = FPageMargins.DefaultRect();
  const TKivPrinterInfo oldInfo = FPrinterInfo;
  BeginUpdate();
  try {
    try {
      ReadGeometry();
    } catch (...) {
      FPrinterInfo = oldInfo;
      throw;
    }
    FChanges |= AChanges;
    if (FRealUnits != oldUnits) ConvertMarginsUnits(oldDefaults);
    if (AChanges & KivPrinterChange(pcPrintableArea)) FitMargins();
    Changed();
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TKivPrinter::ConvertMarginsUnits(const TKivDoubleRect& AOldDefaults) {
  const TKivDoubleRect d = FPageMargins.DefaultRect();
  const double step = FRealUnits == unInches ? 0.01 : 0.1;
  TKivPageMargins& m = FPageMargins;
  const auto convert = [&](double& ASide, double AOldDefault, double ANewDefault) {
    ASide = ASide == AOldDefault ? ANewDefault : RoundTo(ASide * (FRealUnits == unInches ? 1 / kMmPerInch : kMmPerInch), step);
  };
  convert(m.FLeft, AOldDefaults.Left, d.Left);
  convert(m.FTop, AOldDefaults.Top, d.Top);
  convert(m.FRight, AOldDefaults.Right, d.Right);
  convert(m.FBottom, AOldDefaults.Bottom, d.Bottom);
}

void TKivPrinter::FitMargins() {
  const TKivDoubleRect& min = MinMarginsUnits();
  TKivPageMargins& m = FPageMargins;
  TKivDoubleRect r{std::max(m.FLeft, min.Left), std::max(m.FTop, min.Top), std::max(m.FRight, min.Right),
                   std::max(m.FBottom, min.Bottom)};
  const double w = PageWidthFullUnits(), h = PageHeightFullUnits();
  if (!(r.Left + r.Right < w && r.Top + r.Bottom < h)) r = m.DefaultRect();
  m.FLeft = r.Left, m.FTop = r.Top, m.FRight = r.Right, m.FBottom = r.Bottom;
}

void TKivPrinter::Changed() {
  BeginUpdate();
  FChangePending = true;
  try {
    ReleasePages();
    RecalcPrintable();
    if (FRenderer) Paginate();
  } catch (...) {
    DropPagination();
    EndUpdate();
    throw;
  }
  EndUpdate();
}

TKivNameValues TKivPrinter::FieldValues(Integer APage, Integer APagesCount) const {
  const auto now = Clock ? Clock() : std::chrono::system_clock::now();
  const TKivString date = Locale().ShortDate(now);
  return {{u"Page", KivFormat(u"%d", {APage})},
          {u"PagesCount", KivFormat(u"%d", {APagesCount})},
          {u"Title", FTitle},
          {u"Date", date},
          {u"DateTime", date + u" " + Locale().ShortTime(now)}};
}

Integer TKivPrinter::BlockHeight(TKivPageTemplateBlock& ABlock) {
  if (!ABlock.Visible() || ABlock.IsEmpty()) return 0;
  const Integer h = KivSatAdd(ABlock.Filled().Height(FFrameRect.Width()),
                              Integer(std::lround(FFrameRect.Height() / 200.0)));
  return std::clamp(h, 0, std::max(0, FPrintableHeightPixels / 4));
}

void TKivPrinter::Paginate() {
  CheckPrinter();
  const TKivRect min = UnitsToPixelsRect(FPageMargins.MarginRect());
  FContentRect = {min.Left, min.Top, KivSatAdd(min.Left, FPrintableWidthPixels),
                  KivSatAdd(min.Top, FPrintableHeightPixels)};
  FFrameRect = {min.Left, min.Top, PageWidthFullPixels() - min.Right, PageHeightFullPixels() - min.Bottom};
  const TKivNameValues vars = FieldValues(kMeasurePage, kMeasurePage);
  FHeader->Fill(vars);
  FFooter->Fill(vars);
  FHeadH = BlockHeight(*FHeader);
  FFootH = BlockHeight(*FFooter);
  FRenderer->PreparePages(FPrintableWidthPixels, FPrintableHeightPixels - FHeadH - FFootH, *FSysPrinter);
  const Integer all = FRenderer->GetPagesCount(orAll);
  const Integer selected = FRenderer->GetPagesCount(orSelection);
  FPagesCount = std::max(0, all);
  FSelectedPagesCount = std::max(0, selected);
}

void TKivPrinter::ReleasePages() {
  if (FRenderer && FPagesPrepared) FRenderer->FinalizePages();
  FPagesCount = FSelectedPagesCount = 0;
}

void TKivPrinter::CloseDoc(bool AAbort) {
  if (!FDocStarted) return;
  FDocStarted = false;
  FDocCanvas = nullptr;
  FDocPagesPrinted = 0;
  FSysPrinter->EndDoc(AAbort);
}

void TKivPrinter::DropPagination() {
  if (FDocStarted) {
    try {
      CloseDoc(true);
    } catch (...) {
    }
  }
  if (FRenderer) {
    try {
      FRenderer->FinalizePages();
    } catch (...) {
    }
  }
  FRenderer = nullptr;
  FPagesPrepared = false;
  FPagesCount = FSelectedPagesCount = 0;
  FHeadH = FFootH = 0;
}

void TKivPrinter::CheckPrepared() const {
  if (!FPagesPrepared) throw EKivPrintPackError(kPrepareFirst);
}

void TKivPrinter::PreparePages(TKivPrintRendererBase& ARenderer) {
  CheckPrinter();
  if (FPagesPrepared) throw EKivPrintPackError(kFinalizeFirst);
  FRenderer = &ARenderer;
  try {
    Paginate();
  } catch (...) {
    DropPagination();
    throw;
  }
  FPagesPrepared = true;
}

void TKivPrinter::FinalizePages() {
  CheckPrepared();
  TKivPrintRendererBase* renderer = FRenderer;
  std::exception_ptr error;
  if (FDocStarted) {
    try {
      CloseDoc(false);
    } catch (...) {
      error = std::current_exception();
    }
  }
  FRenderer = nullptr;
  FPagesPrepared = false;
  FPagesCount = FSelectedPagesCount = 0;
  FHeadH = FFootH = 0;
  try {
    renderer->FinalizePages();
  } catch (...) {
    if (!error) error = std::current_exception();
  }
  if (error) std::rethrow_exception(error);
}

void TKivPrinter::BeginDoc() {
  CheckPrinter();
  CheckPrepared();
  if (FDocStarted) throw EKivPrintPackError(kEndDocFirst);
  FDocCanvas = &FSysPrinter->BeginDoc(FTitle);
  FDocStarted = true;
  FDocPagesPrinted = 0;
}

void TKivPrinter::EndDoc() {
  CheckPrepared();
  if (!FDocStarted) throw EKivPrintPackError(kBeginDocFirst);
  CloseDoc(false);
}

Integer TKivPrinter::GetPagesCount(TKivPrintOperationRange ARange) {
  CheckPrepared();
  return ARange == orSelection ? FSelectedPagesCount : FPagesCount;
}

void TKivPrinter::CheckRange(TKivPrintOperationRange ARange, Integer AStart, Integer ACount) {
  const Integer count = GetPagesCount(ARange);
  if (AStart < 0 || AStart >= count || ACount <= 0 || int64_t(AStart) + ACount > count)
    throw EKivPrintPackError(kBadRange, {AStart, KivSaturate(int64_t(AStart) + ACount - 1), count});
}

void TKivPrinter::PaintPage(TKivPrintOperationRange ARange, Integer APage, IKivPrintCanvas& ACanvas,
                            const TKivRect& ARect) {
  const double w = PageWidthFullPixels(), h = PageHeightFullPixels();
  ACanvas.SetTransform(ARect.Width() / w, ARect.Height() / h, ARect.Left, ARect.Top);
  try {
    const TKivNameValues vars = FieldValues(APage + 1, FPagesCount);
    IKivPaintSurface& surface = ACanvas.Surface();
    surface.FillRect({0, 0, PageWidthFullPixels(), PageHeightFullPixels()}, KivRGB(255, 255, 255));
    if (FHeadH > 0) {
      FHeader->Fill(vars);
      FHeader->Filled().Draw(ACanvas, {FFrameRect.Left, FFrameRect.Top, FFrameRect.Right, FFrameRect.Top + FHeadH});
    }
    FRenderer->DrawPage(ARange, APage, {FFrameRect.Left, FFrameRect.Top + FHeadH}, ACanvas);
    if (FFootH > 0) {
      FFooter->Fill(vars);
      FFooter->Filled().Draw(ACanvas,
                             {FFrameRect.Left, FFrameRect.Bottom - FFootH, FFrameRect.Right, FFrameRect.Bottom});
    }
  } catch (...) {
    ACanvas.ResetTransform();
    throw;
  }
  ACanvas.ResetTransform();
}

void TKivPrinter::DrawPage(TKivPrintOperationRange ARange, Integer APage, IKivPrintCanvas& ACanvas,
                           const TKivRect& ARect) {
  CheckPrinter();
  CheckPrepared();
  CheckRange(ARange, APage, 1);
  PaintPage(ARange, APage, ACanvas, ARect);
}

void TKivPrinter::PrintPages(TKivPrintOperationRange ARange, Integer AStart, Integer ACount) {
  CheckPrinter();
  CheckPrepared();
  CheckRange(ARange, AStart, ACount);
  const bool own = !FDocStarted;
  if (own) BeginDoc();
  try {
    const TKivRect page{0, 0, PageWidthFullPixels(), PageHeightFullPixels()};
    for (Integer i = AStart; i < AStart + ACount; ++i) {
      if (FDocPagesPrinted > 0) FSysPrinter->NewPage();
      PaintPage(ARange, i, *FDocCanvas, page);
      ++FDocPagesPrinted;
    }
  } catch (...) {
    if (own) {
      try {
        CloseDoc(true);
      } catch (...) {
      }
    }
    throw;
  }
  if (own) CloseDoc(false);
}

void TKivPrinter::SavePage(TKivPrintOperationRange ARange, Integer APage, const TKivString& AFileName) {
  CheckPrinter();
  CheckPrepared();
  CheckRange(ARange, APage, 1);
  IKivPrintCanvas& canvas = FSysPrinter->BeginPageFile(AFileName);
  try {
    PaintPage(ARange, APage, canvas, {0, 0, PageWidthFullPixels(), PageHeightFullPixels()});
  } catch (...) {
    try {
      FSysPrinter->EndPageFile(true);
    } catch (...) {
    }
    throw;
  }
  FSysPrinter->EndPageFile(false);
}

void TKivPrinter::ExecPreviewDlg() {
  CheckPrepared();
  RequireDialogs().Preview(FHelper);
}

bool TKivPrinter::ExecPrintSetupDlg() {
  CheckPrinter();
  IKivPrintDialogs& dialogs = RequireDialogs();
  TKivPrinterSettings settings = GetPrinter();
  if (!dialogs.PrintSetup(*this, settings)) return false;
  SetPrinter(settings);
  return true;
}

bool TKivPrinter::ExecPageSetupDlg() {
  CheckPrinter();
  IKivPrintDialogs& dialogs = RequireDialogs();
  TKivPageTemplateBlock header(this), footer(this);
  header.Assign(*FHeader);
  footer.Assign(*FFooter);
  TKivDoubleRect margins = FPageMargins.MarginRect();
  BeginUpdate();
  bool ok = false;
  try {
    ok = dialogs.PageSetup(*this, margins, header, footer);
    if (ok) {
      FPageMargins.SetMarginRect(margins);
      FHeader->Assign(header);
      FFooter->Assign(footer);
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
  return ok;
}

bool TKivPrinter::ExecPrintDlg() {
  CheckPrepared();
  if (FDocStarted) throw EKivPrintPackError(kEndDocFirst);
  IKivPrintDialogs& dialogs = RequireDialogs();
  TKivPrintDlgResult result;
  result.FromPage = 1;
  result.ToPage = FPagesCount;
  if (!dialogs.Print(*this, FPagesCount, FSelectedPagesCount > 0, result)) return false;
  // Check the ranges before the document opens.
  std::vector<std::pair<Integer, Integer>> ranges = result.Ranges;
  if (ranges.empty()) ranges.emplace_back(result.FromPage, result.ToPage);
  if (result.Kind == TKivPrintDlgResult::prPages)
    for (const auto& [from, to] : ranges) CheckRange(orAll, from - 1, KivSaturate(int64_t(to) - from + 1));
  BeginDoc();
  try {
    switch (result.Kind) {
      case TKivPrintDlgResult::prAll:
        PrintPages(orAll, 0, FPagesCount);
        break;
      case TKivPrintDlgResult::prSelection:
        PrintPages(orSelection, 0, FSelectedPagesCount);
        break;
      case TKivPrintDlgResult::prPages:
        for (const auto& [from, to] : ranges) PrintPages(orAll, from - 1, to - from + 1);
        break;
    }
  } catch (...) {
    try {
      CloseDoc(true);
    } catch (...) {
    }
    throw;
  }
  EndDoc();
  return true;
}

// ---- the helper ----

TKivDoubleRect TPrinterHelper::Margins() const {
  return FPrinter.Margins().MarginRect();
}
void TPrinterHelper::SetMargins(const TKivDoubleRect& AValue) {
  FPrinter.Margins().SetMarginRect(AValue);
}
void TPrinterHelper::AddListener(TKivPrinterListener* ALst) {
  FPrinter.AddListener(ALst);
}
void TPrinterHelper::RemoveListener(TKivPrinterListener* ALst) {
  FPrinter.RemoveListener(ALst);
}
bool TPrinterHelper::ExecPrintSetupDlg() {
  return FPrinter.ExecPrintSetupDlg();
}
bool TPrinterHelper::ExecPageSetupDlg() {
  return FPrinter.ExecPageSetupDlg();
}
bool TPrinterHelper::ExecPrintDlg() {
  return FPrinter.ExecPrintDlg();
}
void TPrinterHelper::PrintPages(TKivPrintOperationRange ARange, Integer AStart, Integer ACount) {
  FPrinter.PrintPages(ARange, AStart, ACount);
}
Integer TPrinterHelper::GetPagesCount(TKivPrintOperationRange ARange) {
  return FPrinter.GetPagesCount(ARange);
}
void TPrinterHelper::DrawPage(TKivPrintOperationRange ARange, Integer APage, IKivPrintCanvas& ACanvas,
                              const TKivRect& ARect) {
  FPrinter.DrawPage(ARange, APage, ACanvas, ARect);
}
void TPrinterHelper::SavePage(TKivPrintOperationRange ARange, Integer APage, const TKivString& AFileName) {
  FPrinter.SavePage(ARange, APage, AFileName);
}
