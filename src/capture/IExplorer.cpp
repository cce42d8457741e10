#include "capture/IExplorer.h"

#include <commctrl.h>
#include <exdispid.h>
#include <mshtmdid.h>
#include <ocidl.h>
#include <olectl.h>

#include <algorithm>
#include <atomic>

#include "base/AutoStart.h"
#include "base/Text.h"
#include "base/Translate.h"
#include "ui/MsgBox.h"
#include "ui/TranslateWin.h"

namespace {

// Design sizes of the window: the tool bar and its parts.
constexpr int kClientW = 695, kClientH = 572;
constexpr int kBarH = 37, kButtonW = 25, kBackPanelW = 57, kRightPanelW = 8, kEditTop = 8, kEditH = 21;

// Reference counting shared by the container's objects.
class TComObject {
 public:
  virtual ~TComObject() = default;
  ULONG AddRefImpl() { return ++FRefs; }
  ULONG ReleaseImpl() {
    const ULONG n = --FRefs;
    if (n == 0) delete this;
    return n;
  }

 private:
  std::atomic<ULONG> FRefs{1};
};

std::wstring BstrText(BSTR s) { return s ? std::wstring(s, SysStringLen(s)) : std::wstring(); }

}  // namespace

// The client site: what the control sees of its container. It answers the ambient
// properties through its IDispatch and gives the control its window and frame.
class TOleSite : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame, public IDispatch,
                 public TComObject {
 public:
  explicit TOleSite(TWebBrowser* owner) : FOwner(owner) {}
  void Detach() { FOwner = nullptr; }

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite) *out = static_cast<IOleClientSite*>(this);
    else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) *out = static_cast<IOleInPlaceSite*>(this);
    else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame) *out = static_cast<IOleInPlaceFrame*>(this);
    else if (iid == IID_IDispatch) *out = static_cast<IDispatch*>(this);
    else return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return AddRefImpl(); }
  STDMETHODIMP_(ULONG) Release() override { return ReleaseImpl(); }

  // IOleClientSite
  STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetContainer(IOleContainer** out) override {
    if (out) *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow (shared by the in-place site and the frame: both are the host's window)
  STDMETHODIMP GetWindow(HWND* wnd) override {
    if (!wnd) return E_POINTER;
    *wnd = FOwner ? FOwner->Handle() : nullptr;
    return *wnd ? S_OK : E_FAIL;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  STDMETHODIMP CanInPlaceActivate() override { return FOwner ? S_OK : S_FALSE; }
  STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnUIActivate() override { return S_OK; }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos, LPRECT clip,
                                LPOLEINPLACEFRAMEINFO info) override {
    if (frame) {
      *frame = static_cast<IOleInPlaceFrame*>(this);
      AddRef();
    }
    if (doc) *doc = nullptr;
    RECT r{};
    if (FOwner) GetClientRect(FOwner->Handle(), &r);
    if (pos) *pos = r;
    if (clip) *clip = r;
    if (info) {
      info->fMDIApp = FALSE;
      info->hwndFrame = FOwner ? GetAncestor(FOwner->Handle(), GA_ROOT) : nullptr;
      info->haccel = nullptr;
      info->cAccelEntries = 0;
    }
    return S_OK;
  }
  STDMETHODIMP Scroll(SIZE) override { return S_OK; }
  STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
  STDMETHODIMP DiscardUndoState() override { return S_OK; }
  STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
  STDMETHODIMP OnPosRectChange(LPCRECT rect) override {
    if (FOwner && FOwner->FInPlace && rect) FOwner->FInPlace->SetObjectRects(rect, rect);
    return S_OK;
  }

  // IOleInPlaceUIWindow / IOleInPlaceFrame: no tool space, menus or accelerators to share.
  STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
  STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
  STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
  STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

  // IDispatch: the ambient properties
  STDMETHODIMP GetTypeInfoCount(UINT* n) override {
    if (n) *n = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                      UINT*) override {
    return FOwner ? FOwner->AmbientProperty(id, flags, result) : DISP_E_MEMBERNOTFOUND;
  }

 private:
  TWebBrowser* FOwner;
};

// The control's event sink (DWebBrowserEvents2).
class TBrowserEvents : public IDispatch, public TComObject {
 public:
  explicit TBrowserEvents(TWebBrowser* owner) : FOwner(owner) {}
  void Detach() { FOwner = nullptr; }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID_DWebBrowserEvents2) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return AddRefImpl(); }
  STDMETHODIMP_(ULONG) Release() override { return ReleaseImpl(); }
  STDMETHODIMP GetTypeInfoCount(UINT* n) override {
    if (n) *n = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
    if (FOwner) FOwner->Event(id, params);
    return S_OK;
  }

 private:
  TWebBrowser* FOwner;
};

