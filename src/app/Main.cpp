#include "app/Main.h"

#include <mmsystem.h>
#include <shellapi.h>
#include <shlobj.h>

#include "app/Ids.h"
#include "app/TrayIcon.h"
#include "base/AutoStart.h"
#include "base/Command.h"
#include "base/Config.h"
#include "base/Controller.h"
#include "base/Errors.h"
#include "base/Hosts.h"
#include "base/Settings.h"
#include "base/Text.h"
#include "base/Translate.h"
#include "capture/Area.h"
#include "capture/Capture.h"
#include "capture/HotKey.h"
#include "capture/Size.h"
#include "outputs/Clipboard.h"
#include "outputs/Save.h"
#include "ui/MsgBox.h"
#include "ui/Thread.h"
#include "ui/TranslateWin.h"

TFrmVantoru* FrmVantoru = nullptr;

namespace {

constexpr UINT WM_TRAYICON = WM_APP + 20;
constexpr UINT WM_SHOWTRAYICON = WM_APP + 21;
constexpr UINT_PTR kTmrColor = 1;
constexpr UINT_PTR kTmrRec = 2;
constexpr UINT_PTR kTmrSpare = 3;  // frees the picture kept for the next capture
constexpr UINT kSpareMs = 10000;

constexpr const wchar_t* kModes[] = {L"전체화면 캡쳐", L"영역화면 캡쳐",    L"드래그영역 캡쳐", L"활성중인 화면 캡쳐",
                                     L"윈도우 컨트롤 캡쳐", L"웹페이지 캡쳐", L"색상 추출"};
constexpr const wchar_t* kOutputs[] = {L"PNG", L"JPG",      L"GIF",    L"BMP",    L"WebP", L"MP4(동영상)",
                                       L"TXT", L"클립보드", L"이미지창고", L"프린터", L"플러팅"};
constexpr const wchar_t* kQualities[] = {L"100", L"90", L"80", L"70", L"60"};

// The client area, and the card panel PnlMain at (8, 60), 145 x 96.
constexpr int kClientW = 162, kClientH = 191;
constexpr int kCardX = 8, kCardY = 60, kCardW = 145, kCardH = 96;
// Drop-down lists: a 22-pixel field, 16-pixel items in a list of this height.
constexpr int kComboField = 22, kComboItem = 16, kComboDrop = 200;
// Card 2's red circle.
constexpr int kRecX = kCardX + 0, kRecY = kCardY + 8, kRecW = 145, kRecH = 81;

void AllowCopyData() {
  HMODULE user = LoadLibraryW(L"USER32.DLL");
  if (!user) return;
  using Fn = BOOL(WINAPI*)(UINT, DWORD);
  if (auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(user, "ChangeWindowMessageFilter"))))
    fn(WM_COPYDATA, 1 /* MSGFLT_ADD */);
  FreeLibrary(user);
}

void SetPrintScreenSnipping(DWORD value) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Keyboard", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExW(key, L"PrintScreenKeyForSnippingEnabled", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                 sizeof(value));
  RegCloseKey(key);
}

// The field is its selection item plus the edges the system draws around it; the design
// gives the whole field's height, whatever the edges measure at this DPI.
void SetComboFieldHeight(HWND combo, int height) {
  // What CB_GETITEMHEIGHT reports need not be what CB_SETITEMHEIGHT took (Wine adds 2), so
  // only the field's measured height steers.
  int item = height - 6;
  for (int tries = 0; tries < 3; ++tries) {
    SendMessageW(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), item);
    RECT r{};
    GetWindowRect(combo, &r);
    const int off = height - (r.bottom - r.top);
    if (off == 0) return;
    item += off;
  }
}

}  // namespace

TFrmVantoru::TFrmVantoru(const std::wstring& firstArg) : FFirstArg(firstArg) {
  FrmVantoru = this;
  FIcon = LoadIconW(Instance(), L"MAINICON");
  FWhiteBrush = CreateSolidBrush(RGB(255, 255, 255));
  FRedBrush = CreateSolidBrush(RGB(255, 0, 0));
  FTaskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");

  TClassInfo cls{L"TFrmVantoru"};
  cls.Background = nullptr;  // painted double-buffered
  cls.Icon = FIcon;
  CreateWnd(cls, L"반토루", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, WS_EX_APPWINDOW, nullptr,
            CW_USEDEFAULT, CW_USEDEFAULT, 200, 240);
  SetMainWindowHandle(FHandle);
  SetApplicationWindow(FHandle);
  SetClientSize(kClientW, kClientH);
  CenterOnScreen();  // where it is first shown
  CreateComponents();
  CreateMenu();
  FMenus = {&FMenu, &FPick};
  ApplyFonts();
  SetDialogNavigation(true);
  FormCreate();
}

TFrmVantoru::~TFrmVantoru() {
  if (FHandle && IsWindow(FHandle)) DestroyWindow(FHandle);
  FTrayIcon.reset();
  FCapture.reset();
  for (HGDIOBJ o : {static_cast<HGDIOBJ>(FFont), static_cast<HGDIOBJ>(FFontBold), static_cast<HGDIOBJ>(FFontMono),
                    static_cast<HGDIOBJ>(FWhiteBrush), static_cast<HGDIOBJ>(FRedBrush)})
    if (o) DeleteObject(o);
  if (FrmVantoru == this) FrmVantoru = nullptr;
}

// ---------------------------------------------------------------------------------------
// Components

