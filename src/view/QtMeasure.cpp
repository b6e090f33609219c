// The measuring surface on Qt fonts, the test of complex text and the QTextLayout shaper.
#include <QGlyphRun>
#include <QPainter>
#include <QTextOption>
#include <algorithm>
#include <cmath>
#include <limits>

#include "KivSedQtMeasure.h"
#include "internal/QtFonts.h"

namespace {

QString ToQString(TKivStringView AText) {
  return QString(reinterpret_cast<const QChar*>(AText.data()), qsizetype(AText.size()));
}

Cardinal StyleCode(TKivFontStyles AFs, TKivFontCharset ACharset) {
  return (Cardinal(ACharset) << 8) | AFs;
}

bool IsShapingScript(QChar::Script AScript) {
  switch (AScript) {
    case QChar::Script_Arabic:
    case QChar::Script_Syriac:
    case QChar::Script_Thaana:
    case QChar::Script_Nko:
    case QChar::Script_Mandaic:
    case QChar::Script_Devanagari:
    case QChar::Script_Bengali:
    case QChar::Script_Gurmukhi:
    case QChar::Script_Gujarati:
    case QChar::Script_Oriya:
    case QChar::Script_Tamil:
    case QChar::Script_Telugu:
    case QChar::Script_Kannada:
    case QChar::Script_Malayalam:
    case QChar::Script_Sinhala:
    case QChar::Script_Thai:
    case QChar::Script_Lao:
    case QChar::Script_Tibetan:
    case QChar::Script_Myanmar:
    case QChar::Script_Khmer:
    case QChar::Script_Mongolian:
    case QChar::Script_Limbu:
    case QChar::Script_TaiLe:
    case QChar::Script_NewTaiLue:
    case QChar::Script_Buginese:
    case QChar::Script_TaiTham:
    case QChar::Script_Balinese:
    case QChar::Script_Sundanese:
    case QChar::Script_Batak:
    case QChar::Script_Lepcha:
    case QChar::Script_Javanese:
    case QChar::Script_Cham:
    case QChar::Script_TaiViet:
    case QChar::Script_MeeteiMayek:
    case QChar::Script_Saurashtra:
    case QChar::Script_SylotiNagri:
    case QChar::Script_KayahLi:
    case QChar::Script_Rejang:
    case QChar::Script_Tagalog:
    case QChar::Script_Hanunoo:
    case QChar::Script_Buhid:
    case QChar::Script_Tagbanwa:
      return true;
    default:
      return false;
  }
}

bool IsComplexChar(Char AChar) {
  // Below the combining diacritical marks every character is simple.
  if (AChar < 0x0300) return false;
  const QChar c(AChar);
  if (c.isSurrogate()) return true;
  if (AChar == 0x200C || AChar == 0x200D || AChar == 0x200E || AChar == 0x200F)
    return true;  // ZWNJ ZWJ LRM RLM
  switch (c.category()) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
      return true;
    default:
      break;
  }
  switch (c.direction()) {
    case QChar::DirR:
    case QChar::DirAL:
    case QChar::DirAN:
    case QChar::DirLRE:
    case QChar::DirLRO:
    case QChar::DirRLE:
    case QChar::DirRLO:
    case QChar::DirPDF:
    case QChar::DirLRI:
    case QChar::DirRLI:
    case QChar::DirFSI:
    case QChar::DirPDI:
      return true;
    default:
      break;
  }
  // Conjoining Hangul jamo compose into syllables; precomposed syllables are simple.
  if ((AChar >= 0x1100 && AChar <= 0x11FF) || (AChar >= 0xA960 && AChar <= 0xA97F) ||
      (AChar >= 0xD7B0 && AChar <= 0xD7FF))
    return true;
  return IsShapingScript(c.script());
}

}  // namespace

bool KivIsComplexText(TKivStringView AText) {
  return std::any_of(AText.begin(), AText.end(), IsComplexChar);
}

