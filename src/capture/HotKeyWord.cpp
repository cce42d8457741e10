#include "capture/HotKeyWord.h"

#include "base/Text.h"

namespace {

constexpr THotKeyItem kItems[kHotKeyItemCount] = {
    {L"PrintScreen", 0x2C},
    {L"A", 0x41}, {L"B", 0x42}, {L"C", 0x43}, {L"D", 0x44}, {L"E", 0x45}, {L"F", 0x46}, {L"G", 0x47},
    {L"H", 0x48}, {L"I", 0x49}, {L"J", 0x4A}, {L"K", 0x4B}, {L"L", 0x4C}, {L"M", 0x4D}, {L"N", 0x4E},
    {L"O", 0x4F}, {L"P", 0x50}, {L"Q", 0x51}, {L"R", 0x52}, {L"S", 0x53}, {L"T", 0x54}, {L"U", 0x55},
    {L"V", 0x56}, {L"W", 0x57}, {L"X", 0x58}, {L"Y", 0x59}, {L"Z", 0x5A},
    {L"1", 0x31}, {L"2", 0x32}, {L"3", 0x33}, {L"4", 0x34}, {L"5", 0x35}, {L"6", 0x36}, {L"7", 0x37},
    {L"8", 0x38}, {L"9", 0x39}, {L"0", 0x30},
    {L"F1", 0x70}, {L"F2", 0x71}, {L"F3", 0x72}, {L"F4", 0x73}, {L"F5", 0x74}, {L"F6", 0x75},
    {L"F7", 0x76}, {L"F8", 0x77}, {L"F9", 0x78}, {L"F10", 0x79}, {L"F11", 0x7A}, {L"F12", 0x7B},
    {L"DEL", 0x2E},
};

}  // namespace

const THotKeyItem& HotKeyItem(int index) { return kItems[index]; }

int HotKeyItemIndex(uint8_t key) {
  for (int i = 0; i < kHotKeyItemCount; ++i)
    if (kItems[i].Key == key) return i;
  return -1;
}

int HotKeyItemIndex(std::wstring_view text) {
  for (int i = 0; i < kHotKeyItemCount; ++i)
    if (SameTextAscii(kItems[i].Text, text)) return i;
  return -1;
}

uint16_t StoredShortcut(int32_t value) { return static_cast<uint16_t>(static_cast<uint32_t>(value) & 0xFFFFu); }

bool IsOfferedShortcut(uint16_t word) { return HotKeyItemIndex(static_cast<uint8_t>(word & shortcut::KeyMask)) >= 0; }

std::optional<uint16_t> MakeShortcut(int itemIndex, bool shift, bool ctrl, bool alt) {
  if (itemIndex < 0 || itemIndex >= kHotKeyItemCount) return std::nullopt;
  uint16_t word = kItems[itemIndex].Key;
  if (alt) word |= shortcut::Alt;
  if (ctrl) word |= shortcut::Ctrl;
  if (shift) word |= shortcut::Shift;
  return word;
}

THotKeyRegistration RegistrationOf(uint16_t word) {
  THotKeyRegistration r;
  r.Modifiers = hotkeymod::NoRepeat;
  r.Key = word & shortcut::KeyMask;
  if (word & shortcut::Alt) r.Modifiers |= hotkeymod::Alt;
  if (word & shortcut::Ctrl) r.Modifiers |= hotkeymod::Control;
  if (word & shortcut::Shift) r.Modifiers |= hotkeymod::Shift;
  return r;
}