void TFrmVantoru::CreateComponents() {
  const DWORD vis = WS_VISIBLE;
  const DWORD combo = vis | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS;
  AddChild(L"LblArea", TChildKind::Label, L"STATIC", L"캡쳐영역", vis, 0, 8, 8, 145, 16, ctl::LblArea);
  AddChild(L"ChkArea", TChildKind::ComboBox, L"COMBOBOX", L"", combo, 0, 9, 29, 145, kComboDrop, ctl::ChkArea);
  for (const wchar_t* m : kModes) SendMessageW(Child(L"ChkArea"), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(m));

  // Card 0: output selection
  AddChild(L"LblSaveTo", TChildKind::Label, L"STATIC", L"저장형식", vis, 0, kCardX, kCardY, 145, 16, ctl::LblSaveTo, 0);
  AddChild(L"ChkSaveTo", TChildKind::ComboBox, L"COMBOBOX", L"", combo, 0, kCardX, kCardY + 21, 145, kComboDrop,
           ctl::ChkSaveTo, 0);
  for (const wchar_t* o : kOutputs) SendMessageW(Child(L"ChkSaveTo"), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(o));
  // The option lists take the right part of the output list's row, which narrows to make room
  // for them; after it in the tab order.
  AddChild(L"ChkJPEG_qual", TChildKind::ComboBox, L"COMBOBOX", L"", combo & ~WS_VISIBLE, 0, kCardX + 88, kCardY + 21,
           57, kComboDrop, ctl::ChkJPEG_qual, 0);
  AddChild(L"ChkWebp_qual", TChildKind::ComboBox, L"COMBOBOX", L"", combo & ~WS_VISIBLE, 0, kCardX + 88, kCardY + 21,
           57, kComboDrop, ctl::ChkWebp_qual, 0);
  for (const wchar_t* q : kQualities) {
    SendMessageW(Child(L"ChkJPEG_qual"), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(q));
    SendMessageW(Child(L"ChkWebp_qual"), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(q));
  }
  AddChild(L"ChkOCR_lang", TChildKind::ComboBox, L"COMBOBOX", L"", combo & ~WS_VISIBLE, 0, kCardX + 78, kCardY + 21,
           67, kComboDrop, ctl::ChkOCR_lang, 0);
  for (const wchar_t* n : {L"ChkJPEG_qual", L"ChkWebp_qual", L"ChkOCR_lang"}) FindChild(n)->Hidden = true;
  AddChild(L"BtnOpenDir", TChildKind::Button, L"BUTTON", L"폴더열기", vis | WS_TABSTOP | BS_PUSHBUTTON, 0, kCardX,
           kCardY + 63, 145, 33, ctl::BtnOpenDir, 0);

  // Card 1: colour picker (ShpColor is painted at (8, 60), 15 x 15)
  AddChild(L"LblColor", TChildKind::Label, L"STATIC", L"FFFFFF", 0, 0, kCardX + 23, kCardY, 100, 16, ctl::LblColor, 1);
  AddChild(L"LstColor", TChildKind::ListBox, L"LISTBOX", L"",
           WS_VSCROLL | WS_TABSTOP | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
           WS_EX_CLIENTEDGE, kCardX, kCardY + 21, 145, 75, ctl::LstColor, 1);

  // Card 2: recording indicator, labels on the red circle; they take their own clicks.
  AddChild(L"Label1", TChildKind::Label, L"STATIC", L"녹화중", SS_CENTER | SS_NOTIFY, 0, kCardX + 24, kCardY + 30, 97,
           16, ctl::Label1, 2);
  AddChild(L"LvlRecTime", TChildKind::Label, L"STATIC", L"00:00:00.00", SS_CENTER | SS_NOTIFY, 0, kCardX + 24,
           kCardY + 51, 97, 16, ctl::LvlRecTime, 2);

  AddChild(L"LblCopyright", TChildKind::Label, L"STATIC", L"ⓒ 반토루 팀", vis | SS_CENTER | SS_NOTIFY, 0, 8, 168,
           146, 17, ctl::LblCopyright);
}