// ---- TQtShapedRun ----

namespace {

bool IsJoiner(Char AChar) {
  return AChar == 0x200C || AChar == 0x200D;
}

// Whether a run may be cut before AText[AIdx] without splitting a cluster.
bool ClusterBoundary(TKivStringView AText, size_t AIdx) {
  const QChar c(AText[AIdx]);
  if (c.isLowSurrogate() || IsJoiner(AText[AIdx]) || IsJoiner(AText[AIdx - 1])) return false;
  const QChar::Category category = c.category();
  return category != QChar::Mark_NonSpacing && category != QChar::Mark_SpacingCombining &&
         category != QChar::Mark_Enclosing;
}

// The end of the piece that starts at AStart.
size_t PieceEnd(TKivStringView AText, size_t AStart) {
  const size_t limit = AStart + size_t(TQtShapedRun::kPieceLength);
  if (AText.size() <= limit) return AText.size();
  for (size_t end = limit; end > AStart + TQtShapedRun::kPieceLength / 2; --end)
    if (AText[end - 1] == u' ') return end;
  for (size_t end = limit; end > AStart + 1; --end)
    if (ClusterBoundary(AText, end)) return end;
  return limit;
}

}  // namespace

TQtShapedRun::TQtShapedRun(TKivStringView AText, const QFont& AFont, QPaintDevice* ADevice,
                           TKivFontStyles AFs, TKivFontCharset ACharset)
    : FText(AText), FFs(AFs), FCharset(ACharset), FAreas(AText.size()) {
  // Each piece is one line, read left to right as a whole (right-to-left stretches are reordered
  // inside it), trailing spaces counted in the width.
  QTextOption option;
  option.setTextDirection(Qt::LeftToRight);
  option.setWrapMode(QTextOption::NoWrap);
  option.setFlags(QTextOption::IncludeTrailingSpaces);
  for (size_t start = 0; start < FText.size();) {
    const size_t end = PieceEnd(FText, start);
    TPiece piece;
    piece.Start = Integer(start);
    piece.Count = Integer(end - start);
    piece.Left = FWidth;
    piece.Layout = std::make_unique<QTextLayout>(ToQString(TKivStringView(FText).substr(start, end - start)),
                                                 AFont, ADevice);
    piece.Layout->setTextOption(option);
    piece.Layout->setCacheEnabled(true);
    piece.Layout->beginLayout();
    QTextLine line = piece.Layout->createLine();
    line.setLineWidth(std::numeric_limits<int>::max() / 4);
    piece.Layout->endLayout();
    piece.Width = std::max<Integer>(0, qRound(line.naturalTextWidth()));
    FWidth = KivSatAdd(FWidth, piece.Width);
    MeasureAreas(piece);
    FPieces.push_back(std::move(piece));
    start = end;
  }
}

