// Hidden regions: the collapsed folds of a view.
//
// Each collapsed fold has a start entry filed under its first line; the folds that end on one
// line share an end entry filed under that line, which lists their starts in line order. Every
// entry holds a line marker of the view's private hidden-marker collection (line-bound, not
// keeping marks), so the entries follow edits: updating a table re-keys every entry to its
// marker's line and drops the entries whose lines went away or whose fold became empty.
#pragma once

#include <vector>

#include "KivHashTable.h"
#include "KivSedMarkers.h"

class THiddenEnd;

class THiddenEntry : public TKivObject {
 public:
  ~THiddenEntry() override;
  // The line the entry is filed under (-1 after destruction).
  Integer KeyLine = -1;
  IKivMarkRef KeyMark;
  bool MarkValid() const { return KeyMark && KeyMark->IsValid(); }
  // Deletes the marker from its collection (when it is still there).
  void DeleteMark();
};

class THiddenStart : public THiddenEntry {
 public:
  THiddenEnd* EEnd = nullptr;
};

class THiddenEnd : public THiddenEntry {
 public:
  // Sorted by KeyLine ascending; empty slots (null) only while a table is being updated.
  std::vector<THiddenStart*> Starts;
  // Files AStart in line order.
  void InsertStart(THiddenStart* AStart);
  // Removes one start keeping the order of the others.
  void RemoveFromStarts(const THiddenStart* AStart);
  // Drops the empty slots.
  void ShrinkStarts();
};

// Entries are keyed by their line.
class THiddenHashTraits : public TKivHashTableTraits {
 public:
  Integer MakeHashI(const TKivObject* AItem) const override;
  Integer MakeHashK(TKivHashKey AKey) const override;
  bool Compare(TKivHashKey AKey, const TKivObject* AItem) const override;
};

// A start stays while its marker and its end's marker are valid and on different lines;
// otherwise it leaves its end's list (as an empty slot) and is dropped.
class THiddenStartTraits : public THiddenHashTraits {
 public:
  TKivHashUpdateAction OnUpdate(TKivObject* AItem) const override;
  static const THiddenStartTraits& Instance();
};

// An end stays while its marker is valid and it still has starts.
class THiddenEndTraits : public THiddenHashTraits {
 public:
  TKivHashUpdateAction OnUpdate(TKivObject* AItem) const override;
  static const THiddenEndTraits& Instance();
};
