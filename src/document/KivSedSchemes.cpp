#include "KivSedSchemes.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

#include "KivSedEncoding.h"
#include "KivUnicode.h"

namespace fs = std::filesystem;

namespace {

const char16_t* const CBadItemName = u"Scheme collection item name should be nonempty and unique";

bool SameTextNoCase(TKivStringView A, TKivStringView B) {
  if (A.size() != B.size()) return false;
  for (size_t i = 0; i < A.size(); ++i)
    if (KivLowCase(A[i]) != KivLowCase(B[i])) return false;
  return true;
}

}  // namespace

// ---- TKivEditParserSchemeStrings ----

TKivEditParserSchemeStrings::TKivEditParserSchemeStrings(TKivEditParserSchemeCollectionItem* AItem)
    : FItem(AItem) {
  OnChange = [this]() {
    if (FDeferring) {
      FDeferredChange = true;
    } else {
      FItem->SchemeChanged();
    }
  };
}

template <class F>
void TKivEditParserSchemeStrings::ReportAfter(F AChange) {
  if (FDeferring) {
    AChange();
    return;
  }
  FDeferring = true;
  FDeferredChange = false;
  try {
    AChange();
  } catch (...) {
    FDeferring = false;
    throw;
  }
  FDeferring = false;
  if (FDeferredChange) {
    FDeferredChange = false;
    FItem->SchemeChanged();
  }
}

void TKivEditParserSchemeStrings::SetText(TKivStringView AText) {
  ReportAfter([&] { TKivStringList::SetText(AText); });
}

void TKivEditParserSchemeStrings::Assign(const TKivStrings& ASource) {
  ReportAfter([&] { TKivStringList::Assign(ASource); });
}

// ---- TKivEditParserSchemeCollectionItem ----

TKivEditParserSchemeCollectionItem::TKivEditParserSchemeCollectionItem(
    TKivEditParserSchemeCollection* ACollection)
    : FCollection(ACollection), FScheme(new TKivEditParserSchemeStrings(this)) {}

Integer TKivEditParserSchemeCollectionItem::Index() const {
  return FCollection->IndexOf(this);
}

void TKivEditParserSchemeCollectionItem::SetName(const TKivString& AName) {
  if (AName == FName) return;
  TKivEditParserSchemeCollectionItem* other = FCollection->FindItem(AName);
  if (AName.empty() || (other && other != this)) throw EKivEditDocError(TKivString(CBadItemName));
  FName = AName;
  FCollection->Changed();
}

void TKivEditParserSchemeCollectionItem::SetScheme(const TKivStrings& AScheme) {
  if (&AScheme == FScheme.get()) return;
  FScheme->Assign(AScheme);
}

void TKivEditParserSchemeCollectionItem::Assign(const TKivEditParserSchemeCollectionItem& ASource) {
  if (&ASource == this) return;
  // Both checks first, so that a refused name leaves the text as it was.
  if (ASource.FName != FName) {
    TKivEditParserSchemeCollectionItem* other = FCollection->FindItem(ASource.FName);
    if (ASource.FName.empty() || (other && other != this)) throw EKivEditDocError(TKivString(CBadItemName));
  }
  FCollection->BeginUpdate();
  try {
    SetName(ASource.FName);
    if (!FScheme->Equals(*ASource.FScheme)) SetScheme(*ASource.FScheme);
  } catch (...) {
    FCollection->EndUpdate();
    throw;
  }
  FCollection->EndUpdate();
}

void TKivEditParserSchemeCollectionItem::SchemeChanged() {
  FCollection->ItemChanged(*this);
}

// ---- TKivEditParserSchemeCollection ----

TKivEditParserSchemeCollection::TKivEditParserSchemeCollection(TKivSchemeCollectionOwner* AOwner,
                                                               TKivEditSchemeKind AKind)
    : FOwner(AOwner), FKind(AKind) {
  if (!AOwner || !AOwner->CanCreateSchemeCollections())
    throw EKivEditDocError(u"This internal Document class should not be created manually.");
}

TKivEditParserSchemeCollection::~TKivEditParserSchemeCollection() {
  FDestroying = true;
}

TKivEditParserSchemeCollectionItem& TKivEditParserSchemeCollection::Items(Integer AIndex) const {
  if (AIndex < 0 || AIndex >= Count()) throw EInvalidArgument(u"List index out of bounds (%d)", {AIndex});
  return *FItems[static_cast<size_t>(AIndex)];
}

TKivString TKivEditParserSchemeCollection::NewItemName(Integer AIndex) const {
  const TKivString prefix = FKind == skSyntax ? u"Syntax" : u"Color";
  for (Integer n = AIndex;; ++n) {
    TKivString name = KivFormat(u"%sScheme%d", {prefix, n});
    if (!FindItem(name)) return name;
  }
}

TKivEditParserSchemeCollectionItem& TKivEditParserSchemeCollection::Add() {
  return Insert(Count());
}

TKivEditParserSchemeCollectionItem& TKivEditParserSchemeCollection::Insert(Integer AIndex) {
  if (AIndex < 0 || AIndex > Count()) throw EInvalidArgument(u"List index out of bounds (%d)", {AIndex});
  std::unique_ptr<TKivEditParserSchemeCollectionItem> item(new TKivEditParserSchemeCollectionItem(this));
  item->FName = NewItemName(AIndex);
  auto& ref = *item;
  FItems.insert(FItems.begin() + AIndex, std::move(item));
  Changed();
  return ref;
}