void TFrmVantoru::CreateMenu() {
  TMenuItem& m = FMenu.Root;
  auto group = [this](const wchar_t* prefix, const wchar_t* name) {
    return [this, prefix, name] { CheckGroupItem(prefix, name); };
  };
  m.Add(L"N12", L"저장폴더 열기", cmd::N12, [this] { BtnOpenDirClick(); });
  m.Add(L"N4", L"저장폴더 설정", cmd::N4, [this] { N4Click(); });
  m.Add(L"N1", L"단축키 설정", cmd::N1, [this] { N1Click(); });
  TMenuItem* lang = m.Add(L"N11", L"언어 설정", 0);
  const std::pair<const wchar_t*, const wchar_t*> langs[] = {
      {L"ChkLangKo", L"한국어"},   {L"ChkLangEn", L"English"},  {L"ChkLangJa", L"日本語"}, {L"ChkLangRu", L"русский"},
      {L"ChkLangIt", L"Italiano"}, {L"ChkLangFr", L"Français"}, {L"ChkLangZh", L"中文"}};
  UINT id = cmd::ChkLangKo;
  for (const auto& [name, caption] : langs) {
    TMenuItem* it = lang->Add(name, caption, id++, [this, n = std::wstring(name)] { ChkLangClick(n); });
    it->RadioItem = true;
  }
  TMenuItem* naming = m.Add(L"N2", L"파일명 설정", 0);
  naming->Add(L"ChkAppend1", L"순차적 #1", cmd::ChkAppend1, group(L"ChkAppend", L"ChkAppend1"))->RadioItem = true;
  naming->Add(L"ChkAppend3", L"순차적 #2", cmd::ChkAppend3, group(L"ChkAppend", L"ChkAppend3"))->RadioItem = true;
  naming->Add(L"ChkAppend2", L"날짜시간", cmd::ChkAppend2, group(L"ChkAppend", L"ChkAppend2"))->RadioItem = true;
  TMenuItem* rec = m.Add(L"N6", L"녹화 설정", 0);
  TMenuItem* limit = rec->Add(L"N13", L"최대 녹화시간", 0);
  limit->Add(L"ChkRecLimit0", L"무제한", cmd::ChkRecLimit0, group(L"ChkRecLimit", L"ChkRecLimit0"))->RadioItem = true;
  limit->Add(L"N14", L"-", 0);
  limit->Add(L"ChkRecLimit30", L"30분", cmd::ChkRecLimit30, group(L"ChkRecLimit", L"ChkRecLimit30"))->RadioItem = true;
  limit->Add(L"ChkRecLimit60", L"1시간", cmd::ChkRecLimit60, group(L"ChkRecLimit", L"ChkRecLimit60"))->RadioItem = true;
  limit->Add(L"ChkRecLimit120", L"2시간", cmd::ChkRecLimit120, group(L"ChkRecLimit", L"ChkRecLimit120"))->RadioItem =
      true;
  limit->Add(L"ChkRecLimit240", L"4시간", cmd::ChkRecLimit240, group(L"ChkRecLimit", L"ChkRecLimit240"))->RadioItem =
      true;
  rec->Add(L"ChkAudio", L"사운드 포함", cmd::ChkAudio, [this] { ToggleItem(L"ChkAudio", setting::Audio); });
  rec->Add(L"ChkLog", L"로그 기록", cmd::ChkLog, [this] { ToggleItem(L"ChkLog", setting::FfmpegLog); });
  TMenuItem* sound = m.Add(L"N3", L"캡쳐소리 설정", 0);
  sound->Add(L"ChkSound1", L"없음", cmd::ChkSound1, group(L"ChkSound", L"ChkSound1"))->RadioItem = true;
  sound->Add(L"ChkSound2", L"캡쳐 전 소리", cmd::ChkSound2, group(L"ChkSound", L"ChkSound2"))->RadioItem = true;
  sound->Add(L"ChkSound3", L"캡쳐 후 소리", cmd::ChkSound3, group(L"ChkSound", L"ChkSound3"))->RadioItem = true;
  m.Add(L"ChkMouse", L"마우스 커서 포함", cmd::ChkMouse, [this] { ToggleItem(L"ChkMouse", setting::Mouse); });
  m.Add(L"ChkRegStart", L"부팅시 실행", cmd::ChkRegStart, [this] { ChkRegStartClick(); });
  m.Add(L"N8", L"-", 0);
  m.Add(L"N9", L"ⓒ 반토루 팀", cmd::N9, [this] { OpenProductPage(); });
  m.Add(L"N10", L"종료하기", cmd::N10, [this] { N10Click(); });

  FPick.Root.Add(L"N5", L"복사", cmd::N5, [this] {
    HWND list = Child(L"LstColor");
    const LRESULT i = SendMessageW(list, LB_GETCURSEL, 0, 0);
    if (i < 0) return;
    const LRESULT len = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
    std::wstring s(static_cast<size_t>(len) + 1, L'\0');
    SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(s.data()));
    s.resize(static_cast<size_t>(len));
    CopyTextToClipboard(s);
  });
  FPick.Root.Add(L"N7", L"삭제", cmd::N7, [this] {
    HWND list = Child(L"LstColor");
    const LRESULT i = SendMessageW(list, LB_GETCURSEL, 0, 0);
    if (i >= 0) SendMessageW(list, LB_DELETESTRING, static_cast<WPARAM>(i), 0);
  });
}

void TFrmVantoru::ApplyFonts() {
  for (HFONT* f : {&FFont, &FFontBold, &FFontMono})
    if (*f) DeleteObject(*f), *f = nullptr;
  FFont = MakeFont(L"Segoe UI", 12);
  FFontBold = MakeFont(L"Segoe UI", 12, FW_BOLD);
  FFontMono = MakeFont(L"Courier New", 12);
  for (const TChild& c : FChildren) {
    HFONT f = c.Name == L"Label1" ? FFontBold : c.Name == L"LstColor" ? FFontMono : FFont;
    SendMessageW(c.Handle, WM_SETFONT, reinterpret_cast<WPARAM>(f), TRUE);
    if (c.Kind == TChildKind::ComboBox) {
      SendMessageW(c.Handle, CB_SETITEMHEIGHT, 0, ScaleValue(kComboItem));
      SetComboFieldHeight(c.Handle, ScaleValue(kComboField));
    } else if (c.Kind == TChildKind::ListBox) {
      SendMessageW(c.Handle, LB_SETITEMHEIGHT, 0, ScaleValue(15));
    }
  }
}

void TFrmVantoru::DpiChanged() {
  // The system's suggested rectangle need not give the design's client area.
  SetClientSize(kClientW, kClientH);
  Relayout();
  ApplyFonts();
  InvalidateRect(FHandle, nullptr, TRUE);
}

// ---------------------------------------------------------------------------------------
// Creation and settings

void TFrmVantoru::FormCreate() {
  ShowCard(0);
  if (FFirstArg == L"/inst") SetAutoStart(kRunValueName, true);
  LoadConfig();
  RemoveStalePartFiles(FSavePath);  // left by a crash or a kill in the middle of a save

  FTrayIcon = std::make_unique<TTrayIcon>(FHandle, WM_TRAYICON, FIcon);
  FTrayIcon->OnClick = [] { ShowFromTray(); };
  FTrayIcon->OnPopup = [this] {
    POINT p{};
    GetCursorPos(&p);
    FMenu.Popup(FHandle, p.x, p.y);
  };
  FTrayIcon->SetHint(Translate(Caption()) + L" " + FileVersionText(L"%d.%d.%d"));
  // Adding the icon waits on the shell's window in another process, and that wait would
  // already answer other programs' messages: it is done by the message loop's first turn,
  // so the whole creation is over before anything from outside is handled.
  PostMessageW(FHandle, WM_SHOWTRAYICON, 0, 0);

  FCapture = std::make_unique<TCapture>();
  FStatus = stIdle;
  FCanClose = false;
  if (FFirstArg == L"/start") HideToTray();
  SetPrintScreenSnipping(0);
  CreateOwnedWindows();
  ChkAreaChange();
  ChkSaveToChange();
  AllowCopyData();
}

