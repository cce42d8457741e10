// TFrmVantoru: the main window. It carries the controller, the output routing and the
// settings load; the other windows and components it owns plug in here.
#pragma once
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Types.h"
#include "outputs/RtOcr.h"
#include "ui/Bitmap.h"
#include "ui/Menu.h"
#include "ui/Window.h"

class TCapture;
class TTrayIcon;

class TFrmVantoru : public TWindow {
 public:
  // `firstArg` is the program's first command-line argument.
  explicit TFrmVantoru(const std::wstring& firstArg);
  ~TFrmVantoru() override;

  // Capture controller
  void Start();
  bool IsRecording() const;
  void RecordStop();

  // Recording (MainRecord.cpp)
  void RecordStart();
  void TmrRecTimer();
  // At the end of the user's session: stops the recording and gives the encoder a bounded
  // time to finish its file.
  void FinishRecordingForSessionEnd();

  // Settings write-through
  void SaveConfig(const std::wstring& name, int value);
  void SaveConfig(const std::wstring& name, bool value);
  void SaveConfig(const std::wstring& name, const std::wstring& value);

  // Output routing and naming
  std::wstring NewFilename(const std::wstring& ext);
  int LastSequenceNumber();
  const std::wstring& SavePath() const { return FSavePath; }

  int CaptureMode() const;  // index of ChkArea
  int SaveTo() const;       // index of ChkSaveTo
  void SetCaptureMode(int mode);  // selects without running the change handler
  TStatus Status() const { return FStatus; }

  TPopupMenu& Menu() { return FMenu; }
  bool MenuChecked(const std::wstring& item);
  TCapture& CaptureEngine() { return *FCapture; }
  void OpenProductPage();
  void ShowCard(int card);
  bool CanClose() const { return FCanClose; }
  void Quit();  // sets FCanClose and closes

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
  void DpiChanged() override;

 private:
  // creation
  void CreateComponents();
  void CreateMenu();
  void FormCreate();
  void LoadConfig();
  void ApplyFonts();

  // controller
  void CaptureStart();
  void Capture(std::unique_ptr<TBitmap>& bitmap, TRect& rect);
  std::optional<TRect> ScreenRectOfMode();  // for the modes that copy a screen rectangle
  std::unique_ptr<TBitmap> PictureFor(const TRect& rect);  // for a copy of a screen rectangle
  void KeepPicture(std::unique_ptr<TBitmap> bitmap);
  void CaptureColor();
  void ChkAreaChange();
  void TmrColorTimer();
  void PlayCaptureSound();
  int SoundSetting();

  // output list
  void ChkSaveToChange();
  void SetSaveToWidth(int designWidth);
  int Quality(const std::wstring& list);

  // ---- Plug points. Each group lives in its own file, beside the unit it drives. ----
  // MainRouting.cpp: output routing, file naming, the save folder
  void Deliver(std::unique_ptr<TBitmap>& bitmap, const TRect& rect, int output);
  void CaptureToPng(TBitmap& bitmap, const TRect& rect);
  void BtnOpenDirClick();
  bool SelectFolder(std::wstring& path);
  // MainOcr.cpp: text recognition; RecognizeText returns whether it took the picture over
  void LoadOcrLanguages(class TConfig& cfg);
  bool RecognizeText(std::unique_ptr<TBitmap> bitmap);
  void BitmapToTXTFileCompleted(TRtOcr& sender, const rtocr::TResult& result, void* customData);
  // MainUpload.cpp: upload and floating windows
  void CaptureUpload(TBitmap& bitmap);
 public:
  void ShowFloating(const TBitmap& bitmap, const TRect& rect);
  void FloatDelete(class TFrmFloating* form);  // nullptr: every floating window
  // MainRegion.cpp: the region frame's recording label ("[REC] 00:00:00", bold yellow while recording)
  void SetRegionRecordingLabel(const std::wstring& text, bool recording);
 private:
  // MainRegion.cpp: the hotkey window, size dialog and region frame
  void CreateOwnedWindows();
  void DestroyOwnedWindows();
  void N1Click();
  TRect RegionRect();
  void ShowRegionFrame();
  void CloseRegionFrame();
  // MainDrag.cpp: drag overlay and window picker
  bool CaptureDrag(std::unique_ptr<TBitmap>& bitmap, TRect& rect);  // false: cancelled
  void OpenPicker();
  void ClosePicker();
  HWND WindowControlAt(POINT p);  // what the picker outlines there, never the picker itself
  // MainWeb.cpp: web page window and whole-page capture
  void OpenWebWindow();
  void CloseWebWindow();
  void CaptureWebPage(TBitmap& bitmap);
  struct TWebWindowDeleter {
    void operator()(class TFrmIExplorer* form) const;
  };
  // MainLanguage.cpp: the language switch; TranslateOwnedWindows translates the region
  // frame, the hotkey dialog and the size dialog into the current language
  void ChkLangClick(const std::wstring& name);
  void TranslateOwnedWindows();
  // MainService.cpp: the start-up call
  void StartServiceCall();

