// The hotkey as one 16-bit shortcut word (key code in the low byte, Shift/Ctrl/Alt in bits
// 13-15), the fixed list of keys the dialog offers, and the split into what the system's
// hotkey service takes.
#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

namespace shortcut {
inline constexpr uint16_t Shift = 0x2000;
inline constexpr uint16_t Ctrl = 0x4000;
inline constexpr uint16_t Alt = 0x8000;
inline constexpr uint16_t KeyMask = 0x00FF;
}  // namespace shortcut

// The system's modifier flags for registering a hotkey.
namespace hotkeymod {
inline constexpr unsigned Alt = 1;
inline constexpr unsigned Control = 2;
inline constexpr unsigned Shift = 4;
inline constexpr unsigned NoRepeat = 0x4000;  // a held key is one press, not a stream of them
}  // namespace hotkeymod

struct THotKeyItem {
  const wchar_t* Text;
  uint8_t Key;  // virtual-key code
};

// The 50 keys of the list, in list order.
inline constexpr int kHotKeyItemCount = 50;
const THotKeyItem& HotKeyItem(int index);
// The list index of a key code; -1 when the list does not offer it.
int HotKeyItemIndex(uint8_t key);
// The list index of an item text, compared without regard to ASCII case; -1 when none.
int HotKeyItemIndex(std::wstring_view text);

// The stored value read back: only the low 16 bits count.
uint16_t StoredShortcut(int32_t value);
// Whether the list offers the word's key; a word whose key it lacks is not used.
bool IsOfferedShortcut(uint16_t word);

// The word for a list selection and the ticked modifiers; nothing when no item is selected
// (an index outside the list), so no shortcut is ever built from a missing item.
std::optional<uint16_t> MakeShortcut(int itemIndex, bool shift, bool ctrl, bool alt);

struct THotKeyRegistration {
  unsigned Modifiers = 0;  // hotkeymod flags
  unsigned Key = 0;        // virtual-key code
  bool operator==(const THotKeyRegistration&) const = default;
};
// Always with NoRepeat: one press of the hotkey is one request however long it is held.
THotKeyRegistration RegistrationOf(uint16_t word);
