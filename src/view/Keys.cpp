// Qt keys to virtual keys and back, and their names.
#include <QKeyEvent>
#include <array>

#include "KivSedKeys.h"

namespace {

struct TKeyRow {
  int QtKey;
  uint16_t Key;
  const char* Name;
};

// Keys whose Qt key maps to one code. The first row of a code is its reverse and its name.
constexpr TKeyRow kKeys[] = {
    {Qt::Key_Backspace, vkBack, "Backspace"},
    {Qt::Key_Tab, vkTab, "Tab"},
    {Qt::Key_Clear, 12, "Clear"},
    {Qt::Key_Return, vkReturn, "Enter"},
    {Qt::Key_Enter, vkReturn, "Enter"},
    {Qt::Key_Shift, vkShift, "Shift"},
    {Qt::Key_Control, vkControl, "Ctrl"},
    {Qt::Key_Alt, vkMenu, "Alt"},
    {Qt::Key_Pause, vkPause, "Pause"},
    {Qt::Key_CapsLock, vkCapital, "Caps Lock"},
    {Qt::Key_Escape, vkEscape, "Esc"},
    {Qt::Key_Space, vkSpace, "Space"},
    {Qt::Key_PageUp, vkPrior, "PgUp"},
    {Qt::Key_PageDown, vkNext, "PgDn"},
    {Qt::Key_End, vkEnd, "End"},
    {Qt::Key_Home, vkHome, "Home"},
    {Qt::Key_Left, vkLeft, "Left"},
    {Qt::Key_Up, vkUp, "Up"},
    {Qt::Key_Right, vkRight, "Right"},
    {Qt::Key_Down, vkDown, "Down"},
    {Qt::Key_Print, 44, "PrtSc"},
    {Qt::Key_Insert, vkInsert, "Ins"},
    {Qt::Key_Delete, vkDelete, "Del"},
    {Qt::Key_Meta, vkLWin, "Win"},
    {Qt::Key_Menu, vkApps, "Menu"},
    {Qt::Key_NumLock, vkNumLock, "Num Lock"},
    {Qt::Key_ScrollLock, vkScroll, "Scroll Lock"},
    {Qt::Key_AltGr, vkRMenu, "AltGr"},
    {Qt::Key_Semicolon, vkOem1, ";"},
    {Qt::Key_Equal, vkOemPlus, "="},
    {Qt::Key_Comma, vkOemComma, ","},
    {Qt::Key_Minus, vkOemMinus, "-"},
    {Qt::Key_Period, vkOemPeriod, "."},
    {Qt::Key_Slash, vkOem2, "/"},
    {Qt::Key_QuoteLeft, vkOem3, "`"},
    {Qt::Key_BracketLeft, vkOem4, "["},
    {Qt::Key_Backslash, vkOem5, "\\"},
    {Qt::Key_BracketRight, vkOem6, "]"},
    {Qt::Key_Apostrophe, vkOem7, "'"},
};

// Symbols a US layout types with Shift, as their base key.
constexpr TKeyRow kShifted[] = {
    {Qt::Key_Exclam, '1', nullptr},          {Qt::Key_At, '2', nullptr},
    {Qt::Key_NumberSign, '3', nullptr},      {Qt::Key_Dollar, '4', nullptr},
    {Qt::Key_Percent, '5', nullptr},         {Qt::Key_AsciiCircum, '6', nullptr},
    {Qt::Key_Ampersand, '7', nullptr},       {Qt::Key_Asterisk, '8', nullptr},
    {Qt::Key_ParenLeft, '9', nullptr},       {Qt::Key_ParenRight, '0', nullptr},
    {Qt::Key_Colon, vkOem1, nullptr},        {Qt::Key_Plus, vkOemPlus, nullptr},
    {Qt::Key_Less, vkOemComma, nullptr},     {Qt::Key_Underscore, vkOemMinus, nullptr},
    {Qt::Key_Greater, vkOemPeriod, nullptr}, {Qt::Key_Question, vkOem2, nullptr},
    {Qt::Key_AsciiTilde, vkOem3, nullptr},   {Qt::Key_BraceLeft, vkOem4, nullptr},
    {Qt::Key_Bar, vkOem5, nullptr},          {Qt::Key_BraceRight, vkOem6, nullptr},
    {Qt::Key_QuoteDbl, vkOem7, nullptr},
};

// Keypad operators (with KeypadModifier).
constexpr TKeyRow kKeypad[] = {
    {Qt::Key_Asterisk, vkMultiply, "Num *"}, {Qt::Key_Plus, vkAdd, "Num +"},
    {Qt::Key_Comma, vkSeparator, "Num ,"},   {Qt::Key_Minus, vkSubtract, "Num -"},
    {Qt::Key_Period, vkDecimal, "Num ."},    {Qt::Key_Slash, vkDivide, "Num /"},
};

template <size_t N>
const TKeyRow* ByQtKey(const TKeyRow (&ARows)[N], int AQtKey) {
  for (const TKeyRow& r : ARows)
    if (r.QtKey == AQtKey) return &r;
  return nullptr;
}

template <size_t N>
const TKeyRow* ByCode(const TKeyRow (&ARows)[N], uint16_t AKey) {
  for (const TKeyRow& r : ARows)
    if (r.Key == AKey) return &r;
  return nullptr;
}

uint16_t CodeOf(int AQtKey, bool AKeypad, bool& AShifted) {
  AShifted = false;
  if (AKeypad) {
    if (AQtKey >= Qt::Key_0 && AQtKey <= Qt::Key_9)
      return static_cast<uint16_t>(vkNumpad0 + (AQtKey - Qt::Key_0));
    if (const TKeyRow* r = ByQtKey(kKeypad, AQtKey)) return r->Key;
  }
  if (AQtKey >= Qt::Key_0 && AQtKey <= Qt::Key_9) return static_cast<uint16_t>('0' + (AQtKey - Qt::Key_0));
  if (AQtKey >= Qt::Key_A && AQtKey <= Qt::Key_Z) return static_cast<uint16_t>('A' + (AQtKey - Qt::Key_A));
  if (AQtKey >= Qt::Key_F1 && AQtKey <= Qt::Key_F24)
    return static_cast<uint16_t>(vkF1 + (AQtKey - Qt::Key_F1));
  if (AQtKey == Qt::Key_Backtab) {
    AShifted = true;
    return vkTab;
  }
  if (const TKeyRow* r = ByQtKey(kKeys, AQtKey)) return r->Key;
  if (const TKeyRow* r = ByQtKey(kShifted, AQtKey)) {
    AShifted = true;
    return r->Key;
  }
  return 0;
}

}  // namespace

