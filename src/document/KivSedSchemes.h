// The document's scheme collections: named XML texts of syntax schemes and colour schemes,
// handed to the parser by name through two loader callbacks.
//
// Also declared here, below the syntax engine, are the parser's error classes and the loader
// type, because the document applies schemes and must tell scheme load errors apart.
#pragma once

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "KivEditDocError.h"
#include "KivErrors.h"
#include "KivSedEncoding.h"
#include "KivStrings.h"
#include "KivTypes.h"

class EKivEditParserError : public EKivError {
 public:
  using EKivError::EKivError;
};

class EKivSyntaxSchemeLoadError : public EKivEditParserError {
 public:
  using EKivEditParserError::EKivEditParserError;
};

class EKivColorSchemeLoadError : public EKivEditParserError {
 public:
  using EKivEditParserError::EKivEditParserError;
};

// Returns the XML text of the scheme with the given name (or raises).
using TKivEditParserSchemeLoader = std::function<TKivString(const TKivString& AName)>;

using TKivSyntaxSchemeRef = TKivString;
using TKivColorSchemeRef = TKivString;

enum TKivEditSchemeKind : Integer { skSyntax = 0, skColor = 1 };

class TKivEditParserSchemeCollection;
class TKivEditParserSchemeCollectionItem;

// The side of the document that a collection reports to.
class TKivSchemeCollectionOwner {
 public:
  virtual ~TKivSchemeCollectionOwner() = default;
  // Collections exist only as parts of their owner: true only while the owner is being built.
  virtual bool CanCreateSchemeCollections() const = 0;
  // Items were added, deleted, renamed or loaded (once per outermost update bracket).
  virtual void SchemeCollectionChanged(TKivEditParserSchemeCollection& ACollection) = 0;
  // The XML text of one item changed outside an update bracket of its collection.
  virtual void SchemeItemChanged(TKivEditParserSchemeCollectionItem& AItem) = 0;
};

// The XML text of one scheme as a list of lines; any change marks its item changed, which makes
// the owning document apply its schemes: a scheme load error then comes out of the change.
class TKivEditParserSchemeStrings : public TKivStringList {
 public:
  TKivEditParserSchemeCollectionItem* Item() const { return FItem; }
  void SetText(TKivStringView AText) override;
  void Assign(const TKivStrings& ASource) override;

 private:
  friend class TKivEditParserSchemeCollectionItem;
  explicit TKivEditParserSchemeStrings(TKivEditParserSchemeCollectionItem* AItem);
  // Runs a change made inside the list's own update bracket and reports it after the bracket
  // closed, so that an error of the report is not raised from the bracket's end.
  template <class F>
  void ReportAfter(F AChange);
  TKivEditParserSchemeCollectionItem* FItem;
  bool FDeferring = false;
  bool FDeferredChange = false;
};

// One named scheme. Items are created by their collection only (Add, Insert).
class TKivEditParserSchemeCollectionItem {
 public:
  TKivEditParserSchemeCollectionItem(const TKivEditParserSchemeCollectionItem&) = delete;
  TKivEditParserSchemeCollectionItem& operator=(const TKivEditParserSchemeCollectionItem&) = delete;

  const TKivString& Name() const { return FName; }
  // A different name must be non-empty and not used by another item of the collection:
  // "Scheme collection item name should be nonempty and unique".
  void SetName(const TKivString& AName);

  TKivEditParserSchemeStrings& Scheme() { return *FScheme; }
  const TKivEditParserSchemeStrings& Scheme() const { return *FScheme; }
  // Copies the lines.
  void SetScheme(const TKivStrings& AScheme);

  TKivEditParserSchemeCollection& Collection() const { return *FCollection; }
  Integer Index() const;

  // Takes the name and the text of another item, each only when it differs.
  void Assign(const TKivEditParserSchemeCollectionItem& ASource);

 private:
  friend class TKivEditParserSchemeCollection;
  friend class TKivEditParserSchemeStrings;
  explicit TKivEditParserSchemeCollectionItem(TKivEditParserSchemeCollection* ACollection);
  void SchemeChanged();

  TKivEditParserSchemeCollection* FCollection;
  TKivString FName;
  std::unique_ptr<TKivEditParserSchemeStrings> FScheme;
};

// An ordered collection of uniquely named schemes of one kind, owned by a document.
class TKivEditParserSchemeCollection {
 public:
  // Raises EKivEditDocError "This internal Document class should not be created manually."
  // unless AOwner is being built (see TKivSchemeCollectionOwner).
  TKivEditParserSchemeCollection(TKivSchemeCollectionOwner* AOwner, TKivEditSchemeKind AKind);
  ~TKivEditParserSchemeCollection();
  TKivEditParserSchemeCollection(const TKivEditParserSchemeCollection&) = delete;
  TKivEditParserSchemeCollection& operator=(const TKivEditParserSchemeCollection&) = delete;

  TKivEditSchemeKind Kind() const { return FKind; }
  Integer Count() const { return static_cast<Integer>(FItems.size()); }
  // AIndex in [0, Count - 1], else EInvalidArgument "List index out of bounds (%d)".
  TKivEditParserSchemeCollectionItem& Items(Integer AIndex) const;
  TKivEditParserSchemeCollectionItem& operator[](Integer AIndex) const { return Items(AIndex); }

  // A new item is named "SyntaxScheme<n>" or "ColorScheme<n>": n starts at the item's index and
  // grows until no other item has that name.
  TKivEditParserSchemeCollectionItem& Add();
  // AIndex in [0, Count].
  TKivEditParserSchemeCollectionItem& Insert(Integer AIndex);
  void Delete(Integer AIndex);
  void Clear();

  // The first item whose name equals AName exactly, or none.
  TKivEditParserSchemeCollectionItem* FindItem(TKivStringView AName) const;
  Integer IndexOf(const TKivEditParserSchemeCollectionItem* AItem) const;

  // Loads every file of ADir (no subdirectories) whose extension is AFileExt ("xml" or ".xml",
  // any case), in name order, as LoadFromFiles does. A missing directory raises
  // EKivEditDocError "Cannot open directory \"%s\". %s".
  void LoadFromDirectory(const TKivString& ADir, const TKivString& AFileExt);
  // Replaces the items by one item per existing file, named after the file without its last
  // extension, holding the file's text (a byte-order mark selects UTF-16/32, otherwise UTF-8).
  // All or nothing: every file is read before the collection changes, and a file that cannot be
  // read, or two files giving the same name, raise EKivEditDocError and change nothing.
  void LoadFromFiles(const std::vector<TKivString>& AFiles);

  // Makes this collection a copy of ASource: names and texts.
  void Assign(const TKivEditParserSchemeCollection& ASource);

  // Changes inside a bracket are reported to the owner once, when the outermost one closes.
  void BeginUpdate();
  void EndUpdate();

 private:
  friend class TKivEditParserSchemeCollectionItem;
  TKivString NewItemName(Integer AIndex) const;
  void Changed();
  void ItemChanged(TKivEditParserSchemeCollectionItem& AItem);
  void ReplaceItems(const std::vector<std::pair<TKivString, const TKivStrings*>>& AItems);

  TKivSchemeCollectionOwner* FOwner;
  TKivEditSchemeKind FKind;
  std::vector<std::unique_ptr<TKivEditParserSchemeCollectionItem>> FItems;
  Integer FUpdateCount = 0;
  bool FChangedInUpdate = false;
  bool FDestroying = false;
};
