// Command and control identifiers of the main window. Other programs (and the tests) may
// send WM_COMMAND with a menu identifier exactly as a click on that item does.
#pragma once

namespace cmd {
enum : unsigned {
  N12 = 1001,        // open folder
  N4,                // folder setting
  N1,                // hotkey setting
  ChkAppend1,
  ChkAppend3,
  ChkAppend2,
  ChkRecLimit0,
  ChkRecLimit30,
  ChkRecLimit60,
  ChkRecLimit120,
  ChkRecLimit240,
  ChkAudio,
  ChkLog,
  ChkSound1,
  ChkSound2,
  ChkSound3,
  ChkMouse,
  ChkRegStart,
  N9,                // credit line: product page
  N10,               // quit
  ChkLangKo,
  ChkLangEn,
  ChkLangJa,
  ChkLangRu,
  ChkLangIt,
  ChkLangFr,
  ChkLangZh,
  N5 = 1101,         // colour list: copy
  N7,                // colour list: delete
};
}  // namespace cmd

namespace ctl {
enum : int {
  LblArea = 101,
  ChkArea,
  LblSaveTo,
  ChkSaveTo,
  ChkJPEG_qual,
  ChkWebp_qual,
  ChkOCR_lang,
  BtnOpenDir,
  LblColor,
  LstColor,
  Label1,
  LvlRecTime,
  LblCopyright,
};
}  // namespace ctl
