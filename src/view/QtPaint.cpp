// The painting surface on QPainter and the gutter's built-in images.
#include <QGlyphRun>
#include <QPainter>
#include <QRegion>
#include <QSvgRenderer>
#include <cmath>
#include <map>

#include "KivSedQtColors.h"
#include "KivSedQtPaint.h"
#include "internal/QtFonts.h"

// The resource of a static library is linked in only when something names it.
static void KivInitViewResources() {
  static const bool done = [] {
    Q_INIT_RESOURCE(KivViewImages);
    return true;
  }();
  (void)done;
}

namespace {

struct TBuiltinImage {
  const char* Name;  // file of the resource, none when there is no built-in image
  int Width, Height;
};

constexpr TBuiltinImage kBuiltinImages[giWrap + 1] = {
    {"bookmark", 14, 16},        // giBookmark
    {"break_active", 13, 13},    // giBreakpointActive
    {"break_inactive", 13, 13},  // giBreakpointInactive
    {"break_disabled", 13, 13},  // giBreakpointDisabled
    {nullptr, 0, 0},             // giFrame
    {"dbg_top", 14, 14},         // giFrameTop
    {"dbg_active", 14, 14},      // giFrameActive
    {"fold_plus", 11, 11},       // giFoldPlus
    {"fold_minus", 11, 11},      // giFoldMinus
    {nullptr, 0, 0},             // giFoldEnd
    {"wrap_line", 14, 12},       // giWrap
};

bool ValidKind(TKivGutterImage AKind) {
  return unsigned(AKind) <= unsigned(giWrap);
}

// The built-in image rendered for a device pixel ratio, once per process.
QImage BuiltinImage(TKivGutterImage AKind, qreal ARatio) {
  static std::map<std::pair<int, int>, QImage> cache;
  const TBuiltinImage& info = kBuiltinImages[AKind];
  if (!info.Name) return {};
  const int ratioKey = int(std::lround(ARatio * 100));
  auto [it, added] = cache.try_emplace({int(AKind), ratioKey});
  if (added) {
    KivInitViewResources();
    QSvgRenderer renderer(QStringLiteral(":/kivview/%1.svg").arg(QLatin1String(info.Name)));
    QImage image(int(std::ceil(info.Width * ARatio)), int(std::ceil(info.Height * ARatio)),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
      QPainter painter(&image);
      renderer.render(&painter, QRectF(0, 0, image.width(), image.height()));
    }
    image.setDevicePixelRatio(ARatio);
    it->second = image;
  }
  return it->second;
}

QRect ToQRect(const TKivRect& ARect) {
  return QRect(ARect.Left, ARect.Top, ARect.Width(), ARect.Height());
}

bool Contains(const TKivRect& AOuter, const TKivRect& AInner) {
  return AOuter.Left <= AInner.Left && AInner.Right <= AOuter.Right && AOuter.Top <= AInner.Top &&
         AInner.Bottom <= AOuter.Bottom;
}

}  // namespace

QSize KivGutterImageSize(TKivGutterImage AKind) {
  if (!ValidKind(AKind) || !kBuiltinImages[AKind].Name) return {};
  return QSize(kBuiltinImages[AKind].Width, kBuiltinImages[AKind].Height);
}

TKivQtPaintSurface::TKivQtPaintSurface(QPainter& APainter, TKivQtMeasureSurface& AMeasure)
    : FPainter(APainter), FMeasure(AMeasure) {
  if (!APainter.isActive()) throw EKivEditViewError(u"The painter is not active");
}

void TKivQtPaintSurface::SetImage(TKivGutterImage AKind, const QImage& AImage) {
  if (!ValidKind(AKind)) throw EKivEditViewError(u"Unknown gutter image: %d", {int(AKind)});
  FOwnImages[AKind] = AImage;
}

QImage TKivQtPaintSurface::Image(TKivGutterImage AKind) {
  if (!ValidKind(AKind)) return {};
  if (!FOwnImages[AKind].isNull()) return FOwnImages[AKind];
  const QPaintDevice* device = FPainter.device();
  return BuiltinImage(AKind, device ? device->devicePixelRatioF() : 1.0);
}

void TKivQtPaintSurface::FillRect(const TKivRect& ARect, TKivColor AColor) {
  if (ARect.IsEmpty()) return;
  FPainter.fillRect(ToQRect(ARect), KivToQColor(AColor));
}

