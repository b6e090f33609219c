// Whole-line operations and the document as a list of lines (TDocumentStringsProxy).
#include "KivStrings.h"
#include "internal/DocumentPrivate.h"

// ---- line operations ----

void TKivEditDocument::InsertLine(Integer ALine, TKivStringView AStr) {
  CheckCanEdit();
  if (ALine == LinesCount()) {
    AppendLine(AStr);
    return;
  }
  if (ALine < 0 || ALine > LinesCount())
    throw EKivEditDocError(u"Invalid line index: %d. Valid range: [%d, %d]", {ALine, 0, LinesCount()});
  TKivString text(AStr);
  text += FLineSeparatorStr;
  Insert(GetLineStart(ALine), text);
}

void TKivEditDocument::AppendLine(TKivStringView AStr) {
  CheckCanEdit();
  TUpdateGuard update(*this);
  if (CharsCount() == 0) {
    Insert(0, AStr);
  } else {
    TKivString text = FLineSeparatorStr;
    text += AStr;
    Insert(CharsCount(), text);
  }
}

void TKivEditDocument::DeleteLine(Integer ALine) {
  CheckCanEdit();
  CheckLine(ALine);
  const Integer n = CharsCount();
  if (LinesCount() == 1) {
    if (n > 0) Delete(0, n);
  } else if (ALine == LinesCount() - 1) {
    // The separator before the last line goes with it; the line before keeps its markers even
    // when both lines are empty.
    const Integer start = GetLineEnd(ALine - 1);
    struct TLastLineFlag {
      TMarkManager& M;
      explicit TLastLineFlag(TMarkManager& AM) : M(AM) { M.SetDeletingLastLine(true); }
      ~TLastLineFlag() { M.SetDeletingLastLine(false); }
    } flag(*FMarkManager);
    Delete(start, n - start);
  } else {
    const Integer start = GetLineStart(ALine);
    Delete(start, GetLineStart(ALine + 1) - start);
  }
}

void TKivEditDocument::SetLines(const TKivStrings& ASource) {
  FLines->Assign(ASource);
}

// ---- TDocumentStringsProxy ----

Integer TDocumentStringsProxy::Count() const {
  return FParent.LinesCount();
}

TKivString TDocumentStringsProxy::Get(Integer AIndex) const {
  return FParent.GetLineText(AIndex);
}

void TDocumentStringsProxy::Put(Integer AIndex, const TKivString& AStr) {
  FParent.CheckCanEdit();
  FParent.CheckLine(AIndex);
  const TKivSegment line = FParent.GetLine(AIndex);
  FParent.Replace(line.Start, line.Count, AStr);
}

void TDocumentStringsProxy::Insert(Integer AIndex, const TKivString& AStr) {
  FParent.InsertLine(AIndex, AStr);
}

void TDocumentStringsProxy::Delete(Integer AIndex) {
  FParent.DeleteLine(AIndex);
}

void TDocumentStringsProxy::Clear() {
  FParent.Clear();
}

void TDocumentStringsProxy::SetUpdateState(bool AUpdating) {
  if (AUpdating)
    FParent.BeginCompoundEdit(true);
  else
    FParent.EndCompoundEdit(true);
}

void TDocumentStringsProxy::ReplaceAll(const std::vector<TKivString>& ALines) {
  // Joined in one insertion, so that leading empty lines survive (appending line by line
  // would swallow the first empty line of an empty document).
  TKivString text;
  for (size_t i = 0; i < ALines.size(); ++i) {
    if (i > 0) text += FParent.FLineSeparatorStr;
    text += ALines[i];
  }
  TKivEditDocument::TUpdateGuard update(FParent);
  TKivEditDocument::TCompoundGuard compound(FParent, -1, nullptr, true);
  if (FParent.CharsCount() > 0) FParent.Delete(0, FParent.CharsCount());
  if (!text.empty()) FParent.Insert(0, text);
}

void TDocumentStringsProxy::SetText(TKivStringView AText) {
  FParent.CheckCanEdit();
  ReplaceAll(KivSplitLines(AText));
}

void TDocumentStringsProxy::Assign(const TKivStrings& ASource) {
  if (&ASource == this) return;
  FParent.CheckCanEdit();
  FParent.CheckNotInCompound();
  std::vector<TKivString> lines;
  lines.reserve(size_t(ASource.Count()));
  for (Integer i = 0; i < ASource.Count(); ++i) lines.push_back(ASource.Get(i));
  TKivEditDocument::TUpdateGuard update(FParent);
  {
    TKivEditDocument::TUndoLimitSaver noUndo(FParent);
    ReplaceAll(lines);
  }
  FParent.FModified = false;
  FParent.FUndoManager->MarkSaved();
}

void TDocumentStringsProxy::LoadFromStream(std::istream& AStream) {
  FParent.LoadFromStream(AStream);
}
void TDocumentStringsProxy::SaveToStream(std::ostream& AStream) const {
  FParent.SaveToStream(AStream);
}
void TDocumentStringsProxy::LoadFromFile(const std::string& AFileName) {
  FParent.LoadFromFile(KivFromUtf8(AFileName));
}
void TDocumentStringsProxy::SaveToFile(const std::string& AFileName) const {
  FParent.SaveToFile(KivFromUtf8(AFileName));
}
