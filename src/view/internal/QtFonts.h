// The fonts of a measuring surface by style and charset, the rounded advance and the glyph of
// every character measured, and the shaped form of complex runs.
#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QRawFont>
#include <QString>
#include <QTextLayout>
#include <memory>
#include <unordered_map>
#include <vector>

#include "KivSedMeasure.h"

class QPaintDevice;

// A run shaped by QTextLayout in one font. Widths and edges are whole pixels from the run's left
// edge; the edges of the characters of one cluster (a ligature, a base with its marks) share the
// cluster's span in equal parts, in reading order.
//
// A long run is shaped in pieces of at most kPieceLength code units, cut after a space where
// possible and never inside a cluster, laid side by side from left to right: the cost of finding
// each character's glyphs grows with the length of the layout, and a line of many thousands of
// complex characters would otherwise take seconds. Right-to-left text longer than a piece so
// keeps its order inside each piece only.
class TQtShapedRun : public IKivShapedRun {
 public:
  static constexpr Integer kPieceLength = 256;

  TQtShapedRun(TKivStringView AText, const QFont& AFont, QPaintDevice* ADevice, TKivFontStyles AFs,
               TKivFontCharset ACharset);

  Integer Width() const override { return FWidth; }
  TKivTextArea CharArea(Integer AIndex) const override;
  Integer CharAt(Integer AX, bool& ATrailing) const override;

  // What the run was shaped from, so that a painter can tell that it draws the same run.
  bool Matches(TKivStringView AText, TKivFontStyles AFs, TKivFontCharset ACharset) const;
  // Draws the run with its left edge at AX and its baseline at ABaseline, in the painter's pen.
  void Draw(QPainter& APainter, qreal AX, qreal ABaseline) const;
  Integer PieceCount() const { return Integer(FPieces.size()); }

 private:
  struct TPiece {
    Integer Start = 0;  // first code unit
    Integer Count = 0;
    Integer Left = 0;  // x of the piece's left edge in the run
    Integer Width = 0;
    std::unique_ptr<QTextLayout> Layout;
  };
  // Fills the areas of the piece's characters.
  void MeasureAreas(const TPiece& APiece);

  TKivString FText;
  TKivFontStyles FFs;
  TKivFontCharset FCharset;
  std::vector<TPiece> FPieces;
  Integer FWidth = 0;
  std::vector<TKivTextArea> FAreas;
};

class TQtFontSet {
 public:
  // One style and charset of the base font.
  struct TStyleFont {
    QFont Font;
    QFontMetricsF Metrics;
    QRawFont Raw;  // the font's own glyphs, loaded at the first glyph asked for
    bool RawLoaded = false;
  };
  // What a character is drawn as: a glyph of one of the raw fonts (FontIdx >= 0), or, for a
  // character no raw font can give (a lone surrogate, a box drawn by the fallback), its text.
  struct TCharEntry {
    Integer Width = -1;    // rounded advance; -1 until measured
    int32_t FontIdx = -2;  // -2 until the glyph was looked up, -1 for text
    quint32 Glyph = 0;
  };

  TQtFontSet(const QFont& ABase, QPaintDevice* ADevice);

  const QFont& Base() const { return FBase; }
  QPaintDevice* Device() const { return FDevice; }
  void Reset(const QFont& ABase);

  TStyleFont& Style(TKivFontStyles AFs, TKivFontCharset ACharset);
  Integer CharWidth(Char AChar, TKivFontStyles AFs, TKivFontCharset ACharset);
  // The measured character with its glyph looked up.
  const TCharEntry& Glyph(Char AChar, TKivFontStyles AFs, TKivFontCharset ACharset);
  const QRawFont& RawFont(int32_t AIdx) const { return FRawFonts[size_t(AIdx)]; }
  // Ascent of the base font in whole pixels: every style of a row shares this baseline.
  Integer BaseAscent();

 private:
  TCharEntry& Entry(Char AChar, TKivFontStyles AFs, TKivFontCharset ACharset);
  int32_t RawFontIndex(const QRawFont& AFont);

  QFont FBase;
  QPaintDevice* FDevice;
  std::unordered_map<Cardinal, std::unique_ptr<TStyleFont>> FStyles;
  std::unordered_map<Cardinal, TCharEntry> FChars;
  // The direct front of FChars for ASCII in the default charset, by style.
  TCharEntry* FAscii[16][128] = {};
  std::vector<QRawFont> FRawFonts;
  Integer FBaseAscent = -1;
};