  void CloseModeWindows();
  void OpenModeWindow(int mode);

  // messages
  LRESULT WMCopyData(const COPYDATASTRUCT* cds);
  void WMUser(WPARAM wp);
  bool CloseQuery();
  void OnCommand(int id, int code, HWND ctl);
  void OnContextMenu(HWND from, int x, int y);
  void Paint(HDC dc);
  LRESULT DrawItem(const DRAWITEMSTRUCT* dis);
  void MeasureItem(MEASUREITEMSTRUCT* mis);
  HBRUSH CtlColor(HDC dc, HWND ctl);

  // menu handlers
  void CheckGroupItem(const std::wstring& prefix, const std::wstring& name);
  void ToggleItem(const std::wstring& name, const wchar_t* setting);
  void ChkRegStartClick();
  void N4Click();
  void N10Click();

  // helpers
  int ComboIndex(const std::wstring& name) const;
  void SetComboIndex(const std::wstring& name, int index);
  std::wstring ComboText(const std::wstring& name) const;
  int ComboCount(const std::wstring& name) const;
  void SetChildVisible(const std::wstring& name, bool visible);
  void SetChildText(const std::wstring& name, const std::wstring& text);
  std::wstring ChildText(const std::wstring& name) const;
  RECT DesignRect(int x, int y, int w, int h) const;

  std::wstring FFirstArg;
  bool FCanClose = false;
  TStatus FStatus = stIdle;
  std::wstring FSavePath;
  std::wstring FLanguage;
  int FCard = 0;
  COLORREF FColor = RGB(255, 255, 255);

  std::unique_ptr<TCapture> FCapture;
  std::unique_ptr<TBitmap> FSparePicture;  // the last capture's, kept briefly for the next
  std::unique_ptr<TTrayIcon> FTrayIcon;
  TPopupMenu FMenu;
  TPopupMenu FPick;

  // ---- Members of the plugged-in parts, one group per file above. ----
  // MainRouting.cpp
  // MainRecord.cpp
  struct TRecorderDeleter {
    void operator()(class TRecorder* recorder) const;
  };
  std::unique_ptr<class TRecorder, TRecorderDeleter> FRecorder;
  void EndRecording();
  // MainOcr.cpp
  std::unique_ptr<TRtOcr> FRtOcr;
  rtocr::TLanguages FLanguages;  // the entries of ChkOCR_lang, read once at start
  // MainUpload.cpp
  struct TFloatingDeleter {
    void operator()(class TFrmFloating* form) const;
  };
  std::vector<std::unique_ptr<class TFrmFloating, TFloatingDeleter>> FloatList;  // in creation order
  // MainRegion.cpp
  std::unique_ptr<class TFrmHotKey> FHotKey;
  std::unique_ptr<class TFrmSize> FSize;
  std::unique_ptr<class TFrmArea> FArea;
  // MainDrag.cpp
  struct TDragDeleter {
    void operator()(class TFrmDrag* form) const;
    void operator()(class TFrmLine* form) const;
  };
  std::unique_ptr<TFrmDrag, TDragDeleter> FDrag;  // during a drag capture
  std::unique_ptr<TFrmLine, TDragDeleter> FLine;  // while window-control mode is selected
  // MainWeb.cpp
  std::unique_ptr<TFrmIExplorer, TWebWindowDeleter> FIExplorer;
  unsigned FWebWindowGeneration = 0;  // tells a closed window's queued clean-up from a newer window
  // MainService.cpp

  HFONT FFont = nullptr;
  HFONT FFontBold = nullptr;
  HFONT FFontMono = nullptr;
  HBRUSH FWhiteBrush = nullptr;
  HBRUSH FRedBrush = nullptr;
  HICON FIcon = nullptr;
  UINT FTaskbarCreated = 0;
};

// The main window while it exists.
extern TFrmVantoru* FrmVantoru;

// Program entry: returns the process exit code.
int VantoruMain(const std::wstring& firstArg);
