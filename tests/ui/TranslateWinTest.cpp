// Translating whole windows and menus, in-process under Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include "base/Translate.h"
#include "ui/Menu.h"
#include "ui/TranslateWin.h"
#include "ui/Window.h"

namespace {

// A dialog of the kind the other windows are: a title, a button, a drop-down list, a plain
// list, an edit field, and a menu three levels deep.
class TDialog : public TWindow {
 public:
  explicit TDialog(const wchar_t* title) {
    CreateWnd(TClassInfo{L"VantoruTranslateTest"}, title, WS_POPUP, 0, nullptr, 0, 0, 200, 200);
    AddChild(L"BtnOk", TChildKind::Button, L"BUTTON", L"확인", 0, 0, 0, 0, 50, 20, 1);
    Combo = AddChild(L"ChkKind", TChildKind::ComboBox, L"COMBOBOX", L"", CBS_DROPDOWNLIST | CBS_HASSTRINGS, 0, 0, 30,
                     80, 100, 2);
    for (const wchar_t* s : {L"전체", L"영역", L"없는 말"})
      SendMessageW(Combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    SendMessageW(Combo, CB_SETCURSEL, 1, 0);
    List = AddChild(L"LstNames", TChildKind::ListBox, L"LISTBOX", L"", LBS_HASSTRINGS, 0, 0, 60, 80, 40, 3);
    SendMessageW(List, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"확인"));
    Size = AddChild(L"LblSize", TChildKind::Label, L"STATIC", L"64x64", 0, 0, 0, 140, 80, 20, 5);
    Edit = AddChild(L"EditName", TChildKind::Edit, L"EDIT", L"확인", 0, 0, 0, 110, 80, 20, 4);
    TMenuItem* top = Menu.Root.Add(L"N1", L"전체", 11);
    top->Add(L"N2", L"-", 0);
    top->Add(L"N3", L"영역", 12)->Add(L"N4", L"종료하기", 13);
    FMenus = {&Menu};
  }
  std::wstring Text(HWND c) const {
    wchar_t buf[256] = {};
    GetWindowTextW(c, buf, 256);
    return buf;
  }
  std::wstring Item(int i) const {
    wchar_t buf[256] = {};
    SendMessageW(Combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf));
    return buf;
  }
  TPopupMenu Menu;
  HWND Combo = nullptr, List = nullptr, Edit = nullptr, Size = nullptr;
};

class TranslateWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    TranslateTable().Load(
        "\xEF\xBB\xBF"
        "ko=단축키 설정\r\nen=Hotkey setting\r\nja=ホットキー設定\r\n\r\n"
        "ko=확인\r\nen=OK\r\nja=了解\r\n\r\n"
        "ko=전체\r\nen=All\r\nja=全部\r\n\r\n"
        "ko=영역\r\nen=Region\r\nja=領域\r\n\r\n"
        "ko=종료하기\r\nen=Quit\r\nja=終了\r\n\r\n"
        "ko=모두 닫기\r\nen=All\r\nja=すべて閉じる\r\n\r\n");
    FOldLanguage = CurrentLanguage();
  }
  void TearDown() override {
    TranslateTable().Clear();
    SetCurrentLanguage(FOldLanguage);
  }
  std::wstring FOldLanguage;
};

TEST_F(TranslateWindow, EverythingFollowsTheLanguageFromItsDesignText) {
  TDialog d(L"단축키 설정");
  TranslateComponent(d, L"ja");
  EXPECT_EQ(CurrentLanguage(), L"ja");
  EXPECT_EQ(d.Caption(), L"ホットキー設定");
  EXPECT_EQ(d.Text(d.Child(L"BtnOk")), L"了解");
  // The drop-down list's items, keeping the selection; texts without a row stay.
  EXPECT_EQ(d.Item(0), L"全部");
  EXPECT_EQ(d.Item(1), L"領域");
  EXPECT_EQ(d.Item(2), L"없는 말");
  EXPECT_EQ(SendMessageW(d.Combo, CB_GETCURSEL, 0, 0), 1);
  // Plain lists and edit fields hold data, not captions.
  wchar_t item[16] = {};
  SendMessageW(d.List, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(item));
  EXPECT_STREQ(item, L"확인");
  EXPECT_EQ(d.Text(d.Edit), L"확인");
  // The menu, every level.
  EXPECT_EQ(d.Menu.Find(L"N1")->Caption, L"全部");
  EXPECT_EQ(d.Menu.Find(L"N2")->Caption, L"-");
  EXPECT_EQ(d.Menu.Find(L"N3")->Caption, L"領域");
  EXPECT_EQ(d.Menu.Find(L"N4")->Caption, L"終了");

  // From Japanese straight to Korean, and without a language: the current one.
  TranslateComponent(d, L"ko");
  EXPECT_EQ(d.Caption(), L"단축키 설정");
  EXPECT_EQ(d.Menu.Find(L"N4")->Caption, L"종료하기");
  EXPECT_EQ(d.Item(1), L"영역");
  TDialog later(L"단축키 설정");
  SetCurrentLanguage(L"en");
  TranslateComponent(later);
  EXPECT_EQ(CurrentLanguage(), L"en");
  EXPECT_EQ(later.Text(later.Child(L"BtnOk")), L"OK");
  EXPECT_EQ(later.Menu.Find(L"N3")->Caption, L"Region");
}

TEST_F(TranslateWindow, AnyOrderOfLanguagesEndsInTheTextsOfAFreshStart) {
  // "모두 닫기" shares its English with the earlier row "전체": a text translated from what
  // it shows now would take that row's words after a round through English.
  TDialog d(L"단축키 설정");
  d.Menu.Root.Add(L"N5", L"모두 닫기", 14);
  SetWindowTextW(d.Size, L"480x360");  // a value the program set since, not a design text
  for (const wchar_t* lang : {L"en", L"ja", L"ko", L"ja"}) TranslateComponent(d, lang);
  TDialog fresh(L"단축키 설정");
  fresh.Menu.Root.Add(L"N5", L"모두 닫기", 14);
  TranslateComponent(fresh, L"ja");
  EXPECT_EQ(d.Menu.Find(L"N5")->Caption, L"すべて閉じる");
  EXPECT_EQ(d.Menu.Find(L"N5")->Caption, fresh.Menu.Find(L"N5")->Caption);
  EXPECT_EQ(d.Caption(), fresh.Caption());
  EXPECT_EQ(d.Item(1), fresh.Item(1));
  EXPECT_EQ(d.Text(d.Size), L"480x360");
}

}  // namespace