void TFrmVantoru::LoadConfig() {
  TConfig cfg(kConfigPath);
  LoadOcrLanguages(cfg);

  FLanguage = AcceptedLanguage(cfg.ReadString(setting::Language, GetSystemLanguage().substr(0, 2)));
  // An empty folder would save into whatever the current folder is: the default instead.
  FSavePath = cfg.ReadString(setting::Path, L"");
  if (Trim(FSavePath).empty()) FSavePath = GetSpecialFolder(CSIDL_DESKTOP);

  FMenu.Find(L"ChkAudio")->Checked = cfg.ReadBoolean(setting::Audio, defaults::Audio);
  FMenu.Find(L"ChkMouse")->Checked = cfg.ReadBoolean(setting::Mouse, defaults::Mouse);
  FMenu.Find(L"ChkRegStart")->Checked = IsAutoStart(kRunValueName);
  FMenu.Find(L"ChkLog")->Checked = cfg.ReadBoolean(setting::FfmpegLog, defaults::FfmpegLog);

  // Values beyond a list select its first item, so a request never finds no selection.
  auto select = [this](const wchar_t* list, int index) {
    SetComboIndex(list, (index >= 0 && index < ComboCount(list)) ? index : 0);
  };
  SetComboIndex(L"ChkArea", 0);
  select(L"ChkArea", cfg.ReadInteger(setting::Area, defaults::Area));
  select(L"ChkSaveTo", cfg.ReadInteger(setting::SaveTo, defaults::SaveTo));
  select(L"ChkJPEG_qual", cfg.ReadInteger(setting::JpegQuality, defaults::JpegQuality));
  select(L"ChkWebp_qual", cfg.ReadInteger(setting::WebpQuality, defaults::WebpQuality));

  const int append = cfg.ReadInteger(setting::Append, defaults::Append);
  for (int i = 1; i <= 3; ++i) FMenu.Find(L"ChkAppend" + std::to_wstring(i))->Checked = append == i;
  const int sound = cfg.ReadInteger(setting::Sound, defaults::Sound);
  for (int i = 1; i <= 3; ++i) FMenu.Find(L"ChkSound" + std::to_wstring(i))->Checked = sound == i;
  for (const wchar_t* code : kLanguages) {
    std::wstring name = L"ChkLang" + std::wstring(code);
    name[7] = static_cast<wchar_t>(towupper(name[7]));
    FMenu.Find(name)->Checked = FLanguage == code;
  }
  const int limit = cfg.ReadInteger(setting::RecordLimit, defaults::RecordLimit);
  for (int l : kRecordLimits) FMenu.Find(L"ChkRecLimit" + std::to_wstring(l))->Checked = limit == l;

  TranslateComponent(*this, FLanguage);
  SetCaption(Translate(Caption()));
  SetApplicationTitle(Caption());

  StartServiceCall();
}

void TFrmVantoru::SaveConfig(const std::wstring& name, int value) { TConfig(kConfigPath).WriteInteger(name, value); }
void TFrmVantoru::SaveConfig(const std::wstring& name, bool value) { TConfig(kConfigPath).WriteBoolean(name, value); }
void TFrmVantoru::SaveConfig(const std::wstring& name, const std::wstring& value) {
  TConfig(kConfigPath).WriteString(name, value);
}

// ---------------------------------------------------------------------------------------
// Capture controller

int TFrmVantoru::CaptureMode() const { return ComboIndex(L"ChkArea"); }
int TFrmVantoru::SaveTo() const { return ComboIndex(L"ChkSaveTo"); }
void TFrmVantoru::SetCaptureMode(int mode) { SetComboIndex(L"ChkArea", mode); }

bool TFrmVantoru::MenuChecked(const std::wstring& item) {
  TMenuItem* i = FMenu.Find(item);
  return i && i->Checked;
}

int TFrmVantoru::SoundSetting() {
  for (int i = 1; i <= 3; ++i)
    if (MenuChecked(L"ChkSound" + std::to_wstring(i))) return i;
  return 0;
}

void TFrmVantoru::PlayCaptureSound() {
  PlaySoundW(L"sound", Instance(), SND_RESOURCE | SND_ASYNC);
}

void TFrmVantoru::Start() {
  const int mode = CaptureMode();
  const int output = SaveTo();
  switch (DecideStart(mode, output, FStatus)) {
    case TStartAction::Refuse: {
      const std::wstring caption = Translate(Caption());
      ShowMessage(L"지원하지 않는 캡쳐영역입니다.", MB_ICONINFORMATION, true, &caption);
      break;
    }
    case TStartAction::RecordStart: RecordStart(); break;
    case TStartAction::RecordStop: RecordStop(); break;
    case TStartAction::Capture: CaptureStart(); break;
    case TStartAction::Ignore: break;
  }
}

void TFrmVantoru::CaptureStart() {
  FStatus = stRunning;
  // Whatever escapes below, the controller must become idle again, or no request would
  // ever be taken again. Text recognition keeps the status until its completion.
  bool handedOver = false;
  struct TIdle {
    TFrmVantoru* Self;
    bool* HandedOver;
    ~TIdle() {
      if (!*HandedOver) Self->FStatus = stIdle;
    }
  } idle{this, &handedOver};

  const int mode = CaptureMode();
  const int output = SaveTo();
  const int sound = SoundSetting();
  if (PlaysSound(TSoundMoment::BeforeCapture, mode, sound)) PlayCaptureSound();

  std::unique_ptr<TBitmap> bitmap;
  TRect rect{};
  bool overlapped = false;
  if (mode == caDrag) {
    if (!CaptureDrag(bitmap, rect)) return;  // cancelled: no sound, no output
    if (PlaysSound(TSoundMoment::AfterDrag, mode, sound)) PlayCaptureSound();
  } else if (mode == caColorPicker) {
    CaptureColor();
  } else if (const std::optional<TRect> screen = output == toPNG ? ScreenRectOfMode() : std::nullopt) {
    // Straight to a PNG file: sized now, copied below while the encoder starts on its
    // first rows.
    rect = *screen;
    bitmap = PictureFor(rect);
    overlapped = true;
  } else {
    Capture(bitmap, rect);
  }
  if (!bitmap) return;

  try {
    if (bitmap->Empty()) throw EError(L"캡쳐된 이미지가 비어 있습니다.");
    if (output == toTXT) {
      handedOver = RecognizeText(std::move(bitmap));
      if (handedOver) return;
    } else {
      if (overlapped) {
        CaptureToPng(*bitmap, rect);
        KeepPicture(std::move(bitmap));
      } else {
        Deliver(bitmap, rect, output);
      }
      if (PlaysSound(TSoundMoment::AfterDelivery, mode, sound)) PlayCaptureSound();
      if (output == toUpload) CaptureUpload(*bitmap);
    }
  } catch (const std::exception& e) {
    const std::wstring caption = Translate(Caption());
    ShowMessage(Translate(L"캡쳐가 실패하였습니다.") + L"\r\r" + TranslateError(e), MB_ICONERROR, false, &caption);
  }
}

