// Settings: defaults from an empty registry, write-through, and stored values of any type.
#include <gtest/gtest.h>

#include "app/Ids.h"
#include "e2e/Driver.h"

using namespace e2e;
using namespace std::chrono_literals;

namespace {

class Settings : public TE2ETest {};

TEST_F(Settings, EmptyRegistryGivesTheDefaults) {
  ResetRegistry();  // not even the test's save folder
  auto v = TVantoru::Start();
  EXPECT_EQ(v.ListIndex(ctl::ChkArea), 0);
  EXPECT_EQ(v.ListIndex(ctl::ChkSaveTo), 0);
  EXPECT_EQ(v.ListText(ctl::ChkJPEG_qual, v.ListIndex(ctl::ChkJPEG_qual)), L"90");
  EXPECT_EQ(v.ListText(ctl::ChkWebp_qual, v.ListIndex(ctl::ChkWebp_qual)), L"90");
  // Wine's user locale is English: the interface is English.
  EXPECT_EQ(WindowText(v.Window()), L"Vantoru");
  EXPECT_EQ(v.ListText(ctl::ChkArea, 0), L"Full Screen");
  // The start wrote the two list values and turned off the system's use of PrintScreen.
  EXPECT_EQ(GetDword(kSettingsKey, L"area"), std::optional<DWORD>(0));
  EXPECT_EQ(GetDword(kSettingsKey, L"saveto"), std::optional<DWORD>(0));
  EXPECT_EQ(GetDword(L"Control Panel\\Keyboard", L"PrintScreenKeyForSnippingEnabled"), std::optional<DWORD>(0));
  EXPECT_FALSE(GetString(kSettingsKey, L"path").has_value());
  // Toggles flip their default: pointer drawn, no sound, no log.
  v.MenuCommand(cmd::ChkMouse);
  v.MenuCommand(cmd::ChkAudio);
  v.MenuCommand(cmd::ChkLog);
  EXPECT_EQ(GetDword(kSettingsKey, L"mouse"), std::optional<DWORD>(0));
  EXPECT_EQ(GetDword(kSettingsKey, L"audio"), std::optional<DWORD>(1));
  EXPECT_EQ(GetDword(kSettingsKey, L"ffmpeg_log"), std::optional<DWORD>(1));
  // No start with the system unless asked.
  EXPECT_FALSE(GetString(kRunKey, L"Vantoru").has_value());
}

TEST_F(Settings, ChangesAreWrittenAtOnce) {
  auto v = TVantoru::Start();
  struct {
    unsigned Id;
    const wchar_t* Name;
    DWORD Value;
  } clicks[] = {
      {cmd::ChkRecLimit120, L"record_limit", 120}, {cmd::ChkRecLimit0, L"record_limit", 0},
      {cmd::ChkSound1, L"sound", 1},               {cmd::ChkSound3, L"sound", 3},
      {cmd::ChkAppend2, L"append", 2},             {cmd::ChkAppend3, L"append", 3},
  };
  for (const auto& c : clicks) {
    v.MenuCommand(c.Id);
    EXPECT_EQ(GetDword(kSettingsKey, c.Name), std::optional<DWORD>(c.Value)) << c.Name;
  }
  v.SelectInList(ctl::ChkWebp_qual, 3);
  EXPECT_EQ(GetDword(kSettingsKey, L"webp_quality"), std::optional<DWORD>(3));
  EXPECT_FALSE(GetDword(kSettingsKey, L"jpeg_quality").has_value());
  v.SelectInList(ctl::ChkArea, 3);
  EXPECT_EQ(GetDword(kSettingsKey, L"area"), std::optional<DWORD>(3));
  v.SelectInList(ctl::ChkArea, 6);  // the colour picker is not remembered
  EXPECT_EQ(GetDword(kSettingsKey, L"area"), std::optional<DWORD>(0));
  v.SelectInList(ctl::ChkSaveTo, 2);
  EXPECT_EQ(GetDword(kSettingsKey, L"saveto"), std::optional<DWORD>(2));

  // A restart shows what was stored, each list its own choice.
  ASSERT_TRUE(v.Quit());
  auto again = TVantoru::Start(L"", v.Folder());
  EXPECT_EQ(again.ListText(ctl::ChkWebp_qual, again.ListIndex(ctl::ChkWebp_qual)), L"70");
  EXPECT_EQ(again.ListText(ctl::ChkJPEG_qual, again.ListIndex(ctl::ChkJPEG_qual)), L"90");
  EXPECT_EQ(again.ListIndex(ctl::ChkSaveTo), 2);
  EXPECT_EQ(again.ListIndex(ctl::ChkArea), 0);
}

TEST_F(Settings, StoredLanguageMustBeExact) {
  SetString(kSettingsKey, L"language", L"ko");
  {
    auto v = TVantoru::Start();
    EXPECT_EQ(WindowText(v.Window()), L"반토루");
    EXPECT_EQ(v.ListText(ctl::ChkArea, 0), L"전체화면 캡쳐");
  }
  SetString(kSettingsKey, L"language", L"KO");
  auto v = TVantoru::Start();
  EXPECT_EQ(WindowText(v.Window()), L"Vantoru");
}

TEST_F(Settings, ValuesOfTheWrongTypeOrOutOfRangeDoNotStopTheStart) {
  SetString(kSettingsKey, L"area", L"two");
  SetDword(kSettingsKey, L"language", 5);
  SetDword(kSettingsKey, L"path", 1);
  SetDword(kSettingsKey, L"saveto", 20);
  SetString(kSettingsKey, L"mouse", L"yes");
  SetDword(kSettingsKey, L"append", 7);
  auto v = TVantoru::Start();
  EXPECT_TRUE(v.Process().Running());
  EXPECT_EQ(v.ListIndex(ctl::ChkArea), 0);
  EXPECT_EQ(v.ListIndex(ctl::ChkSaveTo), 0);
  EXPECT_EQ(WindowText(v.Window()), L"Vantoru");
}

TEST_F(Settings, RunOnSystemStartToggle) {
  auto v = TVantoru::Start();
  v.MenuCommand(cmd::ChkRegStart);
  EXPECT_EQ(GetString(kRunKey, L"Vantoru"), std::optional<std::wstring>(L"\"" + v.Exe() + L"\" /start"));
  v.MenuCommand(cmd::ChkRegStart);
  EXPECT_FALSE(GetString(kRunKey, L"Vantoru").has_value());
}

TEST_F(Settings, AStartRepairsAnEntryOfAMovedProgram) {
  SetString(kRunKey, L"Vantoru", L"\"C:\\old\\place\\vantoru.exe\" /start");
  auto v = TVantoru::Start();
  EXPECT_EQ(GetString(kRunKey, L"Vantoru"), std::optional<std::wstring>(L"\"" + v.Exe() + L"\" /start"));
}

}  // namespace
