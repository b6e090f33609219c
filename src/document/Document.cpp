// The document's construction, properties, listeners, update brackets and parser.
#include <algorithm>

#include "internal/DocumentPrivate.h"

namespace {

constexpr const char* kModule = "KivSedDocument";

TKivEditDocument::TKivParserFactory& DefaultParserFactory() {
  static TKivEditDocument::TKivParserFactory factory;
  return factory;
}

TKivString FullSeparatorsOf(TKivStringView AWordSeparators) {
  TKivString full(AWordSeparators);
  for (Char c : {u'\r', u'\n', u'\f', u' ', u'\t'})
    if (full.find(c) == TKivString::npos) full += c;
  return full;
}

}  // namespace

// ---- parser base ----

Integer TKivEditParserBase::GetFoldLevel(Integer) {
  return 0;
}
Integer TKivEditParserBase::GetParentLine(Integer) {
  return -1;
}
Integer TKivEditParserBase::GetFoldEnd(Integer) {
  return -1;
}
Integer TKivEditParserBase::LastParsedLine() {
  return FDoc ? FDoc->LinesCount() - 1 : -1;
}
Integer TKivEditParserBase::GetFoldStart(Integer) {
  return -1;
}
bool TKivEditParserBase::IsFoldStart(Integer) {
  return false;
}
bool TKivEditParserBase::IsFoldEnd(Integer) {
  return false;
}
void TKivEditParserBase::EnsureLineParsed(Integer) {}
TKivEditParsedLine* TKivEditParserBase::GetParsedLine(Integer) {
  return nullptr;
}
void TKivEditParserBase::LineChanged(Integer) {}
void TKivEditParserBase::LinesChangedFrom(Integer) {}
TKivIntArray TKivEditParserBase::GetAllTokenIDs(const TKivString&) {
  return {};
}

void TKivEditParserBase::MarkTokens(Integer ALine, TKivTokenHandler& AHandler) {
  KIV_ASSERT(FDoc != nullptr, kModule);
  AHandler.HandleToken(FDoc->GetLine(ALine), 0, TKivEditAttributes{});
}

// ---- construction ----

TKivEditDocument::TKivEditDocument()
    : FStorage(std::make_unique<TGapStorage>(1024)),
      FLineManager(std::make_unique<TLineManager>(FStorage.get())),
      FUndoHost(std::make_unique<TUndoHostImpl>(*this)),
      FUndoManager(std::make_unique<TUndoManager>(*FUndoHost, DefaultUndoLimit)),
      FInternal(std::make_unique<TKivDocumentInternal>(*this)),
      FLines(std::make_unique<TDocumentStringsProxy>(*this)),
      FWordSeparators(DefaultWordSeparators),
      FFullWordSeparators(FullSeparatorsOf(DefaultWordSeparators)) {
  InitMarkers();
  InitFilesAndSchemes();
  const auto& factory = DefaultParserFactory();
  SetParser(factory ? factory() : nullptr);
  FModified = false;
  FModifiedReported = false;
  FChanges.Clear();
  FInConstructor = false;
}

TKivEditDocument::~TKivEditDocument() {
  try {
    while (FCompoundEditCnt > 0) CloseCompound(FCompoundFreeze);
  } catch (...) {
  }
  try {
    NotifyList(FCustomListeners, [](TKivDocumentListener& l) { l.DocumentDestroing(); });
    NotifyList(FListeners, [](TKivDocumentListener& l) { l.DocumentDestroing(); });
  } catch (...) {
  }
  if (FParser) FParser->SetDocument(nullptr);
}

void TKivEditDocument::SetDefaultParserFactory(TKivParserFactory AFactory) {
  DefaultParserFactory() = std::move(AFactory);
}

void TKivEditDocument::SetParser(std::unique_ptr<TKivEditParserBase> AParser) {
  if (!AParser) AParser = std::make_unique<TKivEditParserBase>();
  if (FParser) {
    FParser->SetSchemeLoaders(nullptr, nullptr);
    FParser->SetDocument(nullptr);
  }
  const Integer maxLength = FParser ? FParser->MaxLineLengthToParse() : -1;
  FParser = std::move(AParser);
  if (maxLength >= 0) FParser->SetMaxLineLengthToParse(maxLength);
  FParser->SetDocument(this);
  AttachSchemeLoaders();
}