void TFrmVantoru::Capture(std::unique_ptr<TBitmap>& bitmap, TRect& rect) {
  bitmap = std::make_unique<TBitmap>();
  FCapture->SetShowCursor(MenuChecked(L"ChkMouse"));
  if (const std::optional<TRect> screen = ScreenRectOfMode()) {
    rect = *screen;
    FCapture->Capture(*bitmap, rect);
  } else if (CaptureMode() == caWebPage) {
    CaptureWebPage(*bitmap);
  }
}

std::unique_ptr<TBitmap> TFrmVantoru::PictureFor(const TRect& rect) {
  // The copy writes every pixel, so the last capture's picture will do; a new one's memory
  // is only paged in as the copy first writes it (milliseconds at full HD, tens at 4K).
  std::unique_ptr<TBitmap> b = std::move(FSparePicture);
  if (!b || b->Width() != rect.Width() || b->Height() != rect.Height() || b->BitsPerPixel() != 32) {
    b = std::make_unique<TBitmap>();
    b->SetSize(rect.Width(), rect.Height());
  }
  return b;
}

void TFrmVantoru::KeepPicture(std::unique_ptr<TBitmap> bitmap) {
  // Kept for a capture that follows within seconds, then freed.
  FSparePicture = std::move(bitmap);
  SetTimer(FHandle, kTmrSpare, kSpareMs, nullptr);
}

std::optional<TRect> TFrmVantoru::ScreenRectOfMode() {
  // A window mode with no window takes the monitor under the pointer.
  auto bounds = [](HWND w) { return w ? WindowBounds(w) : MonitorUnderCursor(); };
  switch (CaptureMode()) {
    case caFullScreen: return MonitorUnderCursor();
    case caRegion: return RegionRect();
    case caActiveWindow: return bounds(GetForegroundWindow());
    case caWindowControl: {
      POINT p{};
      GetCursorPos(&p);
      return bounds(WindowControlAt(p));
    }
    default: return std::nullopt;
  }
}

void TFrmVantoru::CaptureColor() {
  const std::wstring color = ChildText(L"LblColor");
  SendMessageW(Child(L"LstColor"), LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(color.c_str()));
  CopyTextToClipboard(color);
}

