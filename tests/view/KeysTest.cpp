// The key unit as a table: Qt keys with modifiers, their shortcut, its name and the way back.
#include <gtest/gtest.h>

#include <QKeyEvent>

#include "KivSedKeys.h"

namespace {

struct KeyCase {
  int QtKey;
  Qt::KeyboardModifiers Mods;
  TKivShortcut Shortcut;
  const char* Name;
  // The Qt key the shortcut maps back to (the same key unless noted).
  int BackKey;
  Qt::KeyboardModifiers BackMods;
};

constexpr auto kNone = Qt::NoModifier;
constexpr auto kShift = Qt::ShiftModifier;
constexpr auto kCtrl = Qt::ControlModifier;
constexpr auto kAlt = Qt::AltModifier;
constexpr auto kPad = Qt::KeypadModifier;

const KeyCase kCases[] = {
    {Qt::Key_C, kCtrl, 0x4043, "Ctrl+C", Qt::Key_C, kCtrl},
    {Qt::Key_C, kCtrl | kShift, 0x6043, "Shift+Ctrl+C", Qt::Key_C, kCtrl | kShift},
    {Qt::Key_Insert, kCtrl, 0x402D, "Ctrl+Ins", Qt::Key_Insert, kCtrl},
    {Qt::Key_Backtab, kShift, 0x2009, "Shift+Tab", Qt::Key_Tab, kShift},
    {Qt::Key_Backtab, kNone, 0x2009, "Shift+Tab", Qt::Key_Tab, kShift},
    {Qt::Key_Tab, kCtrl, 0x4009, "Ctrl+Tab", Qt::Key_Tab, kCtrl},
    {Qt::Key_Return, kNone, 0x000D, "Enter", Qt::Key_Return, kNone},
    {Qt::Key_Enter, kPad, 0x000D, "Enter", Qt::Key_Return, kNone},
    {Qt::Key_Escape, kNone, 0x001B, "Esc", Qt::Key_Escape, kNone},
    {Qt::Key_Backspace, kCtrl | kAlt, 0xC008, "Ctrl+Alt+Backspace", Qt::Key_Backspace, kCtrl | kAlt},
    {Qt::Key_Space, kCtrl, 0x4020, "Ctrl+Space", Qt::Key_Space, kCtrl},
    {Qt::Key_PageUp, kAlt | kShift, 0xA021, "Shift+Alt+PgUp", Qt::Key_PageUp, kAlt | kShift},
    {Qt::Key_PageDown, kNone, 0x0022, "PgDn", Qt::Key_PageDown, kNone},
    {Qt::Key_End, kCtrl | kAlt | kShift, 0xE023, "Shift+Ctrl+Alt+End", Qt::Key_End, kCtrl | kAlt | kShift},
    {Qt::Key_Left, kPad, 0x0025, "Left", Qt::Key_Left, kNone},
    {Qt::Key_Down, kCtrl, 0x4028, "Ctrl+Down", Qt::Key_Down, kCtrl},
    {Qt::Key_Delete, kShift, 0x202E, "Shift+Del", Qt::Key_Delete, kShift},
    {Qt::Key_F3, kNone, 0x0072, "F3", Qt::Key_F3, kNone},
    {Qt::Key_F12, kCtrl, 0x407B, "Ctrl+F12", Qt::Key_F12, kCtrl},
    {Qt::Key_5, kPad, 0x0065, "Num 5", Qt::Key_5, kPad},
    {Qt::Key_5, kNone, 0x0035, "5", Qt::Key_5, kNone},
    {Qt::Key_Asterisk, kPad, 0x006A, "Num *", Qt::Key_Asterisk, kPad},
    {Qt::Key_Plus, kPad | kCtrl, 0x406B, "Ctrl+Num +", Qt::Key_Plus, kPad | kCtrl},
    {Qt::Key_Asterisk, kShift, 0x2038, "Shift+8", Qt::Key_8, kShift},
    {Qt::Key_Exclam, kShift, 0x2031, "Shift+1", Qt::Key_1, kShift},
    {Qt::Key_At, kShift | kCtrl, 0x6032, "Shift+Ctrl+2", Qt::Key_2, kShift | kCtrl},
    {Qt::Key_Semicolon, kNone, 0x00BA, ";", Qt::Key_Semicolon, kNone},
    {Qt::Key_Colon, kShift, 0x20BA, "Shift+;", Qt::Key_Semicolon, kShift},
    {Qt::Key_BracketLeft, kCtrl, 0x40DB, "Ctrl+[", Qt::Key_BracketLeft, kCtrl},
    {Qt::Key_BraceRight, kShift, 0x20DD, "Shift+]", Qt::Key_BracketRight, kShift},
    {Qt::Key_QuoteDbl, kShift, 0x20DE, "Shift+'", Qt::Key_Apostrophe, kShift},
    {Qt::Key_Minus, kCtrl, 0x40BD, "Ctrl+-", Qt::Key_Minus, kCtrl},
    {Qt::Key_A, Qt::MetaModifier, 0x0041, "A", Qt::Key_A, kNone},
};

}  // namespace