void TQtShapedRun::MeasureAreas(const TPiece& APiece) {
  // The span of each character from its glyphs: a character's glyphs are those its cluster maps to.
  const Integer count = APiece.Count;
  struct TSpan {
    qreal Left, Right;
    bool Rtl, HasGlyph;
  };
  std::vector<TSpan> spans(size_t(count), TSpan{0, 0, false, false});
  for (Integer i = 0; i < count; ++i) {
    TSpan& span = spans[size_t(i)];
    for (const QGlyphRun& run : APiece.Layout->glyphRuns(i, 1)) {
      const QList<quint32> glyphs = run.glyphIndexes();
      const QList<QPointF> positions = run.positions();
      const QList<QPointF> advances = run.rawFont().advancesForGlyphIndexes(glyphs);
      for (qsizetype g = 0; g < glyphs.size() && g < positions.size() && g < advances.size(); ++g) {
        const qreal left = positions[g].x();
        const qreal right = left + advances[g].x();
        if (!span.HasGlyph) {
          span.Left = left;
          span.Right = right;
          span.HasGlyph = true;
        } else {
          span.Left = std::min(span.Left, left);
          span.Right = std::max(span.Right, right);
        }
      }
      span.Rtl = run.isRightToLeft();
    }
  }
  // Clusters: a character with glyphs and the following ones with the same glyphs.
  struct TCluster {
    Integer First, Count;
    qreal Left;
    bool Rtl;
    Integer Lo = 0, Hi = 0;
  };
  std::vector<TCluster> clusters;
  const QTextLine line = APiece.Layout->lineAt(0);
  TKivTextArea* areas = FAreas.data() + APiece.Start;
  for (Integer i = 0; i < count;) {
    const TSpan& span = spans[size_t(i)];
    if (!span.HasGlyph) {
      // Nothing drawn (a control, a joiner): an empty area where the cursor stands.
      int pos = i;
      const Integer x = APiece.Left + std::clamp<Integer>(qRound(line.cursorToX(&pos, QTextLine::Leading)), 0,
                                                          APiece.Width);
      areas[i] = TKivTextArea{x, x};
      ++i;
      continue;
    }
    Integer end = i + 1;
    while (end < count && spans[size_t(end)].HasGlyph && spans[size_t(end)].Left == span.Left &&
           spans[size_t(end)].Right == span.Right)
      ++end;
    clusters.push_back(TCluster{i, end - i, span.Left, span.Rtl});
    i = end;
  }
  // In visual order the clusters tile the piece without gaps: each ends where the next begins,
  // the first begins at the piece's left edge and the last ends at its right edge.
  std::vector<TCluster*> visual;
  for (TCluster& cluster : clusters) visual.push_back(&cluster);
  std::stable_sort(visual.begin(), visual.end(),
                   [](const TCluster* A, const TCluster* B) { return A->Left < B->Left; });
  for (size_t k = 0; k < visual.size(); ++k) {
    visual[k]->Lo =
        k == 0 ? 0 : std::clamp<Integer>(qRound(visual[k]->Left), visual[k - 1]->Lo, APiece.Width);
    if (k > 0) visual[k - 1]->Hi = visual[k]->Lo;
  }
  if (!visual.empty()) visual.back()->Hi = APiece.Width;
  // The characters of a cluster share its span in equal parts, in reading order.
  for (const TCluster& cluster : clusters) {
    const Integer lo = APiece.Left + cluster.Lo, hi = APiece.Left + cluster.Hi, width = hi - lo;
    for (Integer k = 0; k < cluster.Count; ++k) {
      const Integer a = width * k / cluster.Count, b = width * (k + 1) / cluster.Count;
      areas[cluster.First + k] = cluster.Rtl ? TKivTextArea{hi - a, hi - b} : TKivTextArea{lo + a, lo + b};
    }
  }
}

TKivTextArea TQtShapedRun::CharArea(Integer AIndex) const {
  if (AIndex < 0 || AIndex >= Integer(FAreas.size())) return {};
  return FAreas[size_t(AIndex)];
}

Integer TQtShapedRun::CharAt(Integer AX, bool& ATrailing) const {
  const Integer count = Integer(FAreas.size());
  ATrailing = false;
  if (count == 0) return -1;
  if (AX < 0) return 0;
  if (AX >= FWidth) {
    ATrailing = true;
    return count - 1;
  }
  // The piece under AX, then its character whose span holds AX (the spans tile the piece; the
  // nearest one should a piece hold only characters that draw nothing).
  const auto piece = std::prev(std::upper_bound(FPieces.begin(), FPieces.end(), AX,
                                                [](Integer X, const TPiece& P) { return X < P.Left; }));
  Integer best = piece->Start;
  Integer bestDistance = std::numeric_limits<Integer>::max();
  for (Integer i = piece->Start; i < piece->Start + piece->Count; ++i) {
    const TKivTextArea& area = FAreas[size_t(i)];
    const Integer left = std::min(area.Leading, area.Trailing), right = std::max(area.Leading, area.Trailing);
    if (left <= AX && AX < right) {
      best = i;
      break;
    }
    const Integer distance = AX < left ? left - AX : AX - right + 1;
    if (left < right && distance < bestDistance) {
      bestDistance = distance;
      best = i;
    }
  }
  // Trailing when the pixel is nearer the trailing edge; the middle counts as leading.
  const TKivTextArea& area = FAreas[size_t(best)];
  ATrailing = std::abs(AX - area.Trailing) < std::abs(AX - area.Leading);
  return best;
}