void TFrmVantoru::TmrColorTimer() {
  POINT p{};
  GetCursorPos(&p);
  COLORREF c = GetPixel(FCapture->DC(), p.x, p.y);
  if (c == CLR_INVALID) c = RGB(255, 255, 255);
  const std::wstring text = FormatW(L"%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
  if (text != ChildText(L"LblColor")) SetChildText(L"LblColor", text);
  if (c != FColor) {
    FColor = c;
    const RECT r = DesignRect(kCardX, kCardY, 15, 15);
    InvalidateRect(FHandle, &r, FALSE);
  }
}

void TFrmVantoru::ChkAreaChange() {
  HWND list = Child(L"ChkArea");
  EnableWindow(list, FALSE);
  ShowCard(0);
  CloseModeWindows();
  const int mode = CaptureMode();
  OpenModeWindow(mode);
  if (mode == caColorPicker) ShowCard(1);
  if (FCard == 1) SetTimer(FHandle, kTmrColor, 100, nullptr);
  else KillTimer(FHandle, kTmrColor);
  SaveConfig(setting::Area, StoredArea(mode));
  EnableWindow(list, TRUE);
}

// ---------------------------------------------------------------------------------------
// Output list

int TFrmVantoru::Quality(const std::wstring& list) { return StrToIntDef(ComboText(list), 90); }

void TFrmVantoru::SetSaveToWidth(int designWidth) {
  const TChild* c = FindChild(L"ChkSaveTo");
  MoveChild(L"ChkSaveTo", c->X, c->Y, designWidth, c->H);
}

void TFrmVantoru::ChkSaveToChange() {
  const int output = SaveTo();
  const std::wstring caption = Translate(Caption());
  // The output list narrows first: the option list beside it is below it in the z-order.
  SetSaveToWidth(output == toJPG || output == toWebP ? 82 : output == toTXT ? 72 : 145);
  SetChildVisible(L"ChkJPEG_qual", output == toJPG);
  SetChildVisible(L"ChkWebp_qual", output == toWebP);
  SetChildVisible(L"ChkOCR_lang", output == toTXT);
  switch (output) {
    case toJPG: SetSaveToWidth(82); break;
    case toWebP:
      SetSaveToWidth(82);
      if (!FileExists(ProgramDir() + L"libwebp.dll")) {
        ShowMessage(ReplaceAll(Translate(L"\"%s\" 파일이 없습니다."), L"%s", L"libwebp.dll"), MB_ICONINFORMATION,
                    false, &caption);
        ShellOpen(HelpPageUrl(L"webpnotfound"));
        SetComboIndex(L"ChkSaveTo", toPNG);
        SetSaveToWidth(145);
        SetChildVisible(L"ChkWebp_qual", false);
      }
      break;
    case toMP4:
      SetSaveToWidth(145);
      if (!FileExists(ProgramDir() + L"ffmpeg.exe")) {
        SetComboIndex(L"ChkSaveTo", toPNG);
        ShowMessage(ReplaceAll(Translate(L"\"%s\" 파일이 없습니다."), L"%s", L"ffmpeg.exe"), MB_ICONINFORMATION,
                    false, &caption);
        ShellOpen(HelpPageUrl(L"ffmpegnotfound"));
      }
      break;
    case toTXT:
      SetSaveToWidth(72);
      if (ComboCount(L"ChkOCR_lang") < 1) {
        SetSaveToWidth(145);
        SetComboIndex(L"ChkSaveTo", toPNG);
        SetChildVisible(L"ChkOCR_lang", false);
        ShowMessage(L"OCR 을 지원하지 않는 윈도우 환경입니다.", MB_ICONINFORMATION, true, &caption);
      }
      break;
    default: SetSaveToWidth(145); break;
  }
  SaveConfig(setting::SaveTo, SaveTo());
}

// ---------------------------------------------------------------------------------------
// Messages

LRESULT TFrmVantoru::WMCopyData(const COPYDATASTRUCT* cds) {
  if (!cds || cds->dwData != 1) return 0;
  const std::optional<std::wstring> command = ParseCopyDataCommand(cds->lpData, cds->cbData);
  if (!command) return 0;
  if (*command == L"about") {
    OpenProductPage();
    return 1;
  }
  if (*command == L"capture") {
    Start();
    return 1;
  }
  return 0;
}

void TFrmVantoru::WMUser(WPARAM wp) {
  if (!FTrayIcon) return;
  if (wp == 1) ShowFromTray();
  else if (wp == 2) Quit();
}

void TFrmVantoru::Quit() {
  FCanClose = true;
  Close();
}

bool TFrmVantoru::CloseQuery() {
  if (!FCanClose) {
    HideToTray();
    return false;
  }
  if (IsRecording()) {
    const std::wstring caption = Translate(Caption());
    FCanClose = false;  // refused: the close button hides again, the next quit asks again
    ShowMessage(L"녹화중입니다.", MB_ICONINFORMATION, true, &caption);
    return false;
  }
  return true;
}

void TFrmVantoru::N10Click() {
  if (ShowMessage(L"정말 종료하시겠습니까?", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES) Quit();
}

void TFrmVantoru::OpenProductPage() { ShellOpen(ProductPageUrl()); }

void TFrmVantoru::CheckGroupItem(const std::wstring& prefix, const std::wstring& name) {
  TMenuItem* clicked = FMenu.Find(name);
  for (TMenuItem* parent : {FMenu.Find(L"N2"), FMenu.Find(L"N3"), FMenu.Find(L"N13")})
    for (auto& item : parent->Items)
      if (item->Name.rfind(prefix, 0) == 0) item->Checked = item.get() == clicked;
  const int value = StrToIntDef(name.substr(prefix.size()), 0);
  if (prefix == L"ChkAppend") SaveConfig(setting::Append, value);
  else if (prefix == L"ChkSound") SaveConfig(setting::Sound, value);
  else if (prefix == L"ChkRecLimit") SaveConfig(setting::RecordLimit, value);
}

void TFrmVantoru::ToggleItem(const std::wstring& name, const wchar_t* settingName) {
  TMenuItem* item = FMenu.Find(name);
  item->Checked = !item->Checked;
  SaveConfig(settingName, item->Checked);
}

void TFrmVantoru::ChkRegStartClick() {
  TMenuItem* item = FMenu.Find(L"ChkRegStart");
  item->Checked = !item->Checked;
  if (!SetAutoStart(kRunValueName, item->Checked)) {
    const std::wstring caption = Translate(Caption());
    ShowMessage(L"잘못된 백신 또는 악성 프로그램이 부팅시 실행을 차단하였습니다.", MB_ICONERROR, true, &caption);
    item->Checked = false;
  }
}

void TFrmVantoru::N4Click() {
  std::wstring path = FSavePath;
  if (SelectFolder(path)) {
    FSavePath = path;
    SaveConfig(setting::Path, FSavePath);
  }
}

void TFrmVantoru::OnCommand(int id, int code, HWND control) {
  if (control) {
    switch (id) {
      case ctl::ChkArea:
        if (code == CBN_SELCHANGE) ChkAreaChange();
        return;
      case ctl::ChkSaveTo:
        if (code == CBN_SELCHANGE) ChkSaveToChange();
        return;
      case ctl::ChkJPEG_qual:
        if (code == CBN_SELCHANGE) SaveConfig(setting::JpegQuality, ComboIndex(L"ChkJPEG_qual"));
        return;
      case ctl::ChkWebp_qual:
        if (code == CBN_SELCHANGE) SaveConfig(setting::WebpQuality, ComboIndex(L"ChkWebp_qual"));
        return;
      case ctl::ChkOCR_lang:
        if (code == CBN_SELCHANGE) SaveConfig(setting::LanguageOcr, ComboIndex(L"ChkOCR_lang"));
        return;
      case ctl::BtnOpenDir:
        if (code == BN_CLICKED) BtnOpenDirClick();
        return;
      case ctl::LblCopyright:
        if (code == STN_CLICKED) OpenProductPage();
        return;
      default: return;
    }
  }
  // Menu identifiers, from a menu or from another program.
  if (!FMenu.Dispatch(static_cast<UINT>(id))) FPick.Dispatch(static_cast<UINT>(id));
}

void TFrmVantoru::OnContextMenu(HWND from, int x, int y) {
  POINT p{x, y};
  if (x == -1 && y == -1) GetCursorPos(&p);
  if (from == Child(L"LstColor")) {
    FPick.Popup(FHandle, p.x, p.y);
    return;
  }
  if (from == Child(L"LblCopyright")) {
    FMenu.Popup(FHandle, p.x, p.y);
    return;
  }
  if (from != FHandle) return;  // lists, buttons and the recording labels have no menu
  if (FCard == 2) {
    // On the recording card only the red circle opens the menu.
    POINT c = p;
    ScreenToClient(FHandle, &c);
    const RECT card = DesignRect(kCardX, kCardY, kCardW, kCardH);
    if (PtInRect(&card, c)) {
      const RECT e = DesignRect(kRecX, kRecY, kRecW, kRecH);
      const double rx = (e.right - e.left) / 2.0, ry = (e.bottom - e.top) / 2.0;
      const double dx = (c.x + 0.5 - (e.left + rx)) / rx, dy = (c.y + 0.5 - (e.top + ry)) / ry;
      if (dx * dx + dy * dy > 1.0) return;
    }
  }
  FMenu.Popup(FHandle, p.x, p.y);
}

RECT TFrmVantoru::DesignRect(int x, int y, int w, int h) const {
  return RECT{ScaleValue(x), ScaleValue(y), ScaleValue(x + w), ScaleValue(y + h)};
}

void TFrmVantoru::Paint(HDC dc) {
  RECT client{};
  GetClientRect(FHandle, &client);
  FillRect(dc, &client, FWhiteBrush);
  if (FCard == 1) {
    const RECT r = DesignRect(kCardX, kCardY, 15, 15);
    HBRUSH b = CreateSolidBrush(FColor);
    TSelect pen(dc, GetStockObject(BLACK_PEN));
    TSelect brush(dc, b);
    Rectangle(dc, r.left, r.top, r.right, r.bottom);
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    DeleteObject(b);
  } else if (FCard == 2) {
    const RECT r = DesignRect(kRecX, kRecY, kRecW, kRecH);
    HPEN redPen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    {
      TSelect pen(dc, redPen);
      TSelect brush(dc, FRedBrush);
      Ellipse(dc, r.left, r.top, r.right, r.bottom);
    }
    DeleteObject(redPen);
  }
}

void TFrmVantoru::MeasureItem(MEASUREITEMSTRUCT* mis) {
  mis->itemHeight = static_cast<UINT>(ScaleValue(mis->CtlID == static_cast<UINT>(ctl::LstColor) ? 15 : kComboItem));
}

LRESULT TFrmVantoru::DrawItem(const DRAWITEMSTRUCT* dis) {
  HDC dc = dis->hDC;
  RECT r = dis->rcItem;
  std::wstring text;
  if (dis->itemID != static_cast<UINT>(-1)) {
    const bool isList = dis->CtlType == ODT_LISTBOX;
    const LRESULT len = SendMessageW(dis->hwndItem, isList ? LB_GETTEXTLEN : CB_GETLBTEXTLEN, dis->itemID, 0);
    if (len > 0) {
      text.assign(static_cast<size_t>(len) + 1, L'\0');
      SendMessageW(dis->hwndItem, isList ? LB_GETTEXT : CB_GETLBTEXT, dis->itemID,
                   reinterpret_cast<LPARAM>(text.data()));
      text.resize(static_cast<size_t>(len));
    }
  }
  const bool selected = (dis->itemState & ODS_SELECTED) != 0;
  if (dis->CtlID == static_cast<UINT>(ctl::LstColor)) {
    // Colour list: the text beside a swatch of its colour.
    const COLORREF back = selected ? RGB(51, 153, 255) : RGB(255, 255, 255);
    HBRUSH b = CreateSolidBrush(back);
    FillRect(dc, &r, b);
    DeleteObject(b);
    if (dis->itemID == static_cast<UINT>(-1)) return TRUE;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, selected ? RGB(255, 255, 255) : RGB(0, 0, 0));
    RECT tr = r;
    tr.left = r.left + ScaleValue(20);
    ExtTextOutW(dc, tr.left, r.top, ETO_CLIPPED, &r, text.c_str(), static_cast<UINT>(text.size()), nullptr);
    const int left = r.left + ScaleValue(2), top = r.top + ScaleValue(2);
    const int right = ScaleValue(15), bottom = r.bottom - ScaleValue(2);
    // The six digits are red, green, blue.
    const unsigned long v = wcstoul(text.c_str(), nullptr, 16);
    const COLORREF swatch = RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    RECT sr{left, top, right, bottom};
    HBRUSH sb = CreateSolidBrush(swatch);
    FillRect(dc, &sr, sb);
    DeleteObject(sb);
    TSelect pen(dc, GetStockObject(BLACK_PEN));
    MoveToEx(dc, left, top, nullptr);
    LineTo(dc, right, top);
    LineTo(dc, right, bottom);
    LineTo(dc, left, bottom);
    LineTo(dc, left, top);
    return TRUE;
  }
  // The drop-down lists: the system's colours for the item's state.
  FillRect(dc, &r, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  SetBkMode(dc, TRANSPARENT);
  const bool disabled = (dis->itemState & ODS_DISABLED) != 0;
  SetTextColor(dc, GetSysColor(disabled ? COLOR_GRAYTEXT : selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  TextOutW(dc, r.left + 1, r.top + 1, text.c_str(), static_cast<int>(text.size()));
  if (dis->itemState & ODS_FOCUS) DrawFocusRect(dc, &r);
  return TRUE;
}

HBRUSH TFrmVantoru::CtlColor(HDC dc, HWND control) {
  SetBkMode(dc, TRANSPARENT);
  if (control == Child(L"LblCopyright")) {
    SetTextColor(dc, RGB(0, 0, 255));
  } else if (control == Child(L"Label1")) {
    SetTextColor(dc, RGB(255, 255, 0));
    return FRedBrush;
  } else if (control == Child(L"LvlRecTime")) {
    SetTextColor(dc, RGB(255, 255, 255));
    return FRedBrush;
  } else {
    SetTextColor(dc, RGB(0, 0, 0));
  }
  return FWhiteBrush;
}

LRESULT TFrmVantoru::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COPYDATA: return WMCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lp));
    case WM_USER:
      WMUser(wp);
      return 0;
    case WM_QUERYENDSESSION:
      FinishRecordingForSessionEnd();
      FCanClose = true;
      Close();
      return TRUE;
    case WM_CLOSE:
      if (CloseQuery()) {
        // A quit from outside can come while a menu of ours is open; its loop must not
        // outlive the window.
        EndMenu();
        DestroyWindow(FHandle);
      }
      return 0;
    case WM_DESTROY:
      KillTimer(FHandle, kTmrColor);
      KillTimer(FHandle, kTmrRec);
      KillTimer(FHandle, kTmrSpare);
      FSparePicture.reset();
      FloatDelete(nullptr);
      DestroyOwnedWindows();
      FTrayIcon.reset();
      FCapture.reset();
      // A menu's loop still running may take the quit message along: a thread timer wakes
      // the message loop again, which ends once it finds this window gone.
      SetTimer(nullptr, 0, 50, nullptr);
      PostQuitMessage(0);
      return 0;
    case WM_HELP: return TRUE;  // no help system
    case WM_COMMAND:
      OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
      return 0;
    case WM_CONTEXTMENU:
      OnContextMenu(reinterpret_cast<HWND>(wp), static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp)));
      return 0;
    case WM_TIMER:
      if (wp == kTmrColor) TmrColorTimer();
      else if (wp == kTmrRec) TmrRecTimer();
      else if (wp == kTmrSpare) {
        KillTimer(FHandle, kTmrSpare);
        FSparePicture.reset();
      }
      return 0;
    case WM_TRAYICON:
      if (FTrayIcon) FTrayIcon->HandleCallback(lp);
      return 0;
    case WM_SHOWTRAYICON:
      if (FTrayIcon) FTrayIcon->SetVisible(true);
      return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(FHandle, &ps);
      RECT client{};
      GetClientRect(FHandle, &client);
      HDC mem = CreateCompatibleDC(dc);
      HBITMAP bmp = CreateCompatibleBitmap(dc, client.right, client.bottom);
      HGDIOBJ old = SelectObject(mem, bmp);
      Paint(mem);
      BitBlt(dc, 0, 0, client.right, client.bottom, mem, 0, 0, SRCCOPY);
      SelectObject(mem, old);
      DeleteObject(bmp);
      DeleteDC(mem);
      EndPaint(FHandle, &ps);
      return 0;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
      return reinterpret_cast<LRESULT>(CtlColor(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp)));
    case WM_MEASUREITEM:
      MeasureItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lp));
      return TRUE;
    case WM_DRAWITEM: return DrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(wp) == Child(L"LblCopyright")) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
      }
      break;
    default:
      if (FTaskbarCreated && msg == FTaskbarCreated && FTrayIcon) FTrayIcon->Restore();
      break;
  }
  return DefaultProc(msg, wp, lp);
}