TEST(KeyUnit, QtKeysShortcutsAndNames) {
  for (const KeyCase& c : kCases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(KivQtKeyToShortcut(c.QtKey, c.Mods), c.Shortcut);
    const QKeyEvent event(QEvent::KeyPress, c.QtKey, c.Mods);
    EXPECT_EQ(KivShortcutOfEvent(event), c.Shortcut);
    EXPECT_EQ(KivShortcutToText(c.Shortcut).toStdString(), c.Name);
    EXPECT_EQ(KivTextToShortcut(QString::fromLatin1(c.Name)), c.Shortcut);
    const QKeyCombination back = KivShortcutToQtKey(c.Shortcut);
    EXPECT_EQ(int(back.key()), c.BackKey);
    EXPECT_EQ(back.keyboardModifiers(), c.BackMods);
    // The way back leads to the same shortcut.
    EXPECT_EQ(KivQtKeyToShortcut(back.key(), back.keyboardModifiers()), c.Shortcut);
  }
}

TEST(KeyUnit, UnknownKeysTwoStrokesAndOddNames) {
  uint16_t key = 1;
  TKivShiftState shift = ssShift;
  EXPECT_FALSE(KivQtKeyToVirtual(Qt::Key_unknown, kCtrl, key, shift));
  EXPECT_EQ(key, 0);
  EXPECT_EQ(shift, ssEmpty);
  EXPECT_EQ(KivQtKeyToShortcut(Qt::Key_Eacute, kNone), 0);
  EXPECT_TRUE(KivQtKeyToVirtual(Qt::Key_K, kCtrl | kAlt, key, shift));
  EXPECT_EQ(key, 'K');
  EXPECT_EQ(shift, ssCtrl | ssAlt);
  // Modifier keys have codes of their own, which the bindings never match.
  for (const int k : {Qt::Key_Shift, Qt::Key_Control, Qt::Key_Alt, Qt::Key_AltGr, Qt::Key_Meta,
                      Qt::Key_CapsLock, Qt::Key_NumLock}) {
    const TKivShortcut sc = KivQtKeyToShortcut(k, kCtrl);
    EXPECT_NE(sc, 0);
    EXPECT_TRUE(KivIsModifierKey(KivShortcutKey(sc))) << k;
  }
  EXPECT_EQ(KivShortcutToText(KivQtKeyToShortcut(Qt::Key_AltGr, kNone)).toStdString(), "AltGr");
  EXPECT_FALSE(KivIsModifierKey(KivShortcutKey(KivQtKeyToShortcut(Qt::Key_Menu, kNone))));
  EXPECT_EQ(KivShortcutToText(0x404B, 0x4058).toStdString(), "Ctrl+K, Ctrl+X");
  EXPECT_EQ(KivShortcutToText(0x404B, 0).toStdString(), "Ctrl+K");
  EXPECT_EQ(KivShortcutToText(0), QString());
  EXPECT_EQ(KivKeyName(0xFE).toStdString(), "Key 254");
  EXPECT_EQ(KivTextToShortcut(QStringLiteral("ctrl+key 254")), 0x40FE);
  EXPECT_EQ(KivTextToShortcut(QStringLiteral(" shift+ctrl+pgup ")), 0x6021);
  EXPECT_EQ(KivTextToShortcut(QStringLiteral("Ctrl+")), 0);
  EXPECT_EQ(KivTextToShortcut(QStringLiteral("Hyper+A")), 0);
  EXPECT_EQ(int(KivShortcutToQtKey(0x00FE).key()), int(Qt::Key_unknown));
}