// ---------------------------------------------------------------------------------------
// TWebBrowser

TWebBrowser::TWebBrowser(HWND parent, int id) {
  TClassInfo cls{L"TWebBrowser"};
  cls.Background = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  CreateWnd(cls, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, parent, 0, 0, 0, 0);
  SetWindowLongPtrW(FHandle, GWLP_ID, id);
  FUserAgent.clear();
  CreateControl();
}

TWebBrowser::~TWebBrowser() { CloseControl(); }

void TWebBrowser::CreateControl() {
  FSite = new TOleSite(this);
  FEvents = new TBrowserEvents(this);
  TComPtr<IOleObject> ole;
  if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, ole.PutVoid())) ||
      !ole)
    return;
  if (FAILED(ole->SetClientSite(static_cast<IOleClientSite*>(FSite)))) return;
  FOle = ole;
  RECT r{};
  GetClientRect(FHandle, &r);
  if (FAILED(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(FSite), 0, FHandle, &r))) {
    CloseControl();
    return;
  }
  FInPlace = ole.As<IOleInPlaceObject>(IID_IOleInPlaceObject);
  FBrowser = ole.As<IWebBrowser2>(IID_IWebBrowser2);
  if (!FBrowser) {
    CloseControl();
    return;
  }
  if (auto container = ole.As<IConnectionPointContainer>(IID_IConnectionPointContainer)) {
    if (SUCCEEDED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, FConnection.Put())) && FConnection &&
        FAILED(FConnection->Advise(static_cast<IDispatch*>(FEvents), &FCookie)))
      FConnection.Reset();
  }
}

void TWebBrowser::CloseControl() {
  if (FConnection) {
    FConnection->Unadvise(FCookie);
    FConnection.Reset();
  }
  FBrowser.Reset();
  if (FInPlace) {
    FInPlace->InPlaceDeactivate();
    FInPlace.Reset();
  }
  if (FOle) {
    FOle->Close(OLECLOSE_NOSAVE);
    FOle->SetClientSite(nullptr);
    FOle.Reset();
  }
  // The control may hold on to the site and sink a while longer: they must not reach us.
  if (FEvents) {
    FEvents->Detach();
    FEvents->Release();
    FEvents = nullptr;
  }
  if (FSite) {
    FSite->Detach();
    FSite->Release();
    FSite = nullptr;
  }
}

HRESULT TWebBrowser::AmbientProperty(DISPID id, WORD flags, VARIANT* result) {
  if (!FUserAgent.empty() && (flags & DISPATCH_PROPERTYGET) && result && id == DISPID_AMBIENT_USERAGENT) {
    const std::wstring agent = FUserAgent + L"\r\n";
    VariantInit(result);
    result->vt = VT_BSTR;
    result->bstrVal = SysAllocStringLen(agent.data(), static_cast<UINT>(agent.size()));
    return result->bstrVal ? S_OK : E_OUTOFMEMORY;
  }
  // What any container says: the control runs in user mode; everything else is the engine's default.
  if (id == DISPID_AMBIENT_USERMODE && (flags & DISPATCH_PROPERTYGET) && result) {
    VariantInit(result);
    result->vt = VT_BOOL;
    result->boolVal = VARIANT_TRUE;
    return S_OK;
  }
  return DISP_E_MEMBERNOTFOUND;
}

void TWebBrowser::SetUserAgent(const std::wstring& value) {
  FUserAgent = value;
  if (auto control = FOle.As<IOleControl>(IID_IOleControl)) control->OnAmbientPropertyChange(DISPID_AMBIENT_USERAGENT);
}

void TWebBrowser::Navigate(const std::wstring& url) {
  if (!FBrowser) return;
  BSTR u = SysAllocStringLen(url.data(), static_cast<UINT>(url.size()));
  VARIANT empty;
  VariantInit(&empty);
  FBrowser->Navigate(u, &empty, &empty, &empty, &empty);
  SysFreeString(u);
}

void TWebBrowser::GoBack() {
  if (FBrowser) FBrowser->GoBack();
}

void TWebBrowser::GoForward() {
  if (FBrowser) FBrowser->GoForward();
}