bool KivQtKeyToVirtual(int AQtKey, Qt::KeyboardModifiers AModifiers, uint16_t& AKey, TKivShiftState& AShift) {
  bool shifted = false;
  AKey = CodeOf(AQtKey, AModifiers.testFlag(Qt::KeypadModifier), shifted);
  AShift = ssEmpty;
  if (AKey == 0) return false;
  if (shifted || AModifiers.testFlag(Qt::ShiftModifier)) AShift = AShift | ssShift;
  if (AModifiers.testFlag(Qt::ControlModifier)) AShift = AShift | ssCtrl;
  if (AModifiers.testFlag(Qt::AltModifier)) AShift = AShift | ssAlt;
  return true;
}

TKivShortcut KivQtKeyToShortcut(int AQtKey, Qt::KeyboardModifiers AModifiers) {
  uint16_t key;
  TKivShiftState shift;
  return KivQtKeyToVirtual(AQtKey, AModifiers, key, shift) ? KivShortcut(key, shift) : TKivShortcut(0);
}

TKivShortcut KivShortcutOfEvent(const QKeyEvent& AEvent) {
  return KivQtKeyToShortcut(AEvent.key(), AEvent.modifiers());
}

QKeyCombination KivShortcutToQtKey(TKivShortcut AShortcut) {
  const uint16_t key = KivShortcutKey(AShortcut);
  Qt::KeyboardModifiers mods;
  if (AShortcut & kivShortcutShift) mods |= Qt::ShiftModifier;
  if (AShortcut & kivShortcutCtrl) mods |= Qt::ControlModifier;
  if (AShortcut & kivShortcutAlt) mods |= Qt::AltModifier;
  Qt::Key qt = Qt::Key_unknown;
  if (key >= '0' && key <= '9')
    qt = Qt::Key(Qt::Key_0 + (key - '0'));
  else if (key >= 'A' && key <= 'Z')
    qt = Qt::Key(Qt::Key_A + (key - 'A'));
  else if (key >= vkF1 && key <= vkF24)
    qt = Qt::Key(Qt::Key_F1 + (key - vkF1));
  else if (key >= vkNumpad0 && key <= vkNumpad0 + 9) {
    qt = Qt::Key(Qt::Key_0 + (key - vkNumpad0));
    mods |= Qt::KeypadModifier;
  } else if (const TKeyRow* r = ByCode(kKeypad, key)) {
    qt = Qt::Key(r->QtKey);
    mods |= Qt::KeypadModifier;
  } else if (const TKeyRow* r = ByCode(kKeys, key)) {
    qt = Qt::Key(r->QtKey);
  }
  return QKeyCombination(mods, qt);
}

