// The web page window's browser host and the whole-page capture, in-process, with a stand-in
// document where the browser engine would put its own.
#include <windows.h>
#include <exdispid.h>
#include <mshtmdid.h>
#include <oleidl.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/Translate.h"
#include "capture/Capture.h"
#include "capture/IExplorer.h"
#include "ui/MsgBox.h"

namespace {

// A scriptable object with the members a test gives it; the document also draws itself.
class TFakeObject : public IDispatch, public IViewObject {
 public:
  using TMember = std::function<HRESULT(const VARIANT* index, VARIANT* result)>;

  void Add(const std::wstring& name, TMember m) { FMembers.emplace_back(name, std::move(m)); }
  void AddInt(const std::wstring& name, int v) {
    Add(name, [v](const VARIANT*, VARIANT* r) {
      r->vt = VT_I4;
      r->lVal = v;
      return S_OK;
    });
  }
  void AddText(const std::wstring& name, const std::wstring& v) {
    Add(name, [v](const VARIANT*, VARIANT* r) {
      r->vt = VT_BSTR;
      r->bstrVal = SysAllocString(v.c_str());
      return S_OK;
    });
  }
  void AddObject(const std::wstring& name, TFakeObject* o) {
    Add(name, [o](const VARIANT*, VARIANT* r) {
      r->vt = VT_DISPATCH;
      r->pdispVal = o;
      o->AddRef();
      return S_OK;
    });
  }
  // A frame list: `length` and `item(i)`; a null entry refuses access as another site's would.
  void AddItems(std::vector<TFakeObject*> items) {
    AddInt(L"length", static_cast<int>(items.size()));
    Add(L"item", [items](const VARIANT* index, VARIANT* r) {
      if (!index || index->vt != VT_I4 || index->lVal < 0 || index->lVal >= static_cast<LONG>(items.size()))
        return DISP_E_BADINDEX;
      TFakeObject* o = items[static_cast<size_t>(index->lVal)];
      if (!o) return E_ACCESSDENIED;
      r->vt = VT_DISPATCH;
      r->pdispVal = o;
      o->AddRef();
      return S_OK;
    });
  }

  bool CanDraw = false;
  HRESULT DrawResult = S_OK;
  std::function<void(HDC, const RECTL&)> OnDraw;
  std::vector<std::wstring> Asked;  // members read, in order

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch) *out = static_cast<IDispatch*>(this);
    else if (iid == IID_IViewObject && CanDraw) *out = static_cast<IViewObject*>(this);
    else return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++FRefs; }
  STDMETHODIMP_(ULONG) Release() override { return --FRefs; }  // owned by the test
  STDMETHODIMP GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* id) override {
    for (size_t i = 0; i < FMembers.size(); ++i)
      if (_wcsicmp(FMembers[i].first.c_str(), names[0]) == 0) {
        *id = static_cast<DISPID>(i + 1);
        return S_OK;
      }
    return DISP_E_UNKNOWNNAME;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT* result, EXCEPINFO*, UINT*) override {
    if (id < 1 || static_cast<size_t>(id) > FMembers.size() || !result) return DISP_E_MEMBERNOTFOUND;
    Asked.push_back(FMembers[static_cast<size_t>(id - 1)].first);
    VariantInit(result);
    return FMembers[static_cast<size_t>(id - 1)].second(p && p->cArgs ? &p->rgvarg[0] : nullptr, result);
  }
  STDMETHODIMP Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL,
                    BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) override {
    if (aspect != DVASPECT_CONTENT || !bounds) return E_INVALIDARG;
    if (OnDraw) OnDraw(dc, *bounds);
    return DrawResult;
  }
  STDMETHODIMP GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE**) override { return E_NOTIMPL; }
  STDMETHODIMP Freeze(DWORD, LONG, void*, DWORD*) override { return E_NOTIMPL; }
  STDMETHODIMP Unfreeze(DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP SetAdvise(DWORD, DWORD, IAdviseSink*) override { return E_NOTIMPL; }
  STDMETHODIMP GetAdvise(DWORD*, DWORD*, IAdviseSink**) override { return E_NOTIMPL; }

 private:
  ULONG FRefs = 1;
  std::vector<std::pair<std::wstring, TMember>> FMembers;
};