bool TQtShapedRun::Matches(TKivStringView AText, TKivFontStyles AFs, TKivFontCharset ACharset) const {
  return AFs == FFs && ACharset == FCharset && AText == FText;
}

void TQtShapedRun::Draw(QPainter& APainter, qreal AX, qreal ABaseline) const {
  for (const TPiece& piece : FPieces) {
    const QTextLine line = piece.Layout->lineAt(0);
    line.draw(&APainter, QPointF(AX + piece.Left, ABaseline - line.ascent()));
  }
}

// ---- TQtFontSet ----

TQtFontSet::TQtFontSet(const QFont& ABase, QPaintDevice* ADevice) : FBase(ABase), FDevice(ADevice) {}

void TQtFontSet::Reset(const QFont& ABase) {
  FBase = ABase;
  FStyles.clear();
  FChars.clear();
  for (auto& style : FAscii) std::fill(std::begin(style), std::end(style), nullptr);
  FRawFonts.clear();
  FBaseAscent = -1;
}

TQtFontSet::TStyleFont& TQtFontSet::Style(TKivFontStyles AFs, TKivFontCharset ACharset) {
  auto& slot = FStyles[StyleCode(AFs, ACharset)];
  if (!slot) {
    QFont font = FDevice ? QFont(FBase, FDevice) : FBase;
    font.setBold((AFs & fsBold) != 0);
    font.setItalic((AFs & fsItalic) != 0);
    font.setUnderline((AFs & fsUnderline) != 0);
    font.setStrikeOut((AFs & fsStrikeOut) != 0);
    // Glyphs go where the advances were measured: no kerning between them.
    font.setKerning(false);
    QFontMetricsF metrics = FDevice ? QFontMetricsF(font, FDevice) : QFontMetricsF(font);
    slot = std::make_unique<TStyleFont>(TStyleFont{font, metrics, QRawFont(), false});
  }
  return *slot;
}

TQtFontSet::TCharEntry& TQtFontSet::Entry(Char AChar, TKivFontStyles AFs, TKivFontCharset ACharset) {
  const bool ascii = AChar < 128 && ACharset == kivDefaultCharset && AFs < 16;
  if (ascii && FAscii[AFs][AChar]) return *FAscii[AFs][AChar];
  TCharEntry& entry = FChars[Cardinal(AChar) | (Cardinal(AFs) << 16) | (Cardinal(ACharset) << 24)];
  if (entry.Width < 0) {
    const qreal advance = Style(AFs, ACharset).Metrics.horizontalAdvance(QString(QChar(AChar)));
    entry.Width = std::max<Integer>(0, qRound(advance));
  }
  if (ascii) FAscii[AFs][AChar] = &entry;
  return entry;
}

Integer TQtFontSet::CharWidth(Char AChar, TKivFontStyles AFs, TKivFontCharset ACharset) {
  return Entry(AChar, AFs, ACharset).Width;
}

int32_t TQtFontSet::RawFontIndex(const QRawFont& AFont) {
  for (size_t i = 0; i < FRawFonts.size(); ++i)
    if (FRawFonts[i] == AFont) return int32_t(i);
  FRawFonts.push_back(AFont);
  return int32_t(FRawFonts.size() - 1);
}