void TKivEditDocument::Loaded() {
  // Lines read from the stored description are the document's original text.
  TUpdateGuard update(*this);
  FModified = false;
  FUndoManager->MarkSaved();
  FChanges.Clear();
  FModifiedReported = false;
  SchemesLoaded();
}

// ---- text and lines ----

TKivCharSeq& TKivEditDocument::Chars() {
  return *FStorage;
}
Integer TKivEditDocument::CharsCount() const {
  return FStorage->Count();
}
Integer TKivEditDocument::LinesCount() const {
  return FLineManager->Count();
}

TKivString TKivEditDocument::Text() {
  return GetText(0, CharsCount());
}

void TKivEditDocument::CopyChars(Integer AStart, Integer ACount, Char* ADest) const {
  if (ACount < 0 || AStart < 0 || AStart > CharsCount() || ACount > CharsCount() - AStart)
    throw EKivEditDocError(
        u"Invalid offset given to document: %d. Valid range: [%d, %d]",
        {ACount < 0 || AStart < 0 || AStart > CharsCount() ? AStart : AStart + ACount, 0, CharsCount()});
  while (ACount > 0) {
    const Char* chunk = nullptr;
    const Integer n = std::min(ACount, FStorage->GetChunk(AStart, chunk));
    KIV_ASSERT(n > 0, kModule);
    std::copy(chunk, chunk + n, ADest);
    ADest += n;
    AStart += n;
    ACount -= n;
  }
}

TKivString TKivEditDocument::GetText(Integer AStart, Integer ACount) const {
  TKivString s(size_t(std::max(ACount, 0)), u'\0');
  CopyChars(AStart, ACount, s.data());
  return s;
}

TKivSegment TKivEditDocument::GetLine(Integer ALine) const {
  return FLineManager->GetAt(ALine);
}

TKivSegment TKivEditDocument::GetLineWithCr(Integer ALine) const {
  TKivSegment seg = FLineManager->GetAt(ALine);
  const Integer end = ALine + 1 < LinesCount() ? FLineManager->GetLineStart(ALine + 1) : CharsCount();
  seg.Count = end - seg.Start;
  return seg;
}

TKivString TKivEditDocument::GetLineText(Integer ALine) const {
  const TKivSegment seg = GetLine(ALine);
  return GetText(seg.Start, seg.Count);
}

Integer TKivEditDocument::GetLineStart(Integer ALine) const {
  return FLineManager->GetLineStart(ALine);
}
Integer TKivEditDocument::GetLineEnd(Integer ALine) const {
  return FLineManager->GetLineEnd(ALine);
}
Integer TKivEditDocument::GetLineByOffset(Integer AOffset) const {
  return FLineManager->GetLineByOffset(AOffset);
}
bool TKivEditDocument::GetLineEndKind(Integer ALine, TKivLineSeparator& Res) const {
  return FLineManager->GetLineEndKind(ALine, Res);
}

void TKivEditDocument::CheckLine(Integer ALine) const {
  if (ALine < 0 || ALine >= LinesCount()) FLineManager->RaiseLineIdxError(ALine, LinesCount());
}

// ---- settings ----

void TKivEditDocument::BeginSettingsRefresh() {
  BeginUpdate();
  try {
    NotifyPublicFirst([](TKivDocumentListener& l) { l.BeforeSettingsRefresh(); });
  } catch (...) {
    EndUpdate(false);
    throw;
  }
}

void TKivEditDocument::EndSettingsRefresh() {
  TUpdateGuard closing(*this);
  EndUpdate(false);  // the guard above closes the bracket BeginSettingsRefresh opened
  NotifyViewsFirst([](TKivDocumentListener& l) { l.AfterSettingsRefresh(); });
  DoUserEventAfterDocChange();
}

void TKivEditDocument::SetReadOnly(bool AValue) {
  if (AValue == FReadOnly) return;
  TSettingsGuard settings(*this);
  FReadOnly = AValue;
}

