// The web page window: a small browser in which the user loads the page that web page mode
// captures whole. TWebBrowser hosts the system's web-browser control in an OLE container
// of its own, so it can answer the control's questions (the user agent among them).
#pragma once
#include <windows.h>
#include <exdisp.h>
#include <oleidl.h>

#include <functional>
#include <memory>
#include <string>

#include "ui/Window.h"

// Control identifiers of the web page window.
namespace iectl {
enum : int { BtnBack = 401, BtnForward, Edit1, WB };
}

inline constexpr const wchar_t* kWebUserAgent =
    L"Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/128.0.0.0 "
    L"Safari/537.36 Edg/128.0.0.0";

class TWebBrowser : public TWindow {
 public:
  // A child window of `parent` that holds the control; without the browser engine it stays
  // an empty window and every operation does nothing.
  TWebBrowser(HWND parent, int id);
  ~TWebBrowser() override;

  bool HasControl() const { return static_cast<bool>(FBrowser); }
  const std::wstring& UserAgent() const { return FUserAgent; }
  void SetUserAgent(const std::wstring& value);

  void Navigate(const std::wstring& url);
  void GoBack();
  void GoForward();
  std::wstring LocationURL() const;
  // The loaded document's automation object; empty when none is loaded.
  virtual TComPtr<IDispatch> Document() const;

  // Layout: aligned, the control fills the area its parent gives it (OnAlign places it);
  // taken out of the layout it keeps the size it is given.
  bool Aligned() const { return FAligned; }
  void SetAligned(bool aligned);
  void SetSize(int width, int height);  // pixels
  int Width() const;
  int Height() const;
  std::function<void()> OnAlign;

  // The control's notifications.
  std::function<void(long command, bool enabled)> OnCommandStateChange;
  std::function<void()> OnDocumentComplete;
  std::function<void(const std::wstring& title)> OnTitleChange;
  std::function<void(bool& cancel)> OnNewWindow;

  // The host's answer to an ambient property read (what the engine asks its container).
  HRESULT AmbientProperty(DISPID id, WORD flags, VARIANT* result);
  // Keys for the page (Tab, Delete, shortcuts) go to the control before the window gets
  // them; true when the control used the key.
  bool TranslateKey(MSG& msg);
  // The event sink's entry: a DWebBrowserEvents2 notification with its arguments as sent.
  void Event(DISPID id, DISPPARAMS* params);

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  friend class TOleSite;
  void CreateControl();
  void CloseControl();
  void PlaceControl();

  std::wstring FUserAgent;
  bool FAligned = true;
  class TOleSite* FSite = nullptr;
  class TBrowserEvents* FEvents = nullptr;
  TComPtr<IOleObject> FOle;
  TComPtr<IOleInPlaceObject> FInPlace;
  TComPtr<IWebBrowser2> FBrowser;
  TComPtr<IConnectionPoint> FConnection;
  DWORD FCookie = 0;
};

class TFrmIExplorer : public TWindow {
 public:
  TFrmIExplorer();
  ~TFrmIExplorer() override;

  TWebBrowser& WB() { return *FWB; }
  // Called when the user closes the window, before it is destroyed.
  std::function<void()> OnClose;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
  void DpiChanged() override;

 private:
  void FormCreate();
  void Layout();
  void NavigateToAddress();
  void SetButtonEnabled(int id, bool enabled);
  void DrawArrow(const DRAWITEMSTRUCT* dis);
  static LRESULT CALLBACK EditProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  static LRESULT CALLBACK KeyHook(int code, WPARAM wp, LPARAM lp);
  static LRESULT CALLBACK MessageHook(int code, WPARAM wp, LPARAM lp);

  std::unique_ptr<TWebBrowser> FWB;
  HFONT FFont = nullptr;
  HHOOK FHook = nullptr;
  HHOOK FMessageHook = nullptr;
};

// HKCU\Software\Microsoft\Internet Explorer\Main\FeatureControl\FEATURE_BROWSER_EMULATION:
// the program's file name with 11001, so the engine shows pages in its current standards mode.
void WriteBrowserEmulation();
