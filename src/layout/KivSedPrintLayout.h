// The layout of a printed text: a screen cache of its own on a document, wrapped to the text width
// of a page and measured on the printer's surface, whose window is one page of rows.
//
// A print task makes one per pagination. It follows the document's edits like a view's cache, but
// tells nothing to a window: its owner supplies the host (no status, scroll bars or repaints), and
// any row can be put at the top of the page, the last one included.
#pragma once

#include <memory>

#include "KivSedMeasure.h"
#include "KivSedViewParts.h"

class TScreenCache;

class TKivPrintLayout {
 public:
  // Lays out AHost's document wrapped to ATextWidth pixels (> 0) in pages of ALinesPerPage rows
  // (> 0), measured on ACanvas, with the special characters ASpecChars (none: nothing shown).
  // Raises EKivEditViewError for a size below 1. The host, surface and characters are not owned
  // and must outlive the layout.
  TKivPrintLayout(IKivScreenCacheHost& AHost, IKivMeasureSurface& ACanvas, const TKivSpecialChars* ASpecChars,
                  Integer ATextWidth, Integer ALinesPerPage, Integer AWrapRulerWidth, Integer ATabWidth);
  ~TKivPrintLayout();
  TKivPrintLayout(const TKivPrintLayout&) = delete;
  TKivPrintLayout& operator=(const TKivPrintLayout&) = delete;

  // The document was destroyed: the layout holds nothing any more (only destroying it is safe).
  bool DocumentGone() const;
  // The layout as the painter takes it.
  TKivScreenLayout& Screen();
  // Shows lines AStartLine .. AEndLine as one collapsed row, as a view shows a collapsed fold.
  void CollapseLines(Integer AStartLine, Integer AEndLine);
  // Rows of the whole text.
  Integer RowCount();
  // Puts row ARow (0 .. RowCount() - 1) at the top of the page.
  void SetTopRow(Integer ARow);
  Integer TopRow();
  // Rows on the page from the top row on (fewer on the last page).
  Integer RowsOnPage();
  // The row that shows a character (a hidden one: the row of its collapsed fold).
  Integer OffsetRow(Integer AOffset);
  // The physical line of a row on the page, and whether the row is the line's first.
  Integer PageRowLine(Integer APageRow);
  bool PageRowIsLineStart(Integer APageRow);

 private:
  class TEditForwarder;
  IKivScreenCacheHost& FHost;
  std::unique_ptr<TScreenCache> FCache;
  std::unique_ptr<TEditForwarder> FForwarder;
};