void TKivEditDocument::SetLineSeparator(TKivLineSeparator AValue) {
  if (AValue != lsCR && AValue != lsLF && AValue != lsCRLF)
    throw EInvalidArgument(u"Invalid line separator: %d", {Integer(AValue)});
  if (AValue == FLineSeparator) return;
  TSettingsGuard settings(*this);
  FLineSeparator = AValue;
  FLineSeparatorStr = AValue == lsCR ? u"\r" : AValue == lsLF ? u"\n" : u"\r\n";
  FParser->Refresh();
}

void TKivEditDocument::SetWordSeparators(const TKivString& AValue) {
  if (AValue == FWordSeparators) return;
  TSettingsGuard settings(*this);
  FWordSeparators = AValue;
  FFullWordSeparators = FullSeparatorsOf(AValue);
  FParser->Refresh();
}

Integer TKivEditDocument::MaxLineLengthToParse() const {
  return FParser->MaxLineLengthToParse();
}

void TKivEditDocument::SetMaxLineLengthToParse(Integer AValue) {
  if (AValue == FParser->MaxLineLengthToParse()) return;
  TSettingsGuard settings(*this);
  FParser->SetMaxLineLengthToParse(AValue);
}

// ---- word search ----

Integer TKivEditDocument::FindNextWordStart(Integer AOffset, Integer AMaxCount, TKivStringView ASeparators) {
  return TKivWordSearch(*FStorage, FFullWordSeparators).FindNextWordStart(AOffset, AMaxCount, ASeparators);
}
Integer TKivEditDocument::FindPrevWordStart(Integer AOffset, Integer AMaxCount, TKivStringView ASeparators) {
  return TKivWordSearch(*FStorage, FFullWordSeparators).FindPrevWordStart(AOffset, AMaxCount, ASeparators);
}
Integer TKivEditDocument::FindNextWordEnd(Integer AOffset, Integer AMaxCount, TKivStringView ASeparators) {
  return TKivWordSearch(*FStorage, FFullWordSeparators).FindNextWordEnd(AOffset, AMaxCount, ASeparators);
}
Integer TKivEditDocument::FindPrevWordEnd(Integer AOffset, Integer AMaxCount, TKivStringView ASeparators) {
  return TKivWordSearch(*FStorage, FFullWordSeparators).FindPrevWordEnd(AOffset, AMaxCount, ASeparators);
}
TKivSegment TKivEditDocument::FindNextWord(Integer AOffset, Integer AMaxCount, TKivStringView ASeparators) {
  return TKivWordSearch(*FStorage, FFullWordSeparators).FindNextWord(AOffset, AMaxCount, ASeparators);
}
TKivSegment TKivEditDocument::FindPrevWord(Integer AOffset, Integer AMaxCount, TKivStringView ASeparators) {
  return TKivWordSearch(*FStorage, FFullWordSeparators).FindPrevWord(AOffset, AMaxCount, ASeparators);
}
TKivSegment TKivEditDocument::FindNearWord(Integer AOffset, Integer AMaxCount, TKivStringView ASeparators,
                                           bool ABackward) {
  return TKivWordSearch(*FStorage, FFullWordSeparators)
      .FindNearWord(AOffset, AMaxCount, ASeparators, ABackward);
}

// ---- listeners ----

void TKivEditDocument::AddListener(TKivDocumentListener* AListener) {
  CheckNotInCompound();
  if (AListener &&
      std::find(FCustomListeners.begin(), FCustomListeners.end(), AListener) == FCustomListeners.end())
    FCustomListeners.push_back(AListener);
}

void TKivEditDocument::RemoveListener(TKivDocumentListener* AListener) {
  std::erase(FCustomListeners, AListener);
}

