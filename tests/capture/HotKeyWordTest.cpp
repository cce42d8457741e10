#include "capture/HotKeyWord.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

TEST(HotKeyList, FiftyKeysInTheirOrderWithTheirCodes) {
  std::wstring texts;
  std::set<int> codes;
  for (int i = 0; i < kHotKeyItemCount; ++i) {
    texts += HotKeyItem(i).Text;
    texts += L' ';
    codes.insert(HotKeyItem(i).Key);
  }
  EXPECT_EQ(texts,
            L"PrintScreen A B C D E F G H I J K L M N O P Q R S T U V W X Y Z 1 2 3 4 5 6 7 8 9 0 "
            L"F1 F2 F3 F4 F5 F6 F7 F8 F9 F10 F11 F12 DEL ");
  EXPECT_EQ(codes.size(), 50u);  // no key twice
  const struct {
    const wchar_t* Text;
    int Key;
  } keys[] = {{L"PrintScreen", 0x2C}, {L"A", 0x41}, {L"Z", 0x5A}, {L"1", 0x31}, {L"9", 0x39},
              {L"0", 0x30},           {L"F1", 0x70}, {L"F12", 0x7B}, {L"DEL", 0x2E}};
  for (const auto& k : keys) {
    const int i = HotKeyItemIndex(std::wstring_view(k.Text));
    ASSERT_GE(i, 0) << k.Text;
    EXPECT_EQ(HotKeyItem(i).Key, k.Key) << k.Text;
    EXPECT_EQ(HotKeyItemIndex(static_cast<uint8_t>(k.Key)), i) << k.Text;
  }
}

TEST(HotKeyList, TextsMatchWithoutCaseAndUnknownsAreNotFound) {
  EXPECT_EQ(HotKeyItemIndex(std::wstring_view(L"del")), HotKeyItemIndex(uint8_t{0x2E}));
  EXPECT_EQ(HotKeyItemIndex(std::wstring_view(L"printscreen")), 0);
  EXPECT_EQ(HotKeyItemIndex(std::wstring_view(L"f10")), HotKeyItemIndex(uint8_t{0x79}));
  EXPECT_EQ(HotKeyItemIndex(std::wstring_view(L"Del ")), -1);
  EXPECT_EQ(HotKeyItemIndex(std::wstring_view(L"")), -1);
  for (int key : {0x00, 0x2D /* Insert */, 0x60 /* numpad 0 */, 0x7C /* F13 */, 0xFF})
    EXPECT_EQ(HotKeyItemIndex(static_cast<uint8_t>(key)), -1) << key;
}

TEST(ShortcutWord, ModifierBitsAndTheRegistrationTheyGive) {
  const int a = HotKeyItemIndex(std::wstring_view(L"A"));
  EXPECT_EQ(MakeShortcut(0, false, false, false), std::optional<uint16_t>(0x2C));
  EXPECT_EQ(MakeShortcut(a, true, true, false), std::optional<uint16_t>(0x6041));
  EXPECT_EQ(MakeShortcut(a, false, false, true), std::optional<uint16_t>(0x8041));
  EXPECT_EQ(MakeShortcut(a, true, true, true), std::optional<uint16_t>(0xE041));

  // Every registration asks for no repeats (MOD_NOREPEAT, 0x4000): a held key is one press.
  constexpr unsigned once = 0x4000;
  EXPECT_EQ(hotkeymod::NoRepeat, once);
  EXPECT_EQ(RegistrationOf(0x2C), (THotKeyRegistration{once, 0x2C}));
  EXPECT_EQ(RegistrationOf(0x6041), (THotKeyRegistration{once | hotkeymod::Control | hotkeymod::Shift, 0x41}));
  EXPECT_EQ(RegistrationOf(0x8078), (THotKeyRegistration{once | hotkeymod::Alt, 0x78}));
  EXPECT_EQ(RegistrationOf(0xE02E), (THotKeyRegistration{once | 1 | 2 | 4, 0x2E}));
  // Bits 8-12 are not modifiers and never reach the key code.
  EXPECT_EQ(RegistrationOf(0x1F2C), (THotKeyRegistration{once, 0x2C}));
}

TEST(ShortcutWord, OnlyWordsOfListedKeysAreUsed) {
  for (uint16_t word : {0x2C, 0x6041, 0xE02E, 0x807B, 0x1F2C}) EXPECT_TRUE(IsOfferedShortcut(word)) << word;
  // Insert, Space, nothing, a mouse button, F13: the list has none of them.
  for (uint16_t word : {0x402D, 0x20, 0x00, 0x01, 0x7C, 0xFFFF}) EXPECT_FALSE(IsOfferedShortcut(word)) << word;
}

TEST(ShortcutWord, NoSelectionBuildsNothing) {
  EXPECT_FALSE(MakeShortcut(-1, false, false, false).has_value());
  EXPECT_FALSE(MakeShortcut(-1, true, true, true).has_value());
  EXPECT_FALSE(MakeShortcut(kHotKeyItemCount, false, false, false).has_value());
}

TEST(ShortcutWord, StoredValueKeepsTheLowSixteenBits) {
  EXPECT_EQ(StoredShortcut(44), 44);
  EXPECT_EQ(StoredShortcut(0x6041), 0x6041);
  EXPECT_EQ(StoredShortcut(0x12346041), 0x6041);
  EXPECT_EQ(StoredShortcut(-1), 0xFFFF);
  EXPECT_EQ(StoredShortcut(static_cast<int32_t>(0x8000E02Eu)), 0xE02E);
}