QString KivKeyName(uint16_t AKey) {
  if (AKey == 0) return {};
  if ((AKey >= '0' && AKey <= '9') || (AKey >= 'A' && AKey <= 'Z')) return QString(QChar(AKey));
  if (AKey >= vkF1 && AKey <= vkF24) return QStringLiteral("F%1").arg(AKey - vkF1 + 1);
  if (AKey >= vkNumpad0 && AKey <= vkNumpad0 + 9) return QStringLiteral("Num %1").arg(AKey - vkNumpad0);
  if (const TKeyRow* r = ByCode(kKeypad, AKey)) return QString::fromLatin1(r->Name);
  if (const TKeyRow* r = ByCode(kKeys, AKey)) return QString::fromLatin1(r->Name);
  return QStringLiteral("Key %1").arg(AKey);
}

QString KivShortcutToText(TKivShortcut AShortcut) {
  if (AShortcut == 0) return {};
  QString s;
  if (AShortcut & kivShortcutShift) s += QStringLiteral("Shift+");
  if (AShortcut & kivShortcutCtrl) s += QStringLiteral("Ctrl+");
  if (AShortcut & kivShortcutAlt) s += QStringLiteral("Alt+");
  return s + KivKeyName(KivShortcutKey(AShortcut));
}

QString KivShortcutToText(TKivShortcut AShortcut, TKivShortcut AShortcut2) {
  if (AShortcut2 == 0) return KivShortcutToText(AShortcut);
  return KivShortcutToText(AShortcut) + QStringLiteral(", ") + KivShortcutToText(AShortcut2);
}

TKivShortcut KivTextToShortcut(const QString& AText) {
  QString rest = AText.trimmed();
  TKivShortcut mods = 0;
  for (;;) {
    bool found = false;
    for (const auto& [name, bit] : {std::pair{"Shift+", kivShortcutShift},
                                    std::pair{"Ctrl+", kivShortcutCtrl}, std::pair{"Alt+", kivShortcutAlt}}) {
      const QString prefix = QString::fromLatin1(name);
      // "Ctrl++" is Ctrl with "+" only on the keypad: the key name is never empty.
      if (rest.size() > prefix.size() && rest.startsWith(prefix, Qt::CaseInsensitive)) {
        mods |= bit;
        rest = rest.mid(prefix.size());
        found = true;
      }
    }
    if (!found) break;
  }
  for (uint16_t key = 1; key <= 0xFF; ++key)
    if (KivKeyName(key).compare(rest, Qt::CaseInsensitive) == 0) return static_cast<TKivShortcut>(mods | key);
  return 0;
}