// ---------------------------------------------------------------------------------------
// Small helpers

void TFrmVantoru::ShowCard(int card) {
  FCard = card;
  for (const TChild& c : FChildren)
    if (c.Card >= 0) ShowWindow(c.Handle, (c.Card == card && !c.Hidden) ? SW_SHOWNA : SW_HIDE);
  const RECT r = DesignRect(kCardX, kCardY, kCardW, kCardH);
  InvalidateRect(FHandle, &r, FALSE);
}

int TFrmVantoru::ComboIndex(const std::wstring& name) const {
  return static_cast<int>(SendMessageW(const_cast<TFrmVantoru*>(this)->Child(name), CB_GETCURSEL, 0, 0));
}

void TFrmVantoru::SetComboIndex(const std::wstring& name, int index) {
  SendMessageW(Child(name), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int TFrmVantoru::ComboCount(const std::wstring& name) const {
  return static_cast<int>(SendMessageW(const_cast<TFrmVantoru*>(this)->Child(name), CB_GETCOUNT, 0, 0));
}

std::wstring TFrmVantoru::ComboText(const std::wstring& name) const {
  HWND c = const_cast<TFrmVantoru*>(this)->Child(name);
  const LRESULT i = SendMessageW(c, CB_GETCURSEL, 0, 0);
  if (i < 0) return std::wstring();
  const LRESULT len = SendMessageW(c, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
  if (len < 0) return std::wstring();
  std::wstring s(static_cast<size_t>(len) + 1, L'\0');
  SendMessageW(c, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(s.data()));
  s.resize(static_cast<size_t>(len));
  return s;
}

void TFrmVantoru::SetChildVisible(const std::wstring& name, bool visible) {
  TChild* c = FindChild(name);
  if (!c) return;
  c->Hidden = !visible;
  const bool onCard = c->Card < 0 || c->Card == FCard;
  ShowWindow(c->Handle, (visible && onCard) ? SW_SHOWNA : SW_HIDE);
}

void TFrmVantoru::SetChildText(const std::wstring& name, const std::wstring& text) {
  SetWindowTextW(Child(name), text.c_str());
}

std::wstring TFrmVantoru::ChildText(const std::wstring& name) const {
  HWND c = const_cast<TFrmVantoru*>(this)->Child(name);
  const int n = GetWindowTextLengthW(c);
  std::wstring s(static_cast<size_t>(n) + 1, L'\0');
  s.resize(static_cast<size_t>(GetWindowTextW(c, s.data(), n + 1)));
  return s;
}

void TFrmVantoru::CloseModeWindows() {
  CloseRegionFrame();
  ClosePicker();
  CloseWebWindow();
}

void TFrmVantoru::OpenModeWindow(int mode) {
  switch (mode) {
    case caRegion: ShowRegionFrame(); break;
    case caWindowControl: OpenPicker(); break;
    case caWebPage: OpenWebWindow(); break;
    default: break;
  }
}