void TKivEditDocument::NotifyList(const std::vector<TKivDocumentListener*>& AList,
                                  const std::function<void(TKivDocumentListener&)>& AFn) {
  if (AList.empty()) return;
  // A lone listener is told before anything can remove it.
  if (AList.size() == 1) return AFn(*AList.front());
  // A listener may remove listeners while it is notified: walk a copy, skipping the removed. This
  // runs several times for every edit, so a short list is copied without allocating.
  constexpr size_t kOnStack = 8;
  const size_t count = AList.size();
  TKivDocumentListener* onStack[kOnStack];
  std::vector<TKivDocumentListener*> onHeap;
  TKivDocumentListener* const* snapshot = onStack;
  if (count <= kOnStack) {
    std::copy(AList.begin(), AList.end(), onStack);
  } else {
    onHeap = AList;
    snapshot = onHeap.data();
  }
  for (size_t i = 0; i < count; ++i) {
    TKivDocumentListener* l = snapshot[i];
    if (std::find(AList.begin(), AList.end(), l) != AList.end()) AFn(*l);
  }
}

void TKivEditDocument::NotifyPublicFirst(const std::function<void(TKivDocumentListener&)>& AFn) {
  NotifyList(FCustomListeners, AFn);
  NotifyList(FListeners, AFn);
}

void TKivEditDocument::NotifyViewsFirst(const std::function<void(TKivDocumentListener&)>& AFn,
                                        const std::function<void()>& ABetween) {
  NotifyList(FListeners, AFn);
  if (ABetween) ABetween();
  NotifyList(FCustomListeners, AFn);
}

void TKivEditDocument::DoUserEventAfterDocChange() {
  NotifyList(FListeners, [](TKivDocumentListener& l) { l.DoUserEventAfterDocChange(); });
  NotifyList(FCustomListeners, [](TKivDocumentListener& l) { l.DoUserEventAfterDocChange(); });
}

void TKivEditDocument::DoLinesChanged(Integer AFirstLine, Integer ACount) {
  if (OnLinesChanged) OnLinesChanged(*this, AFirstLine, ACount);
}

// ---- update brackets ----

void TKivEditDocument::BeginUpdate() {
  ++FDelayedEventLock;
}

void TKivEditDocument::EndUpdate(bool AWithEvent) {
  KIV_ASSERT(FDelayedEventLock > 0, kModule);
  if (--FDelayedEventLock > 0) return;
  // Modified is reported by its net change over the bracket.
  if (FModified != FModifiedReported) {
    FModifiedReported = FModified;
    AddChange(dcModifiedPropertyChanged);
  }
  if (!AWithEvent || !OnDocChanged || FChanges.Empty()) return;
  const TKivDocStatusChanges changes = FChanges;
  FChanges.Clear();
  OnDocChanged(*this, changes);
}

// ---- marker reports ----

void TKivEditDocument::MarkChangeBegin() {
  if (FMarkersLockCnt > 0) throw EKivEditDocError(u"Document markers are locked for changes");
  BeginUpdate();
  try {
    NotifyPublicFirst([](TKivDocumentListener& l) { l.BeforeMarkChange(); });
  } catch (...) {
    EndUpdate(false);
    throw;
  }
}

void TKivEditDocument::MarkChangeEnd() {
  TUpdateGuard closing(*this);
  EndUpdate(false);  // the guard closes the bracket MarkChangeBegin opened
  NotifyViewsFirst([](TKivDocumentListener& l) { l.AfterMarkChange(); });
  DoUserEventAfterDocChange();
}

void TKivEditDocument::MarkCreatedNotify(const IKivMarkersRef& AColl, const IKivMarkRef& AMark) {
  NotifyViewsFirst([&](TKivDocumentListener& l) { l.MarkCreated(AColl, AMark); },
                   [this] { AddChange(dcMarkersCreated); });
}

void TKivEditDocument::MarksDeletingNotify(const IKivMarkersRef& AColl, const TKivMarkArray& AMarks) {
  NotifyPublicFirst([&](TKivDocumentListener& l) { l.MarksDeleting(AColl, AMarks); });
  AddChange(dcMarkersDeleted);
}

void TKivEditDocument::MarkSettingsChangedNotify(const IKivMarkersRef& AColl, const IKivMarkRef& AMark) {
  NotifyViewsFirst([&](TKivDocumentListener& l) { l.MarkSettingsChanged(AColl, AMark); },
                   [this] { AddChange(dcMarkSettingsChanged); });
}