// The host with a document of the test's making in place of the engine's.
class TStandInBrowser : public TWebBrowser {
 public:
  using TWebBrowser::TWebBrowser;
  TFakeObject* Doc = nullptr;
  TComPtr<IDispatch> Document() const override {
    TComPtr<IDispatch> d;
    if (Doc) {
      Doc->AddRef();
      *d.Put() = Doc;
    }
    return d;
  }
};

class WholePage : public ::testing::Test {
 protected:
  void SetUp() override {
    OleInitialize(nullptr);
    FParent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
    FWb = std::make_unique<TStandInBrowser>(FParent, 1);
    FWb->OnAlign = [this] {
      ++FAligns;
      SetWindowPos(FWb->Handle(), nullptr, 0, 0, 400, 300, SWP_NOZORDER | SWP_NOACTIVATE);
    };
    SetWindowPos(FWb->Handle(), nullptr, 0, 0, 400, 300, SWP_NOZORDER | SWP_NOACTIVATE);
    FCut = GetSystemMetrics(SM_CXEDGE) + GetSystemMetrics(SM_CXVSCROLL);
    FDoc.CanDraw = true;
    // Red page, with a blue band where the scroll bar's allowance lies.
    FDoc.OnDraw = [this](HDC dc, const RECTL& b) {
      FDrawn = b;
      FSizeAtDraw = {FWb->Width(), FWb->Height()};
      FAlignedAtDraw = FWb->Aligned();
      HBRUSH red = CreateSolidBrush(RGB(255, 0, 0)), blue = CreateSolidBrush(RGB(0, 0, 255));
      RECT page{b.left, b.top, b.right, b.bottom}, band{b.right - FCut, b.top, b.right, b.bottom};
      FillRect(dc, &page, red);
      FillRect(dc, &band, blue);
      DeleteObject(red);
      DeleteObject(blue);
    };
    FDoc.AddObject(L"body", &FBody);
  }
  void TearDown() override {
    FWb.reset();
    DestroyWindow(FParent);
    OleUninitialize();
  }
  void Body(int width, int height) {
    FBody.AddInt(L"scrollWidth", width);
    FBody.AddInt(L"scrollHeight", height);
  }
  static uint32_t Pixel(TBitmap& b, int x, int y) {
    const uint8_t* p = b.Row(y) + x * 4;
    return (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
  }

  HWND FParent = nullptr;
  std::unique_ptr<TStandInBrowser> FWb;
  TFakeObject FDoc, FBody;
  int FCut = 0, FAligns = 0;
  RECTL FDrawn{};
  SIZE FSizeAtDraw{};
  bool FAlignedAtDraw = true;
  TCapture FCapture;
};

TEST_F(WholePage, SmallPageIsDrawnAt1024By768WithoutTheScrollBarAllowance) {
  Body(50, 40);
  FWb->Doc = &FDoc;
  TBitmap picture;
  FCapture.Capture(picture, FWb.get());
  EXPECT_EQ(FDrawn.right, 1024);
  EXPECT_EQ(FDrawn.bottom, 768);
  EXPECT_EQ(FSizeAtDraw.cx, 1024);
  EXPECT_EQ(FSizeAtDraw.cy, 768);
  EXPECT_FALSE(FAlignedAtDraw);
  ASSERT_EQ(picture.Width(), 1024 - FCut);
  ASSERT_EQ(picture.Height(), 768);
  EXPECT_EQ(Pixel(picture, 0, 0), 0xFF0000u);
  EXPECT_EQ(Pixel(picture, picture.Width() - 1, picture.Height() - 1), 0xFF0000u);
  // Afterwards the control fills its window again.
  EXPECT_TRUE(FWb->Aligned());
  EXPECT_EQ(FAligns, 1);
  EXPECT_EQ(FWb->Width(), 400);
  EXPECT_EQ(FWb->Height(), 300);
}

TEST_F(WholePage, FramesWidenThePageUntilTheFirstOneThatRefuses) {
  // The body's extent comes as text, as script values may.
  FBody.AddText(L"scrollWidth", L"800");
  FBody.AddText(L"scrollHeight", L"600");
  TFakeObject frameDoc, frameRoot, lateDoc, lateRoot, frames;
  frameRoot.AddInt(L"scrollWidth", 1500);
  frameRoot.AddInt(L"scrollHeight", 900);
  frameDoc.AddObject(L"documentElement", &frameRoot);
  TFakeObject frame, late;
  frame.AddObject(L"document", &frameDoc);
  lateRoot.AddInt(L"scrollWidth", 5000);
  lateRoot.AddInt(L"scrollHeight", 5000);
  lateDoc.AddObject(L"documentElement", &lateRoot);
  late.AddObject(L"document", &lateDoc);
  frames.AddItems({&frame, nullptr, &late});
  FDoc.AddObject(L"frames", &frames);
  FWb->Doc = &FDoc;
  TBitmap picture;
  FCapture.Capture(picture, FWb.get());
  EXPECT_EQ(picture.Width(), 1500 - FCut);
  EXPECT_EQ(picture.Height(), 900);
  EXPECT_TRUE(lateRoot.Asked.empty());
  // Without frames the body decides, with its allowance of the edge, the scroll bar and 6.
  TFakeObject plain, plainBody;
  plainBody.AddInt(L"scrollWidth", 800);
  plainBody.AddInt(L"scrollHeight", 600);
  plain.AddObject(L"body", &plainBody);
  plain.CanDraw = true;
  FWb->Doc = &plain;
  TBitmap second;
  FCapture.Capture(second, FWb.get());
  EXPECT_EQ(second.Width(), 800 + 6);
  EXPECT_EQ(second.Height(), 600);
}

TEST_F(WholePage, NoDocumentLeavesThePictureEmptyAndTheLayoutUntouched) {
  TBitmap picture;
  FCapture.Capture(picture, FWb.get());
  EXPECT_TRUE(picture.Empty());
  EXPECT_EQ(FAligns, 0);
  EXPECT_TRUE(FWb->Aligned());
  EXPECT_EQ(FWb->Width(), 400);
  // An unreadable body ends the capture before the control is touched.
  FWb->Doc = &FBody;  // an object without a body
  FCapture.Capture(picture, FWb.get());
  EXPECT_TRUE(picture.Empty());
  EXPECT_EQ(FAligns, 0);
}

TEST_F(WholePage, FailedDrawLeavesThePictureEmptyButPutsTheControlBack) {
  Body(700, 500);
  FDoc.DrawResult = E_FAIL;
  FWb->Doc = &FDoc;
  TBitmap picture;
  FCapture.Capture(picture, FWb.get());
  EXPECT_TRUE(picture.Empty());
  EXPECT_EQ(FAligns, 1);
  EXPECT_EQ(FWb->Width(), 400);
  // A document that cannot draw at all: the same.
  FDoc.DrawResult = S_OK;
  FDoc.CanDraw = false;
  FCapture.Capture(picture, FWb.get());
  EXPECT_TRUE(picture.Empty());
  EXPECT_EQ(FAligns, 2);
}

TEST(WebBrowserHost, AnswersTheUserAgentToPropertyReadsOnly) {
  OleInitialize(nullptr);
  HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
  {
    TWebBrowser wb(parent, 1);
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(wb.AmbientProperty(DISPID_AMBIENT_USERAGENT, DISPATCH_PROPERTYGET, &v), DISP_E_MEMBERNOTFOUND);
    wb.SetUserAgent(kWebUserAgent);
    ASSERT_EQ(wb.AmbientProperty(DISPID_AMBIENT_USERAGENT, DISPATCH_PROPERTYGET | DISPATCH_METHOD, &v), S_OK);
    ASSERT_EQ(v.vt, VT_BSTR);
    EXPECT_EQ(std::wstring(v.bstrVal, SysStringLen(v.bstrVal)), std::wstring(kWebUserAgent) + L"\r\n");
    VariantClear(&v);
    EXPECT_NE(wb.AmbientProperty(DISPID_AMBIENT_USERAGENT, DISPATCH_METHOD, &v), S_OK);
    EXPECT_NE(wb.AmbientProperty(DISPID_AMBIENT_USERAGENT, DISPATCH_PROPERTYGET, nullptr), S_OK);
    EXPECT_NE(wb.AmbientProperty(DISPID_AMBIENT_DLCONTROL, DISPATCH_PROPERTYGET, &v), S_OK);
  }
  DestroyWindow(parent);
  OleUninitialize();
}

// The notifications as the control sends them: arguments last first.
TEST(WebWindow, FollowsTheControlsNotifications) {
  OleInitialize(nullptr);
  SetApplicationTitle(L"반토루");
  {
    TFrmIExplorer form;
    HWND back = GetDlgItem(form.Handle(), iectl::BtnBack), forward = GetDlgItem(form.Handle(), iectl::BtnForward);
    auto commandState = [&](long command, bool enabled) {
      VARIANT args[2];
      args[0].vt = VT_BOOL;
      args[0].boolVal = enabled ? VARIANT_TRUE : VARIANT_FALSE;
      args[1].vt = VT_I4;
      args[1].lVal = command;
      DISPPARAMS p{args, nullptr, 2, 0};
      form.WB().Event(DISPID_COMMANDSTATECHANGE, &p);
    };
    commandState(CSC_NAVIGATEBACK, true);
    EXPECT_TRUE(IsWindowEnabled(back));
    EXPECT_FALSE(IsWindowEnabled(forward));
    commandState(CSC_NAVIGATEFORWARD, true);
    EXPECT_TRUE(IsWindowEnabled(forward));
    commandState(CSC_UPDATECOMMANDS, false);  // other commands change nothing
    EXPECT_TRUE(IsWindowEnabled(back));
    commandState(CSC_NAVIGATEBACK, false);
    EXPECT_FALSE(IsWindowEnabled(back));
    EXPECT_TRUE(IsWindowEnabled(forward));

    auto title = [&](const wchar_t* text) {
      VARIANT arg;
      arg.vt = VT_BSTR;
      arg.bstrVal = SysAllocString(text);
      DISPPARAMS p{&arg, nullptr, 1, 0};
      form.WB().Event(DISPID_TITLECHANGE, &p);
      SysFreeString(arg.bstrVal);
    };
    title(L"Example Domain");
    EXPECT_EQ(form.Caption(), L"Example Domain");
    title(L"about:blank");
    EXPECT_EQ(form.Caption(), Translate(L"반토루"));

    // New windows never open: both forms of the request are cancelled.
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANT args3[5] = {};
    args3[3].vt = VT_BYREF | VT_BOOL;
    args3[3].pboolVal = &cancel;
    DISPPARAMS p3{args3, nullptr, 5, 0};
    form.WB().Event(DISPID_NEWWINDOW3, &p3);
    EXPECT_EQ(cancel, VARIANT_TRUE);
    cancel = VARIANT_FALSE;
    VARIANT args2[2] = {};
    args2[0].vt = VT_BYREF | VT_BOOL;
    args2[0].pboolVal = &cancel;
    DISPPARAMS p2{args2, nullptr, 2, 0};
    form.WB().Event(DISPID_NEWWINDOW2, &p2);
    EXPECT_EQ(cancel, VARIANT_TRUE);
  }
  OleUninitialize();
}

}  // namespace
