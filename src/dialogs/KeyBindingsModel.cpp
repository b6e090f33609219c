// The key bindings editor's model: text forms, command nodes, conflicts and applying.
#include <algorithm>

#include "KivErrors.h"
#include "KivLayoutTypes.h"
#include "KivSedKeyBindingsModel.h"
#include "KivUnicode.h"

namespace {

using TPair = std::pair<TKivShortcut, TKivShortcut>;

constexpr TKivEditCommandModes kTreeModes = KivModes(cmForView) | KivModes(cmForIncSearch);

struct TKeyName {
  uint16_t Key;
  const char16_t* Name;
};

// Names of single codes. Letters, digits, keypad digits, function keys and unnamed codes are
// written by rule (KeyName).
constexpr TKeyName kNames[] = {
    {vkBack, u"BkSp"},
    {vkTab, u"Tab"},
    {12, u"Clear"},
    {vkReturn, u"Enter"},
    {vkShift, u"Shift"},
    {vkControl, u"Ctrl"},
    {vkMenu, u"Alt"},
    {vkPause, u"Pause"},
    {vkCapital, u"Caps Lock"},
    {vkEscape, u"Esc"},
    {vkSpace, u"Space"},
    {vkPrior, u"PgUp"},
    {vkNext, u"PgDn"},
    {vkEnd, u"End"},
    {vkHome, u"Home"},
    {vkLeft, u"Left"},
    {vkUp, u"Up"},
    {vkRight, u"Right"},
    {vkDown, u"Down"},
    {44, u"PrtSc"},
    {vkInsert, u"Ins"},
    {vkDelete, u"Del"},
    {vkLWin, u"Win"},
    {vkRWin, u"Right Win"},
    {vkApps, u"Menu"},
    {vkMultiply, u"Num *"},
    {vkAdd, u"Num +"},
    {vkSeparator, u"Num Sep"},
    {vkSubtract, u"Num -"},
    {vkDecimal, u"Num ."},
    {vkDivide, u"Num /"},
    {vkNumLock, u"Num Lock"},
    {vkScroll, u"Scroll Lock"},
    {vkLShift, u"Left Shift"},
    {161, u"Right Shift"},
    {162, u"Left Ctrl"},
    {163, u"Right Ctrl"},
    {164, u"Left Alt"},
    {vkRMenu, u"AltGr"},
    {vkOem1, u";"},
    {vkOemPlus, u"="},
    {vkOemComma, u"Comma"},
    {vkOemMinus, u"-"},
    {vkOemPeriod, u"."},
    {vkOem2, u"/"},
    {vkOem3, u"`"},
    {vkOem4, u"["},
    {vkOem5, u"\\"},
    {vkOem6, u"]"},
    {vkOem7, u"'"},
};

TKivString Ascii(const std::string& AText) {
  return TKivString(AText.begin(), AText.end());
}

TKivString KeyName(uint16_t AKey) {
  if ((AKey >= '0' && AKey <= '9') || (AKey >= 'A' && AKey <= 'Z')) return TKivString(1, char16_t(AKey));
  if (AKey >= vkNumpad0 && AKey <= vkNumpad0 + 9) return TKivString(1, char16_t('0' + AKey - vkNumpad0));
  if (AKey >= vkF1 && AKey <= vkF24) return u"F" + Ascii(std::to_string(AKey - vkF1 + 1));
  for (const TKeyName& n : kNames)
    if (n.Key == AKey) return n.Name;
  return u"Key " + Ascii(std::to_string(AKey));
}

bool IsBlank(char16_t C) {
  return C == u' ' || C == u'\t';
}

bool SameText(TKivStringView A, TKivStringView B) {
  if (A.size() != B.size()) return false;
  for (size_t i = 0; i < A.size(); ++i)
    if (KivLowCase(A[i]) != KivLowCase(B[i])) return false;
  return true;
}

bool LessNoCase(const TKivString& A, const TKivString& B) {
  return std::lexicographical_compare(A.begin(), A.end(), B.begin(), B.end(),
                                      [](char16_t x, char16_t y) { return KivLowCase(x) < KivLowCase(y); });
}

// The descriptions, each followed by a line break.
TKivString DescrLines(const std::vector<TKivString>& ADescrs) {
  TKivString s;
  for (const TKivString& d : ADescrs) s += d + u"\r\n";
  return s;
}

// Drops repeated descriptions (ignoring case), keeping the first of each.
std::vector<TKivString> Unique(const std::vector<TKivString>& ADescrs) {
  std::vector<TKivString> out;
  for (const TKivString& d : ADescrs)
    if (std::none_of(out.begin(), out.end(), [&](const TKivString& o) { return SameText(o, d); }))
      out.push_back(d);
  return out;
}

void SortPairs(std::vector<TPair>& APairs) {
  std::stable_sort(APairs.begin(), APairs.end(), [](const TPair& A, const TPair& B) {
    return ShortcutPairToText(A.first, A.second) < ShortcutPairToText(B.first, B.second);
  });
}

// Whether the custom list takes (ASc, ASc2) over for a command in AModes.
bool TakenOver(const TKivEditCommandList& ACustom, TKivEditCommandModes AModes, TKivShortcut ASc,
               TKivShortcut ASc2) {
  for (Integer i = 0; i < ACustom.Count(); ++i) {
    const TKivEditCommandItem& item = ACustom.Items(i);
    if ((item.Modes() & AModes) == 0) continue;
    for (Integer j = 0; j < item.Bindings().Count(); ++j) {
      const TKivEditCommandBinding& b = item.Bindings().Items(j);
      if (b.Shortcut() != ASc) continue;
      if (b.Shortcut2() == 0 || b.Shortcut2() == ASc2 || ASc2 == 0) return true;
    }
  }
  return false;
}

// An item of a custom list as plain data.
struct TPlainItem {
  TKivEditCommand Command;
  bool Editable;
  TKivEditCommandModes Modes;
  std::vector<TPair> Bindings;
};

// Walks the writes of ApplyBindings (the shortcut, then the second stroke, binding by binding)
// against the list's uniqueness rule, without a list: raises what the list would raise.
void CheckWrites(const std::vector<TPlainItem>& AItems) {
  std::vector<std::vector<TPair>> written(AItems.size());
  auto clash = [&](size_t AItem, size_t ABinding, const TPair& APair) {
    for (size_t i = 0; i < AItems.size(); ++i) {
      if ((AItems[i].Modes & AItems[AItem].Modes) == 0) continue;
      for (size_t j = 0; j < written[i].size(); ++j)
        if (!(i == AItem && j == ABinding) && written[i][j] == APair) return true;
    }
    return false;
  };
  for (size_t i = 0; i < AItems.size(); ++i)
    for (size_t j = 0; j < AItems[i].Bindings.size(); ++j) {
      const TPair& p = AItems[i].Bindings[j];
      written[i].push_back({0, 0});
      if (p.first != 0) {
        if (clash(i, j, {p.first, 0}))
          throw EKivEditViewError(u"Keybindings should be unique in Command items");
        written[i][j] = {p.first, 0};
      }
      if (p.second != 0) {
        if (clash(i, j, p)) throw EKivEditViewError(u"Keybindings should be unique in Command items");
        written[i][j] = p;
      }
    }
}

void WriteItems(TKivEditCommandList& AList, const std::vector<TPlainItem>& AItems) {
  AList.Clear();
  for (const TPlainItem& p : AItems) {
    TKivEditCommandItem& item = AList.Add();
    item.SetCommand(p.Command);
    item.SetEditable(p.Editable);
    item.SetModes(p.Modes);
    for (const TPair& b : p.Bindings) {
      TKivEditCommandBinding& binding = item.Bindings().Add();
      binding.SetShortcut(b.first);
      binding.SetShortcut2(b.second);
    }
  }
}

std::vector<TPlainItem> ReadItems(const TKivEditCommandList& AList) {
  std::vector<TPlainItem> items;
  for (Integer i = 0; i < AList.Count(); ++i) {
    const TKivEditCommandItem& item = AList.Items(i);
    TPlainItem p{item.Command(), item.Editable(), item.Modes(), {}};
    for (Integer j = 0; j < item.Bindings().Count(); ++j)
      p.Bindings.push_back({item.Bindings().Items(j).Shortcut(), item.Bindings().Items(j).Shortcut2()});
    items.push_back(std::move(p));
  }
  return items;
}

}  // namespace