std::wstring TWebBrowser::LocationURL() const {
  if (!FBrowser) return std::wstring();
  BSTR u = nullptr;
  if (FAILED(FBrowser->get_LocationURL(&u))) return std::wstring();
  std::wstring s = BstrText(u);
  SysFreeString(u);
  return s;
}

TComPtr<IDispatch> TWebBrowser::Document() const {
  TComPtr<IDispatch> doc;
  if (FBrowser && FAILED(FBrowser->get_Document(doc.Put()))) doc.Reset();
  return doc;
}

void TWebBrowser::SetAligned(bool aligned) {
  FAligned = aligned;
  if (aligned && OnAlign) OnAlign();
}

void TWebBrowser::SetSize(int width, int height) {
  SetWindowPos(FHandle, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int TWebBrowser::Width() const {
  RECT r{};
  GetWindowRect(FHandle, &r);
  return r.right - r.left;
}

int TWebBrowser::Height() const {
  RECT r{};
  GetWindowRect(FHandle, &r);
  return r.bottom - r.top;
}

bool TWebBrowser::TranslateKey(MSG& msg) {
  if (!FOle || !FHandle || (msg.hwnd != FHandle && !IsChild(FHandle, msg.hwnd))) return false;
  auto active = FOle.As<IOleInPlaceActiveObject>(IID_IOleInPlaceActiveObject);
  return active && active->TranslateAccelerator(&msg) == S_OK;
}

void TWebBrowser::PlaceControl() {
  if (!FInPlace) return;
  RECT r{};
  GetClientRect(FHandle, &r);
  FInPlace->SetObjectRects(&r, &r);
}

void TWebBrowser::Event(DISPID id, DISPPARAMS* params) {
  // Arguments arrive last first.
  auto arg = [params](UINT fromEnd) -> VARIANT* {
    return (params && fromEnd < params->cArgs) ? &params->rgvarg[fromEnd] : nullptr;
  };
  auto cancel = [&](VARIANT* v) {
    if (!v) return;
    VARIANT_BOOL* flag = (v->vt == (VT_BYREF | VT_BOOL)) ? v->pboolVal : nullptr;
    bool c = false;
    if (OnNewWindow) OnNewWindow(c);
    if (flag) *flag = c ? VARIANT_TRUE : VARIANT_FALSE;
  };
  switch (id) {
    case DISPID_COMMANDSTATECHANGE: {
      VARIANT* enable = arg(0);
      VARIANT* command = arg(1);
      if (!enable || !command || !OnCommandStateChange) return;
      VARIANT c, e;
      VariantInit(&c);
      VariantInit(&e);
      if (SUCCEEDED(VariantChangeType(&c, command, 0, VT_I4)) && SUCCEEDED(VariantChangeType(&e, enable, 0, VT_BOOL)))
        OnCommandStateChange(c.lVal, e.boolVal != VARIANT_FALSE);
      return;
    }
    case DISPID_DOCUMENTCOMPLETE:
      if (OnDocumentComplete) OnDocumentComplete();
      return;
    case DISPID_TITLECHANGE: {
      VARIANT* text = arg(0);
      if (text && text->vt == VT_BSTR && OnTitleChange) OnTitleChange(BstrText(text->bstrVal));
      return;
    }
    case DISPID_NEWWINDOW2: cancel(arg(0)); return;
    case DISPID_NEWWINDOW3: cancel(arg(3)); return;
    default: return;
  }
}

LRESULT TWebBrowser::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_SIZE) PlaceControl();
  return DefaultProc(msg, wp, lp);
}

// ---------------------------------------------------------------------------------------
// TFrmIExplorer

namespace {
TFrmIExplorer* gExplorer = nullptr;  // the one window the key hook serves
}

void WriteBrowserEmulation() {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER,
                      L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION", 0,
                      nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return;
  const std::wstring path = ProgramPath();
  const std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
  const DWORD mode = 11001;
  RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&mode), sizeof(mode));
  RegCloseKey(key);
}

