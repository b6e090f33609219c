// The document's side of the markers: its built-in and custom collections, its marker events
// and the marker steps of its edit pipeline.
#include "KivSedDocument.h"
#include "internal/DocumentPrivate.h"

void TKivEditDocument::TMarkHostImpl::MarkHostCreated(const IKivMarkersRef& ACollection,
                                                      const IKivMarkRef& AMark) {
  if (FDoc.OnMarkCreating) {
    TChangesLock lock(FDoc);
    FDoc.OnMarkCreating(FDoc, ACollection, AMark);
  }
  FDoc.MarkCreatedNotify(ACollection, AMark);
}

void TKivEditDocument::TMarkHostImpl::MarkHostDeleting(const IKivMarkersRef& ACollection,
                                                       const TKivMarkArray& AMarks) {
  if (FDoc.OnMarkDeleting) {
    TChangesLock lock(FDoc);
    for (const auto& m : AMarks) FDoc.OnMarkDeleting(FDoc, ACollection, m);
  }
  FDoc.MarksDeletingNotify(ACollection, AMarks);
}

void TKivEditDocument::InitMarkers() {
  FMarkManager = std::make_unique<TMarkManager>(&FMarkHost);
  FBookmarks = FMarkManager->CreateMarks(true, true, true);
  FBreakpoints = FMarkManager->CreateMarks(true, false, true);
  FDebugFrameLines = FMarkManager->CreateMarks(true, false, true);
}

void TKivEditDocument::MarkersBeforeInsert(Integer AStart, Integer ACount) {
  if (ACount > 0) FMarkManager->ContentInserting(AStart, ACount);
}

void TKivEditDocument::MarkersAfterInsert(Integer AStart, Integer ACount) {
  if (ACount > 0) FMarkManager->ContentInserted(AStart, ACount);
}

void TKivEditDocument::MarkersReportDeletion(Integer AStart, Integer ACount) {
  if (ACount > 0)
    FMarkManager->ReportMarksToDelete(AStart, ACount, static_cast<TMarkCollection*>(FBookmarks.get()));
}

void TKivEditDocument::MarkersBeforeDelete(Integer AStart, Integer ACount) {
  if (ACount > 0) FMarkManager->ContentDeleting(AStart, ACount);
}

void TKivEditDocument::MarkersAfterDelete(Integer AStart, Integer ACount) {
  if (ACount > 0) FMarkManager->ContentDeleted(AStart, ACount);
}

IKivMarkersRef TKivEditDocument::CreateCustomMarkers(bool AKeepMarks, bool ALineBound, bool AProduceEvents) {
  BeginUpdate();
  IKivMarkersRef res;
  try {
    res = FMarkManager->CreateMarks(ALineBound, AKeepMarks, AProduceEvents);
  } catch (...) {
    EndUpdate(false);
    throw;
  }
  EndUpdate(false);
  return res;
}

IKivMarkersRef TKivEditDocument::CreateCustomLineMarkers(bool AKeepMarks, bool AProduceEvents) {
  return CreateCustomMarkers(AKeepMarks, true, AProduceEvents);
}

void TKivEditDocument::DetachCustomMarkers(const IKivMarkersRef& AMarkers) {
  if (!AMarkers || !FMarkManager->HasMarks(AMarkers))
    throw EKivEditDocError(u"Custom markers are nil or not belongs to this document");
  if (AMarkers == FBookmarks || AMarkers == FBreakpoints || AMarkers == FDebugFrameLines)
    throw EKivEditDocError(
        u"This markers collection (Bookmarks, Breakpoints etc) can't be detached from Document");
  BeginUpdate();
  try {
    FMarkManager->ReleaseMarks(AMarkers);
  } catch (...) {
    EndUpdate(false);
    throw;
  }
  EndUpdate(false);
}

TMark* TKivEditDocument::BuiltInMark(const IKivMarkRef& AMark, const IKivMarkersRef& AColl,
                                     const char16_t* AError) const {
  auto* internal = AMark ? dynamic_cast<IMarkInternal*>(AMark.get()) : nullptr;
  TMark* mark = internal ? internal->GetImpl() : nullptr;
  if (mark == nullptr || !mark->IsValid() || mark->Parent() != AColl.get()) throw EKivEditDocError(AError);
  return mark;
}

namespace {
const char16_t* const kNotABreakpoint =
    u"This method expects passed marker belongs to Breakpoints document collection";
const char16_t* const kNotAFrameLine =
    u"This method expects passed marker belongs to DebuggerStackLines document collection";
}  // namespace

TKivBreakpointKind TKivEditDocument::GetBreakpointKind(const IKivMarkRef& ABreak) const {
  return BuiltInMark(ABreak, FBreakpoints, kNotABreakpoint)->GetBreakKind();
}

void TKivEditDocument::SetBreakpointKind(const IKivMarkRef& ABreak, TKivBreakpointKind AKind) {
  BuiltInMark(ABreak, FBreakpoints, kNotABreakpoint)->SetBreakKind(AKind);
}

TKivDebugFrameKind TKivEditDocument::GetDebugFrameKind(const IKivMarkRef& AFrameMark) const {
  return BuiltInMark(AFrameMark, FDebugFrameLines, kNotAFrameLine)->GetDebugFrameKind();
}

void TKivEditDocument::SetDebugFrameKind(const IKivMarkRef& AFrameMark, TKivDebugFrameKind AKind) {
  BuiltInMark(AFrameMark, FDebugFrameLines, kNotAFrameLine)->SetStackFrameKind(AKind);
}