// ---- text forms ----

TKivString ShortcutToText(TKivShortcut AShortcut) {
  if (AShortcut == 0) return {};
  TKivString s;
  if (AShortcut & kivShortcutShift) s += u"Shift+";
  if (AShortcut & kivShortcutCtrl) s += u"Ctrl+";
  if (AShortcut & kivShortcutAlt) s += u"Alt+";
  return s + KeyName(KivShortcutKey(AShortcut));
}

TKivString ShortcutPairToText(TKivShortcut ASc, TKivShortcut ASc2) {
  if (ASc2 == 0) return ShortcutToText(ASc);
  return ShortcutToText(ASc) + u", " + ShortcutToText(ASc2);
}

TKivShortcut TextToShortcut(const TKivString& AText) {
  TKivStringView rest = AText;
  while (!rest.empty() && IsBlank(rest.front())) rest.remove_prefix(1);
  while (!rest.empty() && IsBlank(rest.back())) rest.remove_suffix(1);
  TKivShortcut mods = 0;
  for (bool found = true; found;) {
    found = false;
    for (const auto& [prefix, bit] : {std::pair<TKivStringView, TKivShortcut>{u"Shift+", kivShortcutShift},
                                      std::pair<TKivStringView, TKivShortcut>{u"Ctrl+", kivShortcutCtrl},
                                      std::pair<TKivStringView, TKivShortcut>{u"Alt+", kivShortcutAlt}}) {
      // The key's name is never empty, so "Ctrl+" alone names no key.
      if (rest.size() > prefix.size() && SameText(rest.substr(0, prefix.size()), prefix)) {
        mods |= bit;
        rest.remove_prefix(prefix.size());
        found = true;
      }
    }
  }
  if (rest.empty()) return 0;
  for (uint16_t key = 1; key <= 0xFF; ++key)
    if (SameText(KeyName(key), rest)) return static_cast<TKivShortcut>(mods | key);
  return 0;
}

