// String lists and the string hash table.
//
// TKivStrings is the abstract list of strings behind every string-list property (a document's
// lines, a printer's templates): subclasses supply count, get, insert, delete and clear, and
// may react to the update bracket through SetUpdateState. TKivStringList is the plain
// implementation.
#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "KivErrors.h"
#include "KivObject.h"
#include "KivTypes.h"

// The lines of a text split at CR LF, CR or LF; a line break at the very end starts no further
// line, so "a\r\n" is one line and "" none.
std::vector<TKivString> KivSplitLines(TKivStringView AText);

class TKivStrings {
 public:
  TKivStrings() = default;
  TKivStrings(const TKivStrings&) = delete;
  TKivStrings& operator=(const TKivStrings&) = delete;
  virtual ~TKivStrings() = default;

  virtual Integer Count() const = 0;
  virtual TKivString Get(Integer AIndex) const = 0;
  // Replaces the string at AIndex; the base deletes and inserts inside one update bracket.
  virtual void Put(Integer AIndex, const TKivString& AStr);
  virtual void Insert(Integer AIndex, const TKivString& AStr) = 0;
  virtual void Delete(Integer AIndex) = 0;
  virtual void Clear() = 0;

  TKivString operator[](Integer AIndex) const { return Get(AIndex); }
  // Appends; returns the new string's index.
  Integer Add(const TKivString& AStr);
  // Index of the first string equal to AStr (case-sensitive), or -1.
  virtual Integer IndexOf(TKivStringView AStr) const;
  bool Equals(const TKivStrings& AOther) const;

  // Brackets nest; SetUpdateState(true) is called when the outermost opens and
  // SetUpdateState(false) when it closes.
  void BeginUpdate();
  void EndUpdate();
  Integer UpdateCount() const { return FUpdateCount; }

  // Every string followed by CR LF.
  virtual TKivString Text() const;
  // Replaces the contents with the lines of AText, split at CR LF, CR or LF; a line break at
  // the very end does not start another (empty) line.
  virtual void SetText(TKivStringView AText);

  // Makes this list a copy of ASource (inside one update bracket).
  virtual void Assign(const TKivStrings& ASource);
  void AddStrings(const TKivStrings& ASource);
  void AddStrings(const std::vector<TKivString>& ASource);

  // The text as UTF-8 bytes (a leading byte-order mark is skipped when loading).
  virtual void LoadFromStream(std::istream& AStream);
  virtual void SaveToStream(std::ostream& AStream) const;
  // File errors raise EKivError "Cannot open file \"%s\"".
  virtual void LoadFromFile(const std::string& AFileName);
  virtual void SaveToFile(const std::string& AFileName) const;

 protected:
  virtual void SetUpdateState(bool AUpdating) { (void)AUpdating; }
  // Checks AIndex against [0, AMax]; raises EInvalidArgument "List index out of bounds (%d)".
  static void CheckIndex(Integer AIndex, Integer AMax);

 private:
  Integer FUpdateCount = 0;
};

// A plain list of strings held in memory. OnChanging / OnChange fire around every change made
// outside an update bracket, and once when the outermost bracket closes.
class TKivStringList : public TKivStrings {
 public:
  TKivStringList() = default;
  explicit TKivStringList(std::vector<TKivString> AItems) : FItems(std::move(AItems)) {}

  Integer Count() const override { return static_cast<Integer>(FItems.size()); }
  TKivString Get(Integer AIndex) const override;
  void Put(Integer AIndex, const TKivString& AStr) override;
  void Insert(Integer AIndex, const TKivString& AStr) override;
  void Delete(Integer AIndex) override;
  void Clear() override;
  void SetText(TKivStringView AText) override;
  void Assign(const TKivStrings& ASource) override;

  const std::vector<TKivString>& Items() const { return FItems; }

  std::function<void()> OnChanging;
  std::function<void()> OnChange;

 protected:
  void SetUpdateState(bool AUpdating) override;

 private:
  void Changing();
  void Changed();

  std::vector<TKivString> FItems;
};

// ---------------------------------------------------------------------------------------------
// String hash table

class TKivStringHashTable;

// One entry of a TKivStringHashTable; always owned by its table.
class TKivStringHashNode {
 public:
  const TKivString& Key() const { return FKey; }
  const TKivString& Value() const { return FValue; }
  TKivObject* Data() const { return FData; }

 private:
  friend class TKivStringHashTable;
  TKivString FKey;
  TKivString FValue;
  TKivObject* FData = nullptr;
  TKivStringHashNode* FNext = nullptr;
};

struct TKivStringHashIterator {
  Integer InternalIndex = 0;
  TKivStringHashNode* CurrentNode = nullptr;
};

// Maps strings to a string value and an optional object. Keys compare exactly (code unit by
// code unit). A key may be present several times: the node added last is found first, also
// after the table grew. With OwnItems the table deletes the objects of the nodes it drops.
// Buckets double when the items reach their number and never shrink until Clear.
class TKivStringHashTable {
 public:
  explicit TKivStringHashTable(bool AOwnItems = false) : FOwnItems(AOwnItems) {}
  ~TKivStringHashTable();
  TKivStringHashTable(const TKivStringHashTable&) = delete;
  TKivStringHashTable& operator=(const TKivStringHashTable&) = delete;

  Integer Count() const { return FCount; }
  bool OwnItems() const { return FOwnItems; }
  // The number of buckets (0 until the first addition).
  Integer BucketCount() const { return static_cast<Integer>(FItems.size()); }

  void Clear();
  void Add(const TKivString& AKey, const TKivString& AValue, TKivObject* AObj = nullptr);
  void SetOrAdd(const TKivString& AKey, const TKivString& AValue, TKivObject* AObj = nullptr);
  bool Remove(TKivStringView AKey);
  TKivString Find(TKivStringView AKey) const;
  TKivString Find(TKivStringView AKey, TKivObject*& AObj) const;
  TKivStringHashNode* FindNode(TKivStringView AKey) const;
  bool HasKey(TKivStringView AKey) const { return FindNode(AKey) != nullptr; }

  // Walk all nodes: buckets ascending, each bucket from its newest node to its oldest.
  bool IteratorMoveFirst(TKivStringHashIterator& AIter) const;
  bool IteratorMoveNext(TKivStringHashIterator& AIter) const;

  // Makes this table a copy of AValue (same buckets, keys, values; objects shared).
  void Assign(const TKivStringHashTable& AValue);
  // SetOrAdd of every node of AValue in iteration order.
  void Merge(const TKivStringHashTable& AValue);
  // A copy that does not own its objects.
  std::unique_ptr<TKivStringHashTable> Clone() const;

  static Integer StrHash(TKivStringView AKey);

 private:
  void CheckCopySource(const TKivStringHashTable& AValue) const;
  void Grow();
  void DropObject(TKivObject* AObj) const;

  std::vector<TKivStringHashNode*> FItems;
  Integer FIndexMask = 0;
  Integer FCount = 0;
  bool FOwnItems;
};