TFrmIExplorer::TFrmIExplorer() {
  TClassInfo cls{L"TFrmIExplorer"};
  cls.Background = GetSysColorBrush(COLOR_BTNFACE);
  cls.Icon = LoadIconW(Instance(), L"MAINICON");
  CreateWnd(cls, ApplicationTitle().c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, WS_EX_APPWINDOW, nullptr,
            CW_USEDEFAULT, CW_USEDEFAULT, 700, 600);
  SetClientSize(kClientW, kClientH);
  CenterOnScreen();

  AddChild(L"BtnBack", TChildKind::Button, L"BUTTON", L"", WS_VISIBLE | BS_OWNERDRAW | WS_DISABLED, 0, 0, 0,
           kButtonW, kBarH, iectl::BtnBack);
  AddChild(L"BtnForward", TChildKind::Button, L"BUTTON", L"", WS_VISIBLE | BS_OWNERDRAW | WS_DISABLED, 0, kButtonW,
           0, kButtonW, kBarH, iectl::BtnForward);
  AddChild(L"Edit1", TChildKind::Edit, L"EDIT", L"https://", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL,
           WS_EX_CLIENTEDGE, kBackPanelW, kEditTop, kClientW - kBackPanelW - kRightPanelW, kEditH, iectl::Edit1);
  FindChild(L"Edit1")->Translated = false;
  SetWindowSubclass(Child(L"Edit1"), &TFrmIExplorer::EditProc, 1, reinterpret_cast<DWORD_PTR>(this));
  FFont = MakeFont(L"Segoe UI", 12);
  SendMessageW(Child(L"Edit1"), WM_SETFONT, reinterpret_cast<WPARAM>(FFont), FALSE);

  FWB = std::make_unique<TWebBrowser>(FHandle, iectl::WB);
  FWB->OnAlign = [this] { Layout(); };
  FWB->OnCommandStateChange = [this](long command, bool enabled) {
    if (command == CSC_NAVIGATEFORWARD) SetButtonEnabled(iectl::BtnForward, enabled);
    else if (command == CSC_NAVIGATEBACK) SetButtonEnabled(iectl::BtnBack, enabled);
  };
  FWB->OnDocumentComplete = [this] {
    const std::wstring url = FWB->LocationURL();
    SetWindowTextW(Child(L"Edit1"), url == L"about:blank" ? L"https://" : url.c_str());
  };
  FWB->OnTitleChange = [this](const std::wstring& title) {
    SetCaption(title == L"about:blank" ? Translate(ApplicationTitle()) : title);
  };
  FWB->OnNewWindow = [](bool& cancel) { cancel = true; };
  Layout();

  gExplorer = this;
  FHook = SetWindowsHookExW(WH_KEYBOARD, &TFrmIExplorer::KeyHook, nullptr, GetCurrentThreadId());
  FMessageHook = SetWindowsHookExW(WH_GETMESSAGE, &TFrmIExplorer::MessageHook, nullptr, GetCurrentThreadId());
  FormCreate();
}

TFrmIExplorer::~TFrmIExplorer() {
  if (FHook) UnhookWindowsHookEx(FHook);
  if (FMessageHook) UnhookWindowsHookEx(FMessageHook);
  if (gExplorer == this) gExplorer = nullptr;
  if (HWND edit = Child(L"Edit1")) RemoveWindowSubclass(edit, &TFrmIExplorer::EditProc, 1);
  FWB.reset();
  if (FHandle && IsWindow(FHandle)) {
    SetWindowLongPtrW(FHandle, GWLP_USERDATA, 0);
    DestroyWindow(FHandle);
  }
  if (FFont) DeleteObject(FFont);
}

void TFrmIExplorer::FormCreate() {
  TranslateComponent(*this);
  WriteBrowserEmulation();
  FWB->SetUserAgent(kWebUserAgent);
  FWB->Navigate(L"about:blank");
}