std::pair<TKivShortcut, TKivShortcut> TextToShortcutPair(const TKivString& AText) {
  const size_t comma = AText.find(u',');
  if (comma == TKivString::npos) return {TextToShortcut(AText), 0};
  const TKivShortcut sc = TextToShortcut(AText.substr(0, comma));
  const TKivShortcut sc2 = TextToShortcut(AText.substr(comma + 1));
  if (sc == 0 || sc2 == 0) return {0, 0};
  return {sc, sc2};
}

TKivString KivOverrideQuestion(const TKivString& ABindingText, const std::vector<TKivString>& ADescrs) {
  return u"Keybinding '" + ABindingText + u"' will override actions:\r\n" + DescrLines(ADescrs) +
         u"\r\nContinue?";
}

TKivString KivResetQuestion(const std::vector<TKivString>& ADescrs) {
  return u"After reset those actions will be overriden:\r\n" + DescrLines(ADescrs) + u"\r\nContinue?";
}

// ---- nodes ----

TNodeBinding& TNodeData::AddBinding(std::unique_ptr<TNodeBinding> ABinding) {
  if (!ABinding) throw EInvalidArgument(u"Binding must not be nil");
  FBindings.push_back(std::move(ABinding));
  return *FBindings.back();
}

bool TNodeData::RemoveBinding(const TNodeBinding* ABinding) {
  const auto it = std::find_if(FBindings.begin(), FBindings.end(),
                               [&](const std::unique_ptr<TNodeBinding>& b) { return b.get() == ABinding; });
  if (it == FBindings.end()) return false;
  FBindings.erase(it);
  return true;
}

bool TNodeData::RemoveBinding(TKivShortcut ASc, TKivShortcut ASc2) {
  return RemoveBinding(FindBinding(ASc, ASc2));
}

namespace {
bool OverridesOne(const TNodeBinding& B, TKivShortcut ASc, TKivShortcut ASc2) {
  return B.Shortcut() == ASc && (B.Shortcut2() == ASc2 || B.Shortcut2() == 0 || ASc2 == 0);
}
}  // namespace

bool TNodeData::RemoveOvrBindings(TKivShortcut ASc, TKivShortcut ASc2) {
  const auto from =
      std::remove_if(FBindings.begin(), FBindings.end(),
                     [&](const std::unique_ptr<TNodeBinding>& b) { return OverridesOne(*b, ASc, ASc2); });
  const bool removed = from != FBindings.end();
  FBindings.erase(from, FBindings.end());
  return removed;
}

bool TNodeData::Overrides(TKivShortcut ASc, TKivShortcut ASc2) const {
  return std::any_of(FBindings.begin(), FBindings.end(),
                     [&](const std::unique_ptr<TNodeBinding>& b) { return OverridesOne(*b, ASc, ASc2); });
}

TNodeBinding* TNodeData::FindBinding(TKivShortcut ASc, TKivShortcut ASc2) const {
  for (const auto& b : FBindings)
    if (b->Shortcut() == ASc && b->Shortcut2() == ASc2) return b.get();
  return nullptr;
}