const TQtFontSet::TCharEntry& TQtFontSet::Glyph(Char AChar, TKivFontStyles AFs, TKivFontCharset ACharset) {
  TCharEntry& entry = Entry(AChar, AFs, ACharset);
  if (entry.FontIdx != -2) return entry;
  entry.FontIdx = -1;
  if (QChar::isSurrogate(AChar)) return entry;
  TStyleFont& style = Style(AFs, ACharset);
  if (!style.RawLoaded) {
    style.Raw = QRawFont::fromFont(style.Font);
    style.RawLoaded = true;
  }
  const QString text(QChar{AChar});
  if (style.Raw.isValid() && style.Raw.supportsCharacter(QChar(AChar))) {
    const QList<quint32> glyphs = style.Raw.glyphIndexesForString(text);
    if (glyphs.size() == 1) {
      entry.FontIdx = RawFontIndex(style.Raw);
      entry.Glyph = glyphs[0];
    }
    return entry;
  }
  // Not in the font: the font Qt falls back to, unless that is the fallback that draws boxes
  // (it has no character map, and its raw font is not safe to use).
  QTextLayout layout(text, style.Font, FDevice);
  layout.beginLayout();
  layout.createLine();
  layout.endLayout();
  const QList<QGlyphRun> runs = layout.glyphRuns();
  if (runs.size() == 1 && runs[0].glyphIndexes().size() == 1) {
    const QRawFont raw = runs[0].rawFont();
    if (raw.isValid() && !raw.fontTable("cmap").isEmpty()) {
      entry.FontIdx = RawFontIndex(raw);
      entry.Glyph = runs[0].glyphIndexes()[0];
    }
  }
  return entry;
}

Integer TQtFontSet::BaseAscent() {
  if (FBaseAscent < 0) FBaseAscent = Integer(std::ceil(Style(0, kivDefaultCharset).Metrics.ascent()));
  return FBaseAscent;
}

// ---- TKivQtMeasureSurface ----

TKivQtMeasureSurface::TKivQtMeasureSurface(const QFont& AFont, QPaintDevice* ADevice)
    : FFonts(std::make_unique<TQtFontSet>(AFont, ADevice)) {}

TKivQtMeasureSurface::~TKivQtMeasureSurface() = default;

const QFont& TKivQtMeasureSurface::Font() const {
  return FFonts->Base();
}

QPaintDevice* TKivQtMeasureSurface::Device() const {
  return FFonts->Device();
}

void TKivQtMeasureSurface::SetFont(const QFont& AFont) {
  FFonts->Reset(AFont);
}

const QFont& TKivQtMeasureSurface::StyledFont(TKivFontStyles AFs, TKivFontCharset ACharset) {
  return FFonts->Style(AFs, ACharset).Font;
}

Integer TKivQtMeasureSurface::CharWidth(Char AChar, TKivFontStyles AFs, TKivFontCharset ACharset) {
  return FFonts->CharWidth(AChar, AFs, ACharset);
}

Integer TKivQtMeasureSurface::SpaceWidth() {
  return FFonts->CharWidth(u' ', 0, kivDefaultCharset);
}

TKivFontMetrics TKivQtMeasureSurface::Metrics(TKivFontStyles AFs) {
  const QFontMetricsF& m = FFonts->Style(AFs, kivDefaultCharset).Metrics;
  TKivFontMetrics res;
  // Whole pixels that hold the glyphs: ascent and descent rounded up.
  res.Ascent = Integer(std::ceil(m.ascent()));
  res.Descent = Integer(std::ceil(m.descent()));
  res.Height = res.Ascent + res.Descent;
  res.ExternalLeading = std::max<Integer>(0, qRound(m.leading()));
  res.AveCharWidth = std::max<Integer>(1, qRound(m.averageCharWidth()));
  return res;
}

std::unique_ptr<IKivShapedRun> TKivQtMeasureSurface::Shape(TKivStringView AText, TKivFontStyles AFs,
                                                           TKivFontCharset ACharset) {
  return std::make_unique<TQtShapedRun>(AText, FFonts->Style(AFs, ACharset).Font, FFonts->Device(), AFs,
                                        ACharset);
}