void TKivQtPaintSurface::DrawSimple(qreal AX, qreal ABaseline, TKivStringView AText, TKivFontStyles AFs,
                                    TKivFontCharset ACharset) {
  TQtFontSet& fonts = FMeasure.Fonts();
  QList<quint32> glyphs;
  QList<QPointF> positions;
  int32_t runFont = -1;
  auto flush = [&] {
    if (glyphs.isEmpty()) return;
    QGlyphRun run;
    run.setRawFont(fonts.RawFont(runFont));
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    FPainter.drawGlyphRun(QPointF(0, 0), run);
    glyphs.clear();
    positions.clear();
  };
  qreal x = AX;
  for (const Char c : AText) {
    const TQtFontSet::TCharEntry& entry = fonts.Glyph(c, AFs, ACharset);
    if (entry.FontIdx >= 0) {
      if (entry.FontIdx != runFont) {
        flush();
        runFont = entry.FontIdx;
      }
      glyphs.append(entry.Glyph);
      positions.append(QPointF(x, ABaseline));
    } else if (c > u' ') {
      // No usable glyph: Qt draws the character its own way, at the same place.
      flush();
      QFont font = fonts.Style(AFs, ACharset).Font;
      font.setUnderline(false);  // the run's lines are drawn below, once
      font.setStrikeOut(false);
      FPainter.setFont(font);
      FPainter.drawText(QPointF(x, ABaseline), QString(QChar(c)));
    }
    x += entry.Width;
  }
  flush();
  // Lines along the whole measured run, spaces included. (A glyph run's own decorations end at
  // its last glyph's origin.)
  if (AFs & (fsUnderline | fsStrikeOut)) {
    const QFontMetricsF& metrics = fonts.Style(AFs, ACharset).Metrics;
    const qreal thickness = std::max<qreal>(1, std::round(metrics.lineWidth()));
    const QColor color = FPainter.pen().color();
    auto line = [&](qreal AY) {
      FPainter.fillRect(QRectF(AX, std::round(AY - thickness / 2), x - AX, thickness), color);
    };
    if (AFs & fsUnderline) line(ABaseline + metrics.underlinePos());
    if (AFs & fsStrikeOut) line(ABaseline - metrics.strikeOutPos());
  }
}

void TKivQtPaintSurface::DrawText(const TKivPoint& APos, TKivStringView AText, const IKivShapedRun* AShaped,
                                  TKivColor AColor, TKivFontStyles AFs, TKivFontCharset ACharset,
                                  const TKivRect& AClip) {
  if (AText.empty() || AClip.IsEmpty()) return;
  TQtFontSet& fonts = FMeasure.Fonts();
  // The shaping result to draw from: the caller's when it is ours and of this very run.
  const TQtShapedRun* shaped = dynamic_cast<const TQtShapedRun*>(AShaped);
  std::unique_ptr<IKivShapedRun> ownShaped;
  if (shaped && !shaped->Matches(AText, AFs, ACharset)) shaped = nullptr;
  if (!shaped && (AShaped || KivIsComplexText(AText))) {
    ownShaped = FMeasure.Shape(AText, AFs, ACharset);
    shaped = static_cast<const TQtShapedRun*>(ownShaped.get());
  }
  Integer width = 0;
  if (shaped) {
    width = shaped->Width();
  } else {
    for (const Char c : AText) width = KivSatAdd(width, fonts.CharWidth(c, AFs, ACharset));
  }
  const TKivFontMetrics metrics = FMeasure.Metrics(AFs);
  const TKivRect textRect{APos.X, APos.Y, KivSatAdd(APos.X, width), KivSatAdd(APos.Y, metrics.Height)};
  if (!textRect.Intersects(AClip)) return;
  const bool clip = !Contains(AClip, textRect);
  if (clip) {
    FPainter.save();
    FPainter.setClipRect(ToQRect(AClip), Qt::IntersectClip);
  }
  FPainter.setPen(KivToQColor(AColor));
  const qreal baseline = qreal(APos.Y) + fonts.BaseAscent();
  if (shaped) {
    shaped->Draw(FPainter, APos.X, baseline);
  } else {
    DrawSimple(APos.X, baseline, AText, AFs, ACharset);
  }
  if (clip) FPainter.restore();
}

void TKivQtPaintSurface::SetClipRects(const std::vector<TKivRect>& ARects) {
  QRegion region;
  for (const TKivRect& rect : ARects)
    if (!rect.IsEmpty()) region += ToQRect(rect);
  // QPainter takes an empty region for no clip at all; an empty union must paint nothing, so it
  // becomes a pixel off the device.
  if (region.isEmpty()) region = QRegion(-2, -2, 1, 1);
  FPainter.setClipRegion(region);
}

void TKivQtPaintSurface::ClearClip() {
  FPainter.setClipping(false);
}

void TKivQtPaintSurface::VLine(Integer AX, Integer AY0, Integer AY1, TKivColor AColor) {
  if (AY1 <= AY0) return;
  FPainter.fillRect(QRect(AX, AY0, 1, AY1 - AY0), KivToQColor(AColor));
}

void TKivQtPaintSurface::HLine(Integer AX0, Integer AX1, Integer AY, TKivColor AColor) {
  if (AX1 <= AX0) return;
  FPainter.fillRect(QRect(AX0, AY, AX1 - AX0, 1), KivToQColor(AColor));
}

bool TKivQtPaintSurface::HasImage(TKivGutterImage AKind) {
  return !Image(AKind).isNull();
}

void TKivQtPaintSurface::DrawImage(TKivGutterImage AKind, const TKivRect& ARect) {
  const QImage image = Image(AKind);
  if (image.isNull()) return;
  const QSizeF size = image.deviceIndependentSize();
  const int w = int(std::lround(size.width())), h = int(std::lround(size.height()));
  FPainter.drawImage(QPointF(ARect.Left + (ARect.Width() - w) / 2, ARect.Top + (ARect.Height() - h) / 2),
                     image);
}

void TKivQtPaintSurface::Save() {
  FPainter.save();
  ++FSaveDepth;
}

void TKivQtPaintSurface::Restore() {
  if (FSaveDepth == 0) throw EKivEditViewError(u"Restore without a matching Save");
  --FSaveDepth;
  FPainter.restore();
}