bool TNodeData::HasBinding(TKivShortcut ASc) const {
  return std::any_of(FBindings.begin(), FBindings.end(),
                     [&](const std::unique_ptr<TNodeBinding>& b) { return b->Shortcut() == ASc; });
}

void TNodeData::SortBindings() {
  std::stable_sort(FBindings.begin(), FBindings.end(),
                   [](const std::unique_ptr<TNodeBinding>& A, const std::unique_ptr<TNodeBinding>& B) {
                     return ShortcutPairToText(A->Shortcut(), A->Shortcut2()) <
                            ShortcutPairToText(B->Shortcut(), B->Shortcut2());
                   });
}

// ---- the tree ----

void TKivKeyBindingsModel::BuildCommandTree(const TKivEditCommandList& ADefaults,
                                            const TKivEditCommandList& ACustom) {
  struct TSrt {
    const TKivEditCommandItem* Item;
    bool Custom;
    TKivString Cat, Descr;
  };
  std::vector<TSrt> srt;
  std::vector<TDefaults> defaults(kivEditCommandCount);
  for (Integer i = 0; i < ADefaults.Count(); ++i) {
    const TKivEditCommandItem& d = ADefaults.Items(i);
    TDefaults& def = defaults[d.Command()];
    def.Modes = d.Modes();
    for (Integer j = 0; j < d.Bindings().Count(); ++j)
      def.Bindings.push_back({d.Bindings().Items(j).Shortcut(), d.Bindings().Items(j).Shortcut2()});
    SortPairs(def.Bindings);
    if (!d.Editable() || (d.Modes() & kTreeModes) == 0) continue;
    const TKivEditCommandItem* custom = ACustom.FindCommand(d.Command());
    srt.push_back({custom ? custom : &d, custom != nullptr, d.Category(), d.Description()});
  }
  std::stable_sort(srt.begin(), srt.end(), [](const TSrt& A, const TSrt& B) {
    if (A.Cat != B.Cat) return A.Cat < B.Cat;
    return A.Descr < B.Descr;
  });
  std::vector<TKeyBindingsCategory> categories;
  for (const TSrt& s : srt) {
    if (categories.empty() || categories.back().Name != s.Cat) categories.push_back({s.Cat, {}});
    auto node = std::make_unique<TNodeData>(s.Item->Command(), s.Descr, s.Item->Modes());
    const TKivEditCommandBindings& bindings = s.Item->Bindings();
    for (Integer j = 0; j < bindings.Count(); ++j) {
      const TKivShortcut sc = bindings.Items(j).Shortcut(), sc2 = bindings.Items(j).Shortcut2();
      if (!s.Custom && TakenOver(ACustom, s.Item->Modes(), sc, sc2)) continue;
      node->AddBinding(TNodeBinding::Create(sc, sc2));
    }
    node->SortBindings();
    categories.back().Nodes.push_back(std::move(node));
  }
  FCategories = std::move(categories);
  FDefaults = std::move(defaults);
}

std::vector<TNodeData*> TKivKeyBindingsModel::Nodes() const {
  std::vector<TNodeData*> nodes;
  for (const TKeyBindingsCategory& c : FCategories)
    for (const auto& n : c.Nodes) nodes.push_back(n.get());
  return nodes;
}

TNodeData* TKivKeyBindingsModel::FindNode(TKivEditCommand ACommand) const {
  for (TNodeData* n : Nodes())
    if (n->Command() == ACommand) return n;
  return nullptr;
}

TNodeData* TKivKeyBindingsModel::FindNode(const TKivString& ADescr) const {
  for (TNodeData* n : Nodes())
    if (n->Descr() == ADescr) return n;
  return nullptr;
}

TNodeData* TKivKeyBindingsModel::CheckNode(const TNodeData& ANode) const {
  for (TNodeData* n : Nodes())
    if (n == &ANode) return n;
  throw EInvalidArgument(u"The node is not part of the command tree");
}

const TKivKeyBindingsModel::TDefaults& TKivKeyBindingsModel::DefaultsOf(TKivEditCommand ACommand) const {
  static const TDefaults kNone;
  return static_cast<size_t>(ACommand) < FDefaults.size() ? FDefaults[ACommand] : kNone;
}

