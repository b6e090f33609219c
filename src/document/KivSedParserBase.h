// The parser contract: what the document needs from the parser it owns (folds, tokens, the
// lines an edit changed), and the token records a parser hands out. The base parses nothing;
// the syntax engine's parser implements the contract.
#pragma once

#include <cstdint>
#include <vector>

#include "KivSedSchemes.h"
#include "KivSedUtils.h"
#include "KivStrings.h"
#include "KivTypes.h"

class TKivEditDocument;

enum TKivFontStyle : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TKivFontStyles = uint8_t;  // a set of TKivFontStyle bits

enum TKivEditAttributesSetEnum : uint8_t {
  asBackgroundColor = 1,
  asTextColor = 2,
  asFontStyle = 4,
  asCustomAttributes = 8
};
using TKivEditAttributesSet = uint8_t;  // the attributes that are defined

// A token's display attributes; undefined ones are left to whoever draws. The custom
// attribute table is not owned by the record: its holder keeps an ownership flag beside it.
struct TKivEditAttributes {
  TKivStringHashTable* CustomAttributes = nullptr;
  TKivColor BackgroundColor = 0;
  TKivColor TextColor = 0;
  TKivFontStyles FontStyle = 0;
  TKivEditAttributesSet AttributesSet = 0;
};

struct TKivEditParsedToken {
  TKivSegment Seg;
  TKivEditAttributes Attrs;
  Integer TokenID = 0;
};
using TKivEditParsedTokenArray = std::vector<TKivEditParsedToken>;

// Receives the tokens of a line in order.
class TKivTokenHandler {
 public:
  virtual ~TKivTokenHandler() = default;
  virtual void HandleToken(const TKivSegment& ASeg, Integer ATokenID,
                           const TKivEditAttributes& Attributes) = 0;
};

class TKivEditParsedLine {
 public:
  virtual ~TKivEditParsedLine() = default;
  virtual Integer TokenCount() = 0;
  virtual Integer GetTokenIdx(Integer ACol) = 0;
  // Fills at most Arr.size() entries from token AStart on; returns the number filled.
  virtual Integer GetTokens(Integer AStart, Integer ACount, TKivEditParsedTokenArray& Arr) = 0;
};

// The parser a document owns. This base parses nothing: no folds, every line one token.
// The syntax engine's parser overrides it; the document tells it about every edit.
class TKivEditParserBase {
 public:
  TKivEditParserBase() = default;
  TKivEditParserBase(const TKivEditParserBase&) = delete;
  TKivEditParserBase& operator=(const TKivEditParserBase&) = delete;
  virtual ~TKivEditParserBase() = default;

  virtual void SetDocument(TKivEditDocument* ADoc) { FDoc = ADoc; }
  virtual TKivEditDocument* GetDocument() const { return FDoc; }
  virtual Integer GetFoldLevel(Integer ALine);
  virtual Integer GetParentLine(Integer ALine);
  virtual Integer GetFoldEnd(Integer ALineStart);
  virtual Integer GetFoldStart(Integer ALineEnd);
  virtual bool IsFoldStart(Integer ALine);
  virtual bool IsFoldEnd(Integer ALine);
  virtual void EnsureLineParsed(Integer ALine);
  // For work that parses in batches (folding every fold of a large text): the end of the fold
  // starting at ALineStart as far as parsing already got, without parsing on to a far end: -1
  // when the line starts no fold, kFoldEndUnknown while its end lies beyond the parsed lines.
  // LastParsedLine is the last line parsing got to. The base parses nothing and knows all.
  static constexpr Integer kFoldEndUnknown = -2;
  virtual Integer KnownFoldEnd(Integer ALineStart) { return GetFoldEnd(ALineStart); }
  virtual Integer LastParsedLine();
  virtual void SetMaxLineLengthToParse(Integer AValue) { FMaxLineLengthToParse = AValue; }
  Integer MaxLineLengthToParse() const { return FMaxLineLengthToParse; }
  // Hands the whole line to AHandler as one token with ID 0 and empty attributes.
  virtual void MarkTokens(Integer ALine, TKivTokenHandler& AHandler);
  // None in the base.
  virtual TKivEditParsedLine* GetParsedLine(Integer ALine);
  virtual void LineChanged(Integer ALine);
  virtual void LinesChangedFrom(Integer AStart);
  virtual void Refresh() {}
  virtual TKivIntArray GetAllTokenIDs(const TKivString& ATokenName);
  // Scheme loading (the syntax engine's parser implements them).
  virtual void SetSchemeLoaders(TKivEditParserSchemeLoader ASyntaxLoader,
                                TKivEditParserSchemeLoader AColorLoader) {
    (void)ASyntaxLoader;
    (void)AColorLoader;
  }
  virtual void LoadSchemeDoc(const TKivString& ASyntaxName, const TKivString& AColorName) {
    (void)ASyntaxName;
    (void)AColorName;
  }
  virtual void UnloadSchemes() {}

 protected:
  TKivEditDocument* FDoc = nullptr;
  Integer FMaxLineLengthToParse = 1000;
};
