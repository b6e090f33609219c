// The editor's keys on Qt: a Qt key with its modifiers as the virtual key and shift state the
// command bindings use, the reverse, and the names of keys and shortcuts as the key bindings
// dialog shows and reads them.
//
// Keys are read from QKeyEvent::key(), never from native codes, and mapped as on a US layout:
// a shifted symbol is its base key with Shift (Key_Exclam is Shift+1), Backtab is Shift+Tab, and
// keypad digits and operators (KeypadModifier) are the numeric keypad's own keys. Meta, Keypad and
// group-switch modifiers have no bit in a shift state.
#pragma once

#include <QKeyCombination>
#include <QString>

#include "KivSedCommands.h"

class QKeyEvent;

// False for a key without a virtual key code (AKey and AShift then 0).
bool KivQtKeyToVirtual(int AQtKey, Qt::KeyboardModifiers AModifiers, uint16_t& AKey, TKivShiftState& AShift);
// The shortcut of a key (0 for a key without a code).
TKivShortcut KivQtKeyToShortcut(int AQtKey, Qt::KeyboardModifiers AModifiers);
TKivShortcut KivShortcutOfEvent(const QKeyEvent& AEvent);
// A shortcut as a Qt key with modifiers (Qt::Key_unknown for a code Qt has no key for).
QKeyCombination KivShortcutToQtKey(TKivShortcut AShortcut);

// "Ctrl+Shift+C" style names: modifiers in the order Shift, Ctrl, Alt, then the key's name
// ("PgUp", "Num 5", "F3", ";"); an unnamed code is "Key 123"; 0 is empty. Two strokes are joined
// by ", ".
QString KivKeyName(uint16_t AKey);
QString KivShortcutToText(TKivShortcut AShortcut);
QString KivShortcutToText(TKivShortcut AShortcut, TKivShortcut AShortcut2);
// The reverse of KivShortcutToText for one stroke (case-insensitive); 0 when not understood.
TKivShortcut KivTextToShortcut(const QString& AText);