std::vector<TNodeData*> TKivKeyBindingsModel::FindConflicts(TKivEditCommandModes AModes, TKivShortcut ASc,
                                                            TKivShortcut ASc2) const {
  std::vector<TNodeData*> found;
  for (TNodeData* n : Nodes())
    if ((n->Modes() & AModes) != 0 && n->Overrides(ASc, ASc2)) found.push_back(n);
  return found;
}

TKivString TKivKeyBindingsModel::AddQuestion(const TNodeData& ANode, TKivShortcut ASc, TKivShortcut ASc2,
                                             const TKivString& ABindingText) const {
  CheckNode(ANode);
  std::vector<TKivString> descrs;
  for (const TNodeData* n : FindConflicts(ANode.Modes(), ASc, ASc2)) descrs.push_back(n->Descr());
  if (descrs.empty()) return {};
  return KivOverrideQuestion(ABindingText, Unique(descrs));
}

void TKivKeyBindingsModel::AddBinding(TNodeData& ANode, TKivShortcut ASc, TKivShortcut ASc2) {
  CheckNode(ANode);
  if (ASc == 0) throw EInvalidArgument(u"A binding needs a first stroke");
  for (TNodeData* n : FindConflicts(ANode.Modes(), ASc, ASc2)) n->RemoveOvrBindings(ASc, ASc2);
  ANode.AddBinding(TNodeBinding::Create(ASc, ASc2));
}

TKivString TKivKeyBindingsModel::ResetQuestion(const TNodeData& ANode) const {
  CheckNode(ANode);
  const TDefaults& d = DefaultsOf(ANode.Command());
  std::vector<TKivString> descrs;
  for (const TPair& p : d.Bindings)
    for (const TNodeData* n : FindConflicts(d.Modes, p.first, p.second)) descrs.push_back(n->Descr());
  std::stable_sort(descrs.begin(), descrs.end(), LessNoCase);
  descrs = Unique(descrs);
  if (descrs.empty() || (descrs.size() == 1 && SameText(descrs[0], ANode.Descr()))) return {};
  return KivResetQuestion(descrs);
}

void TKivKeyBindingsModel::ResetToDefaults(TNodeData& ANode) {
  CheckNode(ANode);
  const TDefaults& d = DefaultsOf(ANode.Command());
  for (const TPair& p : d.Bindings)
    for (TNodeData* n : FindConflicts(d.Modes, p.first, p.second)) n->RemoveOvrBindings(p.first, p.second);
  ResetNodeToDefaults(ANode);
}

void TKivKeyBindingsModel::ResetNodeToDefaults(TNodeData& ANode) const {
  const TDefaults& d = DefaultsOf(ANode.Command());
  ANode.ClearBindings();
  for (const TPair& p : d.Bindings) ANode.AddBinding(TNodeBinding::Create(p.first, p.second));
  ANode.SetModes(d.Modes);
  ANode.SortBindings();
}

void TKivKeyBindingsModel::ResetAll() {
  for (TNodeData* n : Nodes()) ResetNodeToDefaults(*n);
}

bool TKivKeyBindingsModel::NodeChanged(const TNodeData& ANode) const {
  const TDefaults& d = DefaultsOf(ANode.Command());
  if (ANode.Modes() != d.Modes || ANode.Bindings().size() != d.Bindings.size()) return true;
  std::vector<TPair> mine;
  for (const auto& b : ANode.Bindings()) mine.push_back({b->Shortcut(), b->Shortcut2()});
  SortPairs(mine);
  return mine != d.Bindings;
}

void TKivKeyBindingsModel::ApplyBindings(TKivEditCommandList& ACustom) {
  const std::vector<TPlainItem> old = ReadItems(ACustom);
  std::vector<TPlainItem> items;
  // Custom items of commands the tree does not show are the user's own: they stay.
  for (const TPlainItem& p : old)
    if (!FindNode(p.Command)) items.push_back(p);
  for (TNodeData* n : Nodes()) {
    n->SortBindings();
    if (!NodeChanged(*n)) continue;
    TPlainItem p{n->Command(), true, n->Modes(), {}};
    for (const auto& b : n->Bindings()) p.Bindings.push_back({b->Shortcut(), b->Shortcut2()});
    items.push_back(std::move(p));
  }
  // Checked whole first, so the list is either written completely or not touched.
  CheckWrites(items);
  try {
    WriteItems(ACustom, items);
  } catch (...) {
    // Not reached when the check above holds; the old items are put back all the same.
    try {
      WriteItems(ACustom, old);
    } catch (...) {
    }
    throw;
  }
}
