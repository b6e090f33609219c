// TKivEditParser: the document's parser contract over TParserImpl.
#include "KivSedParser.h"

#include "internal/ParserImpl.h"

TKivEditParser::TKivEditParser() : FImpl(std::make_unique<TParserImpl>(201, 50)) {}

TKivEditParser::~TKivEditParser() = default;

void TKivEditParser::SetDocument(TKivEditDocument* ADoc) {
  TKivEditParserBase::SetDocument(ADoc);
}

Integer TKivEditParser::GetParentLine(Integer ALine) {
  return TKivEditParserBase::GetParentLine(ALine);
}

Integer TKivEditParser::GetFoldEnd(Integer ALineStart) {
  return TKivEditParserBase::GetFoldEnd(ALineStart);
}

Integer TKivEditParser::GetFoldStart(Integer ALineEnd) {
  return TKivEditParserBase::GetFoldStart(ALineEnd);
}

bool TKivEditParser::IsFoldStart(Integer ALine) {
  return TKivEditParserBase::IsFoldStart(ALine);
}

bool TKivEditParser::IsFoldEnd(Integer ALine) {
  return TKivEditParserBase::IsFoldEnd(ALine);
}

void TKivEditParser::EnsureLineParsed(Integer ALine) {
  TKivEditParserBase::EnsureLineParsed(ALine);
}

void TKivEditParser::SetMaxLineLengthToParse(Integer AValue) {
  if (AValue == FMaxLineLengthToParse) return;
  TKivEditParserBase::SetMaxLineLengthToParse(AValue);
}

void TKivEditParser::MarkTokens(Integer ALine, TKivTokenHandler& AHandler) {
  TKivEditParserBase::MarkTokens(ALine, AHandler);
}

TKivEditParsedLine* TKivEditParser::GetParsedLine(Integer ALine) {
  return TKivEditParserBase::GetParsedLine(ALine);
}

void TKivEditParser::LineChanged(Integer ALine) {
  TKivEditParserBase::LineChanged(ALine);
}

void TKivEditParser::LinesChangedFrom(Integer AStart) {
  TKivEditParserBase::LinesChangedFrom(AStart);
}

void TKivEditParser::Refresh() {}

TKivIntArray TKivEditParser::GetAllTokenIDs(const TKivString& ATokenName) {
  if (!FImpl->IsSchemeLoaded()) return TKivEditParserBase::GetAllTokenIDs(ATokenName);
  return FImpl->GetAllTokenIDs(ATokenName);
}

void TKivEditParser::SetSchemeLoaders(TKivEditParserSchemeLoader ASyntaxLoader,
                                      TKivEditParserSchemeLoader AColorLoader) {
  FImpl->SetSchemeLoaders(std::move(ASyntaxLoader), std::move(AColorLoader));
}

void TKivEditParser::LoadSchemeDoc(const TKivString& ASyntaxName, const TKivString& AColorName) {
  FImpl->LoadSchemeDoc(ASyntaxName, AColorName);
}

void TKivEditParser::UnloadSchemes() {
  FImpl->UnloadSchemes();
}

bool TKivEditParser::IsSchemeLoaded() const {
  return FImpl->IsSchemeLoaded();
}

const TKivString& TKivEditParser::SchemesDir() const {
  return FImpl->FSchemesDir;
}
void TKivEditParser::SetSchemesDir(const TKivString& AValue) {
  FImpl->FSchemesDir = AValue;
}
const TKivString& TKivEditParser::AttrsDir() const {
  return FImpl->FAttrsDir;
}
void TKivEditParser::SetAttrsDir(const TKivString& AValue) {
  FImpl->FAttrsDir = AValue;
}