void TKivEditParserSchemeCollection::Delete(Integer AIndex) {
  Items(AIndex);  // range check
  FItems.erase(FItems.begin() + AIndex);
  Changed();
}

void TKivEditParserSchemeCollection::Clear() {
  if (FItems.empty()) return;
  FItems.clear();
  Changed();
}

TKivEditParserSchemeCollectionItem* TKivEditParserSchemeCollection::FindItem(TKivStringView AName) const {
  for (const auto& item : FItems)
    if (item->FName == AName) return item.get();
  return nullptr;
}

Integer TKivEditParserSchemeCollection::IndexOf(const TKivEditParserSchemeCollectionItem* AItem) const {
  for (size_t i = 0; i < FItems.size(); ++i)
    if (FItems[i].get() == AItem) return static_cast<Integer>(i);
  return -1;
}

void TKivEditParserSchemeCollection::BeginUpdate() {
  ++FUpdateCount;
}

void TKivEditParserSchemeCollection::EndUpdate() {
  KIV_ASSERT(FUpdateCount > 0, "KivSedSchemes");
  if (--FUpdateCount == 0 && FChangedInUpdate) {
    FChangedInUpdate = false;
    FOwner->SchemeCollectionChanged(*this);
  }
}

void TKivEditParserSchemeCollection::Changed() {
  if (FDestroying) return;
  if (FUpdateCount > 0) {
    FChangedInUpdate = true;
    return;
  }
  FOwner->SchemeCollectionChanged(*this);
}

void TKivEditParserSchemeCollection::ItemChanged(TKivEditParserSchemeCollectionItem& AItem) {
  if (FDestroying || IndexOf(&AItem) < 0) return;
  if (FUpdateCount > 0) {
    FChangedInUpdate = true;
    return;
  }
  FOwner->SchemeItemChanged(AItem);
}

void TKivEditParserSchemeCollection::Assign(const TKivEditParserSchemeCollection& ASource) {
  if (&ASource == this) return;
  std::vector<std::pair<TKivString, const TKivStrings*>> items;
  for (const auto& src : ASource.FItems) items.emplace_back(src->FName, src->FScheme.get());
  ReplaceItems(items);
}

void TKivEditParserSchemeCollection::ReplaceItems(
    const std::vector<std::pair<TKivString, const TKivStrings*>>& AItems) {
  // The new items are complete before they replace the old ones; until then they are not
  // part of the collection, so their text changes are not reported.
  std::vector<std::unique_ptr<TKivEditParserSchemeCollectionItem>> items;
  items.reserve(AItems.size());
  for (const auto& [name, text] : AItems) {
    std::unique_ptr<TKivEditParserSchemeCollectionItem> item(new TKivEditParserSchemeCollectionItem(this));
    item->FName = name;
    item->FScheme->Assign(*text);
    items.push_back(std::move(item));
  }
  FItems.swap(items);
  Changed();
}

void TKivEditParserSchemeCollection::LoadFromDirectory(const TKivString& ADir, const TKivString& AFileExt) {
  TKivString ext = AFileExt;
  if (!ext.empty() && ext.front() == u'.') ext.erase(0, 1);
  ext.insert(ext.begin(), u'.');
  std::vector<fs::path> found;
  std::error_code ec;
  fs::directory_iterator it(fs::path(ADir), ec);
  if (ec) {
    throw EKivEditDocError(u"Cannot open directory \"%s\". %s", {ADir, KivSysErrorMessage(ec.value())});
  }
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    std::error_code ec2;
    if (it->is_directory(ec2)) continue;
    const fs::path& p = it->path();
    if (SameTextNoCase(p.extension().u16string(), ext)) found.push_back(p);
  }
  if (ec) {
    throw EKivEditDocError(u"Cannot open directory \"%s\". %s", {ADir, KivSysErrorMessage(ec.value())});
  }
  std::sort(found.begin(), found.end());
  std::vector<TKivString> files;
  files.reserve(found.size());
  for (const auto& p : found) files.push_back(p.u16string());
  LoadFromFiles(files);
}

void TKivEditParserSchemeCollection::LoadFromFiles(const std::vector<TKivString>& AFiles) {
  // Read everything first: the collection changes only when every file could be read.
  std::vector<std::pair<TKivString, std::unique_ptr<TKivStringList>>> loaded;
  for (const TKivString& file : AFiles) {
    std::error_code ec;
    fs::path p(file);
    if (!fs::exists(p, ec)) continue;
    TKivString name = p.filename().u16string();
    size_t dot = name.find_last_of(u'.');
    if (dot != TKivString::npos && dot > 0) name.erase(dot);
    bool dup = std::any_of(loaded.begin(), loaded.end(), [&](const auto& e) { return e.first == name; });
    if (name.empty() || dup) throw EKivEditDocError(TKivString(CBadItemName));
    auto text = std::make_unique<TKivStringList>();
    text->SetText(KivReadTextFile(file));
    loaded.emplace_back(name, std::move(text));
  }
  std::vector<std::pair<TKivString, const TKivStrings*>> items;
  for (const auto& [name, text] : loaded) items.emplace_back(name, text.get());
  ReplaceItems(items);
}
