#include <algorithm>

#include "KivPrintDevice.h"
#include "KivUnicode.h"

namespace {
// Upper case per code unit, so that indexes of the result match the source.
TKivString UpperUnits(TKivStringView AText) {
  TKivString out(AText);
  for (Char& c : out) c = KivUpCase(c);
  return out;
}
}  // namespace

void IKivPrintDevice::PaperMillimeters(double& AWidth, double& AHeight, TKivDoubleRect& AMinMargins) const {
  const double mmX = 25.4 / std::max(1, DpiX()), mmY = 25.4 / std::max(1, DpiY());
  const TKivRect paper = PaperRect(), area = PrintableRect();
  AWidth = paper.Width() * mmX;
  AHeight = paper.Height() * mmY;
  AMinMargins = {std::max(0, area.Left - paper.Left) * mmX, std::max(0, area.Top - paper.Top) * mmY,
                 std::max(0, paper.Right - area.Right) * mmX, std::max(0, paper.Bottom - area.Bottom) * mmY};
}

bool IKivRichText::IsEmpty() const {
  for (Integer i = 0; i < LineCount(); ++i)
    if (!Line(i).empty()) return false;
  return true;
}

TKivString TKivSimpleRichText::Line(Integer AIndex) const {
  if (AIndex < 0 || AIndex >= LineCount()) throw EKivPrintPackError(u"List index out of bounds (%d)", {AIndex});
  return FLines[size_t(AIndex)].Text;
}

void TKivSimpleRichText::SetLines(const std::vector<TKivString>& ALines) {
  const TKivFontStyles style = FLines.empty() || FLines[0].Styles.empty() ? 0 : FLines[0].Styles[0];
  std::vector<TLine> lines;
  lines.reserve(ALines.size());
  for (const TKivString& text : ALines) lines.push_back({text, std::vector<TKivFontStyles>(text.size(), style)});
  FLines = std::move(lines);
}

std::string TKivSimpleRichText::SaveStream() const {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (const TLine& line : FLines) {
    for (TKivFontStyles style : line.Styles) out += kHex[style & 15];
    out += '\t';
    out += KivToUtf8(line.Text);
    out += '\n';
  }
  return out;
}

void TKivSimpleRichText::LoadStream(const std::string& AStream) {
  std::vector<TLine> lines;
  size_t pos = 0;
  while (pos < AStream.size()) {
    const size_t end = AStream.find('\n', pos);
    const size_t tab = AStream.find('\t', pos);
    if (end == std::string::npos || tab == std::string::npos || tab > end)
      throw EKivPrintPackError(u"Bad rich text stream");
    TLine line;
    line.Text = KivFromUtf8(std::string_view(AStream).substr(tab + 1, end - tab - 1));
    if (tab - pos != line.Text.size()) throw EKivPrintPackError(u"Bad rich text stream");
    for (size_t i = pos; i < tab; ++i) {
      const char c = AStream[i];
      if (c >= '0' && c <= '9') line.Styles.push_back(TKivFontStyles(c - '0'));
      else if (c >= 'a' && c <= 'f') line.Styles.push_back(TKivFontStyles(c - 'a' + 10));
      else throw EKivPrintPackError(u"Bad rich text stream");
    }
    lines.push_back(std::move(line));
    pos = end + 1;
  }
  FLines = std::move(lines);
}

void TKivSimpleRichText::Assign(const IKivRichText& ASource) {
  if (&ASource == this) return;
  if (const auto* simple = dynamic_cast<const TKivSimpleRichText*>(&ASource)) {
    FLines = simple->FLines;
    return;
  }
  std::vector<TKivString> lines;
  for (Integer i = 0; i < ASource.LineCount(); ++i) lines.push_back(ASource.Line(i));
  FLines.clear();
  SetLines(lines);
}

void TKivSimpleRichText::SubstituteFields(const TKivNameValues& AFields) {
  std::vector<TKivString> names;
  for (const auto& field : AFields) names.push_back(UpperUnits(u"[" + field.first + u"]"));
  for (TLine& line : FLines) {
    if (line.Text.find(u'[') == TKivString::npos) continue;
    const TKivString upper = UpperUnits(line.Text);
    TLine out;
    size_t i = 0;
    while (i < line.Text.size()) {
      size_t match = names.size();
      if (line.Text[i] == u'[') {
        for (size_t f = 0; f < names.size(); ++f)
          if (upper.compare(i, names[f].size(), names[f]) == 0) {
            match = f;
            break;
          }
      }
      if (match == names.size()) {
        out.Text += line.Text[i];
        out.Styles.push_back(line.Styles[i]);
        ++i;
        continue;
      }
      const TKivString& value = AFields[match].second;
      out.Text += value;
      out.Styles.insert(out.Styles.end(), value.size(), line.Styles[i]);
      i += names[match].size();
    }
    line = std::move(out);
  }
}

Integer TKivSimpleRichText::LineHeight() const {
  return FMeasure ? std::max<Integer>(1, FMeasure->Metrics(0).Height) : 0;
}

Integer TKivSimpleRichText::Height(Integer) {
  return KivSatMul(LineHeight(), LineCount());
}

void TKivSimpleRichText::Draw(IKivPrintCanvas& ACanvas, const TKivRect& ARect) {
  IKivPaintSurface& surface = ACanvas.Surface();
  const Integer height = LineHeight();
  Integer y = ARect.Top;
  for (const TLine& line : FLines) {
    if (y >= ARect.Bottom) break;
    Integer x = ARect.Left;
    size_t start = 0;
    while (start < line.Text.size()) {
      size_t end = start + 1;
      while (end < line.Text.size() && line.Styles[end] == line.Styles[start]) ++end;
      const TKivStringView run = TKivStringView(line.Text).substr(start, end - start);
      surface.DrawText({x, y}, run, nullptr, 0, line.Styles[start], kivDefaultCharset, ARect);
      if (FMeasure)
        for (Char c : run) x = KivSatAdd(x, FMeasure->CharWidth(c, line.Styles[start], kivDefaultCharset));
      start = end;
    }
    y = KivSatAdd(y, height);
  }
}

void TKivSimpleRichText::SetStyle(Integer ALine, Integer AStart, Integer ACount, TKivFontStyles AStyle) {
  if (ALine < 0 || ALine >= LineCount()) throw EKivPrintPackError(u"List index out of bounds (%d)", {ALine});
  TLine& line = FLines[size_t(ALine)];
  const Integer len = Integer(line.Text.size());
  if (AStart < 0 || ACount < 0 || AStart > len || ACount > len - AStart)
    throw EKivPrintPackError(u"List index out of bounds (%d)", {AStart});
  std::fill_n(line.Styles.begin() + AStart, ACount, AStyle);
}

TKivFontStyles TKivSimpleRichText::StyleAt(Integer ALine, Integer AIndex) const {
  if (ALine < 0 || ALine >= LineCount()) throw EKivPrintPackError(u"List index out of bounds (%d)", {ALine});
  const TLine& line = FLines[size_t(ALine)];
  if (AIndex < 0 || AIndex >= Integer(line.Styles.size()))
    throw EKivPrintPackError(u"List index out of bounds (%d)", {AIndex});
  return line.Styles[size_t(AIndex)];
}
