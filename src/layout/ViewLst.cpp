#include "internal/ViewLst.h"

#include "internal/ScreenCache.h"

bool TViewLst::CannotNest(TPair AOpen, TPair ANew) {
  const auto edit = [](TPair P) { return P <= prSettingsRefresh; };
  if (edit(AOpen) && edit(ANew)) return true;
  return AOpen == ANew;
}

void TViewLst::Open(TPair APair) {
  // A pair that cannot be inside an open one means that one's After was lost.
  for (size_t i = 0; i < FOpen.size(); ++i) {
    if (CannotNest(FOpen[i], APair)) {
      while (FOpen.size() > i) CloseTop(false);
      break;
    }
  }
  const bool suspend = APair == prRefresh || APair == prSettingsRefresh;
  FHost.BeginUpdate();
  FOpen.push_back(APair);
  FSuspends.push_back(suspend);
  if (suspend) FHost.SuspendUpdates(true);
}

void TViewLst::CloseTop(bool AFullRepaint) {
  if (FOpen.back() == prEditRun) FRunBracketOpen = false;
  const bool suspended = FSuspends.back();
  FOpen.pop_back();
  FSuspends.pop_back();
  if (suspended) FHost.SuspendUpdates(false);
  FHost.EndUpdate(AFullRepaint || suspended);
}

bool TViewLst::Close(TPair APair, bool AFullRepaint) {
  size_t i = FOpen.size();
  while (i > 0 && FOpen[i - 1] != APair) --i;
  if (i == 0) return false;
  while (FOpen.size() > i) CloseTop(false);
  CloseTop(AFullRepaint);
  return true;
}

void TViewLst::RecoverStaleBrackets() {
  while (!FOpen.empty()) CloseTop(false);
}

void TViewLst::OpenEdit(TPair APair) {
  if (!FInEditRun) return Open(APair);
  if (FRunBracketOpen) return;
  Open(prEditRun);
  FRunBracketOpen = true;
}

void TViewLst::CloseEdit(TPair APair) {
  if (!FInEditRun) Close(APair);
}

void TViewLst::BeginEditRun() {
  FInEditRun = true;
  FQuickEdit = false;
  FHost.ScreenCache().SetInEditRun(true);
}

void TViewLst::EndEditRun() {
  FInEditRun = false;
  FQuickEdit = false;
  FHost.ScreenCache().SetInEditRun(false);
  Close(prEditRun);
}

void TViewLst::BeforeInsert(Integer AStart, Integer ALength) {
  FHost.InvalidateConversionCache(AStart);
  OpenEdit(prInsert);
  FQuickEdit = FInEditRun && FHost.ScreenCache().QuickRunEdit(AStart);
  if (!FQuickEdit) FHost.ScreenCache().BeforeInsert(AStart, ALength);
}

void TViewLst::AfterInsert(Integer AStart, Integer ALength) {
  if (!FQuickEdit) FHost.ScreenCache().AfterInsert(AStart, ALength);
  FQuickEdit = false;
  FHost.SetLastOffsetForUndo(AStart + ALength);
  CloseEdit(prInsert);
}

void TViewLst::BeforeDelete(Integer AStart, Integer ALength) {
  FHost.InvalidateConversionCache(AStart);
  OpenEdit(prDelete);
  FQuickEdit = FInEditRun && FHost.ScreenCache().QuickRunEdit(AStart);
  if (!FQuickEdit) FHost.ScreenCache().BeforeDelete(AStart, ALength);
}

void TViewLst::AfterDelete(Integer AStart, Integer ALength) {
  if (!FQuickEdit) FHost.ScreenCache().AfterDelete(AStart, ALength);
  FQuickEdit = false;
  FHost.SetLastOffsetForUndo(AStart);
  CloseEdit(prDelete);
}

void TViewLst::BeforeRefresh() {
  Open(prRefresh);
}

void TViewLst::AfterRefresh() {
  FHost.InvalidateConversionCache(0);
  FHost.ScreenCache().DocumentRefresh();
  Close(prRefresh, true);
}

void TViewLst::BeforeSettingsRefresh() {
  Open(prSettingsRefresh);
  FHost.ScreenCache().SetHorizScroll(0);
}

void TViewLst::AfterSettingsRefresh() {
  FHost.ReadDocumentSettings();
  FHost.ScreenCache().ResetPreserve();
  Close(prSettingsRefresh, true);
}

void TViewLst::BeforeCompoundEdit(bool AFreezeViews) {
  if (AFreezeViews) Open(prCompound);
}

void TViewLst::AfterCompoundEdit(bool AFreezeViews) {
  if (AFreezeViews) Close(prCompound);
}

void TViewLst::BeforeMarkChange() {
  Open(prMarkChange);
}

void TViewLst::AfterMarkChange() {
  FHost.NoteScreenMarkersChanged();
  Close(prMarkChange);
}

void TViewLst::MarkSettingsChanged(const IKivMarkersRef&, const IKivMarkRef&) {
  FHost.NoteScreenMarkersChanged();
}

void TViewLst::DoUserEventAfterDocChange() {
  FHost.ReportIfIdle();
}

void TViewLst::DocumentDestroing() {
  RecoverStaleBrackets();
  FHost.DetachDocument();
}
