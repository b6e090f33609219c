// KivSedParser: the syntax engine. Colour schemes and token attributes, the XML syntax scheme
// loader, the incremental tokenizer behind the document's parser contract, and code folding.
//
// Linking this library installs TKivEditParser as the parser of every new document
// (TKivEditDocument::SetDefaultParserFactory), so a document highlights without extra calls.
#pragma once

#include <exception>
#include <memory>

#include "KivSedDocument.h"
#include "KivSedParserNoWait.h"
#include "KivXML.h"

// ---------------------------------------------------------------------------------------------
// Token attributes

// A token's attributes together with the custom-attribute table they use. The table is shared
// and never changed once it is in a holder: merging writes into a fresh copy, so a merge never
// changes the base's table. Invariant: Attrs.CustomAttributes == Custom.get().
struct TKivAttributesHolder {
  TKivEditAttributes Attrs;
  std::shared_ptr<TKivStringHashTable> Custom;

  void SetCustom(std::shared_ptr<TKivStringHashTable> ATable);
};

// Copies colours, font style and the defined set; with ACopyCustom ADest gets its own copy of the
// custom table, otherwise it shares the source's.
void AssignAttributes(TKivAttributesHolder& ADest, const TKivAttributesHolder& ASource, bool ACopyCustom);
// Drops the custom table and empties the defined set.
void ClearAttributes(TKivAttributesHolder& AAttrs);
// The runtime attributes of a token over a base: defined colours of the token win, font styles
// add up, custom tables merge with the token's values winning, the defined sets are joined.
TKivAttributesHolder MergeAttributes(const TKivAttributesHolder& ABase, bool ACopyBaseCustom,
                                     const TKivAttributesHolder& AToken);
// Decodes one <Token> element of a colour scheme. AAttributes must come without custom
// attributes (else EInvalidArgument); errors are EKivColorSchemeLoadError.
void KivDecodeTokenXML(const IKivXmlElement& ANode, TKivAttributesHolder& AAttributes, TKivString& AName);

// The fixed name of an error's class, as the scheme loaders' messages write it
// ("EKivSyntaxSchemeLoadError", "EKivColorSchemeLoadError", ..., "EFileError", "Exception").
TKivString KivErrorClassName(const std::exception& AError);

// ---------------------------------------------------------------------------------------------
// The parser

class TParserImpl;

// The syntax engine's parser: forwards to its implementation while a scheme is loaded and
// behaves as the base parser otherwise.
//
// A TKivEditParsedLine returned by GetParsedLine stays valid only until the next call of any
// parser operation: the line cache recycles its lines. Copy the tokens out before asking again.
class TKivEditParser : public TKivEditParserBase, public IKivEditParserNoWait {
 public:
  TKivEditParser();
  ~TKivEditParser() override;

  void SetDocument(TKivEditDocument* ADoc) override;
  Integer GetParentLine(Integer ALine) override;
  Integer GetFoldEnd(Integer ALineStart) override;
  Integer GetFoldStart(Integer ALineEnd) override;
  bool IsFoldStart(Integer ALine) override;
  Integer KnownFoldEnd(Integer ALineStart) override;
  Integer LastParsedLine() override;
  bool IsFoldEnd(Integer ALine) override;
  void EnsureLineParsed(Integer ALine) override;
  void SetMaxLineLengthToParse(Integer AValue) override;
  void MarkTokens(Integer ALine, TKivTokenHandler& AHandler) override;
  TKivEditParsedLine* GetParsedLine(Integer ALine) override;
  // The screen's path that never waits (IKivEditParserNoWait).
  bool IsLineReady(Integer ALine) override;
  bool MarkTokensNoWait(Integer ALine, TKivTokenHandler& AHandler) override;
  bool ParseSome(Integer ALine, Integer ALines) override;
  void LineChanged(Integer ALine) override;
  void LinesChangedFrom(Integer AStart) override;
  void Refresh() override;
  TKivIntArray GetAllTokenIDs(const TKivString& ATokenName) override;

  void SetSchemeLoaders(TKivEditParserSchemeLoader ASyntaxLoader,
                        TKivEditParserSchemeLoader AColorLoader) override;
  // Loads the colour scheme AColorName and the syntax document ASyntaxName (with the documents
  // it refers to). Errors are EKivSyntaxSchemeLoadError / EKivColorSchemeLoadError; after a
  // failed load call UnloadSchemes before using the parser again.
  void LoadSchemeDoc(const TKivString& ASyntaxName, const TKivString& AColorName) override;
  void UnloadSchemes() override;
  bool IsSchemeLoaded() const;

  // Directories of scheme files, used when no loader is set.
  const TKivString& SchemesDir() const;
  void SetSchemesDir(const TKivString& AValue);
  const TKivString& AttrsDir() const;
  void SetAttrsDir(const TKivString& AValue);

  // The tokens of the loaded syntax scheme: their number, and the name of the token with id
  // ATokenID (the ids GetParsedLine and MarkTokens hand out, 0 .. TokenCount() - 1); an empty
  // name for any other id. No tokens without a scheme.
  Integer TokenCount() const;
  TKivString TokenName(Integer ATokenID) const;

 private:
  friend struct TKivTestAccess;
  std::unique_ptr<TParserImpl> FImpl;
};

// Installs TKivEditParser as the parser of new documents. A program linked through the CMake
// targets gets this call at start-up (from the library kivsyntaxregister, linked whole); a
// program linked otherwise calls it once before it makes documents. Calling it again is harmless.
void KivSedParserRegister();