void TFrmIExplorer::Layout() {
  RECT client{};
  GetClientRect(FHandle, &client);
  const int bar = ScaleValue(kBarH);
  // The address box fills the middle of the tool bar.
  const int editLeft = ScaleValue(kBackPanelW);
  const int editWidth = std::max(0, static_cast<int>(client.right) - editLeft - ScaleValue(kRightPanelW));
  SetWindowPos(Child(L"Edit1"), nullptr, editLeft, ScaleValue(kEditTop), editWidth, ScaleValue(kEditH),
               SWP_NOZORDER | SWP_NOACTIVATE);
  if (FWB && FWB->Aligned())
    SetWindowPos(FWB->Handle(), nullptr, 0, bar, client.right, std::max(0, static_cast<int>(client.bottom) - bar),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void TFrmIExplorer::DpiChanged() {
  for (const wchar_t* b : {L"BtnBack", L"BtnForward"}) {
    const TChild* c = FindChild(b);
    SetWindowPos(c->Handle, nullptr, ScaleValue(c->X), ScaleValue(c->Y), ScaleValue(c->W), ScaleValue(c->H),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (FFont) DeleteObject(FFont);
  FFont = MakeFont(L"Segoe UI", 12);
  SendMessageW(Child(L"Edit1"), WM_SETFONT, reinterpret_cast<WPARAM>(FFont), TRUE);
  Layout();
}

void TFrmIExplorer::NavigateToAddress() {
  HWND edit = Child(L"Edit1");
  const int n = GetWindowTextLengthW(edit);
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(edit, text.data(), n + 1)));
  FWB->Navigate(Trim(text));
}

void TFrmIExplorer::SetButtonEnabled(int id, bool enabled) {
  HWND b = GetDlgItem(FHandle, id);
  EnableWindow(b, enabled ? TRUE : FALSE);
  InvalidateRect(b, nullptr, TRUE);
}

void TFrmIExplorer::DrawArrow(const DRAWITEMSTRUCT* dis) {
  HDC dc = dis->hDC;
  const RECT r = dis->rcItem;
  FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
  const bool disabled = (dis->itemState & ODS_DISABLED) != 0;
  const bool pressed = (dis->itemState & ODS_SELECTED) != 0;
  const int cx = (r.left + r.right) / 2 + (pressed ? 1 : 0), cy = (r.top + r.bottom) / 2 + (pressed ? 1 : 0);
  const int s = ScaleValue(5);
  const bool back = dis->CtlID == static_cast<UINT>(iectl::BtnBack);
  POINT tri[3];
  if (back) {
    tri[0] = {cx - s, cy};
    tri[1] = {cx + s / 2 + 1, cy - s};
    tri[2] = {cx + s / 2 + 1, cy + s};
  } else {
    tri[0] = {cx + s, cy};
    tri[1] = {cx - s / 2 - 1, cy - s};
    tri[2] = {cx - s / 2 - 1, cy + s};
  }
  const COLORREF color = disabled ? GetSysColor(COLOR_GRAYTEXT) : RGB(0, 0, 0);
  HBRUSH brush = CreateSolidBrush(color);
  HPEN pen = CreatePen(PS_SOLID, 1, color);
  {
    TSelect b(dc, brush);
    TSelect p(dc, pen);
    Polygon(dc, tri, 3);
  }
  DeleteObject(brush);
  DeleteObject(pen);
}

LRESULT CALLBACK TFrmIExplorer::EditProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<TFrmIExplorer*>(data);
  if (msg == WM_KEYDOWN && wp == VK_RETURN) {
    self->NavigateToAddress();
    return 0;
  }
  if (msg == WM_CHAR && (wp == L'\r' || wp == L'\n')) return 0;  // consumed: no beep
  return DefSubclassProc(wnd, msg, wp, lp);
}

LRESULT CALLBACK TFrmIExplorer::KeyHook(int code, WPARAM wp, LPARAM lp) {
  // Alt+D anywhere in the program while this window exists: the address box, when it shows.
  const bool keyDown = (static_cast<DWORD>(lp) & 0x80000000u) == 0;
  const bool alt = (static_cast<DWORD>(lp) & 0x20000000u) != 0;
  TFrmIExplorer* self = gExplorer;
  if (code == HC_ACTION && self && wp == 'D' && alt && keyDown) {
    if (self->Visible()) SetFocus(self->Child(L"Edit1"));
    return 1;
  }
  return CallNextHookEx(self ? self->FHook : nullptr, code, wp, lp);
}

LRESULT CALLBACK TFrmIExplorer::MessageHook(int code, WPARAM wp, LPARAM lp) {
  // The program's message loop knows nothing of the control; its keys are offered to it here.
  TFrmIExplorer* self = gExplorer;
  if (code == HC_ACTION && wp == PM_REMOVE && self && self->FWB) {
    MSG& msg = *reinterpret_cast<MSG*>(lp);
    if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST && self->FWB->TranslateKey(msg))
      msg.message = WM_NULL;
  }
  return CallNextHookEx(self ? self->FMessageHook : nullptr, code, wp, lp);
}

LRESULT TFrmIExplorer::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SIZE:
      Layout();
      return 0;
    case WM_COMMAND:
      if (HIWORD(wp) == BN_CLICKED) {
        if (LOWORD(wp) == iectl::BtnBack) FWB->GoBack();
        else if (LOWORD(wp) == iectl::BtnForward) FWB->GoForward();
      }
      return 0;
    case WM_DRAWITEM: DrawArrow(reinterpret_cast<const DRAWITEMSTRUCT*>(lp)); return TRUE;
    case WM_CLOSE:
      if (OnClose) OnClose();
      DestroyWindow(FHandle);
      return 0;
    default: break;
  }
  return DefaultProc(msg, wp, lp);
}
