// TKivEditParser: the document's parser contract over TParserImpl.
#include "KivSedParser.h"

#include "internal/ParserImpl.h"

TKivEditParser::TKivEditParser() : FImpl(std::make_unique<TParserImpl>(201, 50)) {}

TKivEditParser::~TKivEditParser() = default;

void TKivEditParser::SetDocument(TKivEditDocument* ADoc) {
  TKivEditParserBase::SetDocument(ADoc);
  FImpl->SetDocument(ADoc);
}

Integer TKivEditParser::GetParentLine(Integer ALine) {
  if (!FImpl->IsSchemeLoaded()) return TKivEditParserBase::GetParentLine(ALine);
  return FImpl->GetParentLine(ALine);
}

Integer TKivEditParser::TokenCount() const {
  return FImpl->TokenCount();
}

TKivString TKivEditParser::TokenName(Integer ATokenID) const {
  if (ATokenID < 0 || ATokenID >= FImpl->TokenCount()) return {};
  return FImpl->Token(ATokenID)->Name;
}

Integer TKivEditParser::GetFoldEnd(Integer ALineStart) {
  if (!FImpl->IsSchemeLoaded()) return TKivEditParserBase::GetFoldEnd(ALineStart);
  return FImpl->GetFoldEnd(ALineStart);
}

Integer TKivEditParser::KnownFoldEnd(Integer ALineStart) {
  if (!FImpl->IsSchemeLoaded()) return TKivEditParserBase::KnownFoldEnd(ALineStart);
  return FImpl->KnownFoldEnd(ALineStart);
}

Integer TKivEditParser::LastParsedLine() {
  if (!FImpl->IsSchemeLoaded()) return TKivEditParserBase::LastParsedLine();
  return FImpl->LastParsedLine();
}

Integer TKivEditParser::GetFoldStart(Integer ALineEnd) {
  if (!FImpl->IsSchemeLoaded()) return TKivEditParserBase::GetFoldStart(ALineEnd);
  return FImpl->GetFoldStart(ALineEnd);
}

bool TKivEditParser::IsFoldStart(Integer ALine) {
  if (!FImpl->IsSchemeLoaded()) return TKivEditParserBase::IsFoldStart(ALine);
  return FImpl->IsFoldStart(ALine);
}

bool TKivEditParser::IsFoldEnd(Integer ALine) {
  if (!FImpl->IsSchemeLoaded()) return TKivEditParserBase::IsFoldEnd(ALine);
  return FImpl->IsFoldEnd(ALine);
}

void TKivEditParser::EnsureLineParsed(Integer ALine) {
  if (FImpl->IsSchemeLoaded()) FImpl->EnsureLineParsed(ALine);
}

void TKivEditParser::SetMaxLineLengthToParse(Integer AValue) {
  if (AValue == FMaxLineLengthToParse) return;
  TKivEditParserBase::SetMaxLineLengthToParse(AValue);
  FImpl->SetMaxLineLengthToParse(AValue);
}

void TKivEditParser::MarkTokens(Integer ALine, TKivTokenHandler& AHandler) {
  if (!FImpl->IsSchemeLoaded()) return TKivEditParserBase::MarkTokens(ALine, AHandler);
  FImpl->MarkTokens(ALine, AHandler);
}

TKivEditParsedLine* TKivEditParser::GetParsedLine(Integer ALine) {
  return FImpl->GetParsedLine(ALine);
}

bool TKivEditParser::IsLineReady(Integer ALine) {
  return FImpl->IsLineReady(ALine);
}

bool TKivEditParser::MarkTokensNoWait(Integer ALine, TKivTokenHandler& AHandler) {
  if (!FImpl->IsSchemeLoaded()) {
    MarkTokens(ALine, AHandler);
    return true;
  }
  return FImpl->MarkTokensNoWait(ALine, AHandler);
}

bool TKivEditParser::ParseSome(Integer ALine, Integer ALines) {
  return FImpl->ParseSome(ALine, ALines);
}

void TKivEditParser::LineChanged(Integer ALine) {
  if (FImpl->IsSchemeLoaded()) FImpl->LineChanged(ALine);
}

void TKivEditParser::LinesChangedFrom(Integer AStart) {
  if (FImpl->IsSchemeLoaded()) FImpl->InvalidateFrom(AStart);
}

void TKivEditParser::Refresh() {
  FImpl->Refresh();
}

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

void KivSedParserRegister() {
  TKivEditDocument::SetDefaultParserFactory([] { return std::make_unique<TKivEditParser>(); });
}
