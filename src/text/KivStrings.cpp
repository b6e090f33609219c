// TKivStrings and TKivStringList.
#include "KivStrings.h"

#include <exception>
#include <fstream>
#include <istream>
#include <iterator>
#include <ostream>

namespace {

// Keeps an update bracket balanced when an operation inside it throws.
class TUpdateBracket {
 public:
  explicit TUpdateBracket(TKivStrings& AList) : FList(AList), FUncaught(std::uncaught_exceptions()) {
    FList.BeginUpdate();
  }
  // Closing the bracket fires the list's change events, whose handlers may throw. While an
  // earlier error is unwinding, the bracket still closes but that first error is the one reported.
  ~TUpdateBracket() noexcept(false) {
    if (std::uncaught_exceptions() > FUncaught) {
      try {
        FList.EndUpdate();
      } catch (...) {
      }
    } else {
      FList.EndUpdate();
    }
  }
  TUpdateBracket(const TUpdateBracket&) = delete;
  TUpdateBracket& operator=(const TUpdateBracket&) = delete;

 private:
  TKivStrings& FList;
  int FUncaught;
};

}  // namespace

std::vector<TKivString> KivSplitLines(TKivStringView AText) {
  std::vector<TKivString> lines;
  size_t i = 0;
  const size_t n = AText.size();
  while (i < n) {
    size_t j = i;
    while (j < n && AText[j] != u'\r' && AText[j] != u'\n') ++j;
    lines.emplace_back(AText.substr(i, j - i));
    if (j < n) j += (AText[j] == u'\r' && j + 1 < n && AText[j + 1] == u'\n') ? 2 : 1;
    i = j;
  }
  return lines;
}

// ---------------------------------------------------------------------------------------------
// TKivStrings

void TKivStrings::CheckIndex(Integer AIndex, Integer AMax) {
  if (AIndex < 0 || AIndex > AMax) throw EInvalidArgument(u"List index out of bounds (%d)", {AIndex});
}

void TKivStrings::Put(Integer AIndex, const TKivString& AStr) {
  // A bad index fails in Delete, with the subclass's own error, before anything changed.
  TUpdateBracket bracket(*this);
  Delete(AIndex);
  Insert(AIndex, AStr);
}

Integer TKivStrings::Add(const TKivString& AStr) {
  const Integer index = Count();
  Insert(index, AStr);
  return index;
}

Integer TKivStrings::IndexOf(TKivStringView AStr) const {
  const Integer n = Count();
  for (Integer i = 0; i < n; ++i)
    if (Get(i) == AStr) return i;
  return -1;
}

bool TKivStrings::Equals(const TKivStrings& AOther) const {
  const Integer n = Count();
  if (n != AOther.Count()) return false;
  for (Integer i = 0; i < n; ++i)
    if (Get(i) != AOther.Get(i)) return false;
  return true;
}

void TKivStrings::BeginUpdate() {
  if (FUpdateCount == 0) SetUpdateState(true);
  ++FUpdateCount;
}

void TKivStrings::EndUpdate() {
  KIV_ASSERT(FUpdateCount > 0, "KivStrings");
  if (--FUpdateCount == 0) SetUpdateState(false);
}

TKivString TKivStrings::Text() const {
  TKivString out;
  const Integer n = Count();
  for (Integer i = 0; i < n; ++i) {
    out += Get(i);
    out += u"\r\n";
  }
  return out;
}

void TKivStrings::SetText(TKivStringView AText) {
  const std::vector<TKivString> lines = KivSplitLines(AText);
  TUpdateBracket bracket(*this);
  Clear();
  AddStrings(lines);
}

void TKivStrings::Assign(const TKivStrings& ASource) {
  if (&ASource == this) return;
  TUpdateBracket bracket(*this);
  Clear();
  AddStrings(ASource);
}

void TKivStrings::AddStrings(const TKivStrings& ASource) {
  // Read first: the source may be this list.
  std::vector<TKivString> items;
  const Integer n = ASource.Count();
  items.reserve(static_cast<size_t>(n));
  for (Integer i = 0; i < n; ++i) items.push_back(ASource.Get(i));
  AddStrings(items);
}

void TKivStrings::AddStrings(const std::vector<TKivString>& ASource) {
  TUpdateBracket bracket(*this);
  for (const auto& s : ASource) Add(s);
}

void TKivStrings::LoadFromStream(std::istream& AStream) {
  std::string bytes((std::istreambuf_iterator<char>(AStream)), std::istreambuf_iterator<char>());
  if (AStream.bad()) throw EKivError(u"Stream read error");
  std::string_view view(bytes);
  if (view.starts_with("\xEF\xBB\xBF")) view.remove_prefix(3);
  SetText(KivFromUtf8(view));
}

void TKivStrings::SaveToStream(std::ostream& AStream) const {
  const std::string bytes = KivToUtf8(Text());
  AStream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!AStream) throw EKivError(u"Stream write error");
}

void TKivStrings::LoadFromFile(const std::string& AFileName) {
  std::ifstream in(AFileName, std::ios::binary);
  if (!in) throw EKivError(u"Cannot open file \"%s\"", {AFileName});
  LoadFromStream(in);
}

void TKivStrings::SaveToFile(const std::string& AFileName) const {
  std::ofstream out(AFileName, std::ios::binary | std::ios::trunc);
  if (!out) throw EKivError(u"Cannot open file \"%s\"", {AFileName});
  SaveToStream(out);
}

// ---------------------------------------------------------------------------------------------
// TKivStringList

TKivString TKivStringList::Get(Integer AIndex) const {
  CheckIndex(AIndex, Count() - 1);
  return FItems[static_cast<size_t>(AIndex)];
}

void TKivStringList::Put(Integer AIndex, const TKivString& AStr) {
  CheckIndex(AIndex, Count() - 1);
  Changing();
  FItems[static_cast<size_t>(AIndex)] = AStr;
  Changed();
}

void TKivStringList::Insert(Integer AIndex, const TKivString& AStr) {
  CheckIndex(AIndex, Count());
  Changing();
  FItems.insert(FItems.begin() + AIndex, AStr);
  Changed();
}

void TKivStringList::Delete(Integer AIndex) {
  CheckIndex(AIndex, Count() - 1);
  Changing();
  FItems.erase(FItems.begin() + AIndex);
  Changed();
}

void TKivStringList::Clear() {
  if (FItems.empty()) return;
  Changing();
  FItems.clear();
  Changed();
}

void TKivStringList::SetText(TKivStringView AText) {
  std::vector<TKivString> lines = KivSplitLines(AText);
  TUpdateBracket bracket(*this);
  FItems = std::move(lines);
}

void TKivStringList::Assign(const TKivStrings& ASource) {
  if (&ASource == this) return;
  if (auto* list = dynamic_cast<const TKivStringList*>(&ASource)) {
    TUpdateBracket bracket(*this);
    FItems = list->FItems;
    return;
  }
  TKivStrings::Assign(ASource);
}

void TKivStringList::SetUpdateState(bool AUpdating) {
  if (AUpdating) {
    Changing();
  } else {
    Changed();
  }
}

void TKivStringList::Changing() {
  if (UpdateCount() == 0 && OnChanging) OnChanging();
}

void TKivStringList::Changed() {
  if (UpdateCount() == 0 && OnChange) OnChange();
}
