// Owners for the platform's handles, so no error path leaks one.
#pragma once
#include <windows.h>

#include <utility>

template <typename T, typename Traits>
class TOwned {
 public:
  TOwned() = default;
  explicit TOwned(T h) : FValue(h) {}
  TOwned(const TOwned&) = delete;
  TOwned& operator=(const TOwned&) = delete;
  TOwned(TOwned&& o) noexcept : FValue(std::exchange(o.FValue, Traits::Invalid())) {}
  TOwned& operator=(TOwned&& o) noexcept {
    if (this != &o) Reset(std::exchange(o.FValue, Traits::Invalid()));
    return *this;
  }
  ~TOwned() { Reset(); }

  T Get() const { return FValue; }
  explicit operator bool() const { return FValue != Traits::Invalid(); }
  T Release() { return std::exchange(FValue, Traits::Invalid()); }
  void Reset(T h = Traits::Invalid()) {
    if (FValue != Traits::Invalid()) Traits::Close(FValue);
    FValue = h;
  }
  // For out-parameters: releases the current value and hands out its address.
  T* Put() {
    Reset();
    return &FValue;
  }

 private:
  T FValue = Traits::Invalid();
};

struct THandleTraits {
  static HANDLE Invalid() { return nullptr; }
  static void Close(HANDLE h) { CloseHandle(h); }
};
// Files use INVALID_HANDLE_VALUE for "none".
struct TFileTraits {
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { CloseHandle(h); }
};
struct TKeyTraits {
  static HKEY Invalid() { return nullptr; }
  static void Close(HKEY h) { RegCloseKey(h); }
};
struct TGdiTraits {
  static HGDIOBJ Invalid() { return nullptr; }
  static void Close(HGDIOBJ h) { DeleteObject(h); }
};
struct TMenuTraits {
  static HMENU Invalid() { return nullptr; }
  static void Close(HMENU h) { DestroyMenu(h); }
};
struct TModuleTraits {
  static HMODULE Invalid() { return nullptr; }
  static void Close(HMODULE h) { FreeLibrary(h); }
};
struct TMemDcTraits {
  static HDC Invalid() { return nullptr; }
  static void Close(HDC h) { DeleteDC(h); }
};
struct TIconTraits {
  static HICON Invalid() { return nullptr; }
  static void Close(HICON h) { DestroyIcon(h); }
};

using THandle = TOwned<HANDLE, THandleTraits>;
using TFileHandle = TOwned<HANDLE, TFileTraits>;
using TKey = TOwned<HKEY, TKeyTraits>;
using TGdiObject = TOwned<HGDIOBJ, TGdiTraits>;
using TMenuHandle = TOwned<HMENU, TMenuTraits>;
using TModule = TOwned<HMODULE, TModuleTraits>;
using TMemDc = TOwned<HDC, TMemDcTraits>;
using TIconHandle = TOwned<HICON, TIconTraits>;

// A device context from GetDC, given back with ReleaseDC.
class TWindowDc {
 public:
  explicit TWindowDc(HWND wnd) : FWnd(wnd), FDc(GetDC(wnd)) {}
  TWindowDc(const TWindowDc&) = delete;
  TWindowDc& operator=(const TWindowDc&) = delete;
  ~TWindowDc() {
    if (FDc) ReleaseDC(FWnd, FDc);
  }
  HDC Get() const { return FDc; }

 private:
  HWND FWnd;
  HDC FDc;
};

// Selects an object into a DC for a scope.
class TSelect {
 public:
  TSelect(HDC dc, HGDIOBJ obj) : FDc(dc), FOld(SelectObject(dc, obj)) {}
  TSelect(const TSelect&) = delete;
  TSelect& operator=(const TSelect&) = delete;
  ~TSelect() { SelectObject(FDc, FOld); }

 private:
  HDC FDc;
  HGDIOBJ FOld;
};

// A COM interface pointer.
template <typename T>
class TComPtr {
 public:
  TComPtr() = default;
  TComPtr(const TComPtr& o) : FPtr(o.FPtr) {
    if (FPtr) FPtr->AddRef();
  }
  TComPtr& operator=(const TComPtr& o) {
    if (o.FPtr) o.FPtr->AddRef();
    Reset();
    FPtr = o.FPtr;
    return *this;
  }
  ~TComPtr() { Reset(); }
  void Reset() {
    if (FPtr) FPtr->Release();
    FPtr = nullptr;
  }
  T* Get() const { return FPtr; }
  T* operator->() const { return FPtr; }
  explicit operator bool() const { return FPtr != nullptr; }
  T** Put() {
    Reset();
    return &FPtr;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }
  template <typename U>
  TComPtr<U> As(REFIID iid) const {
    TComPtr<U> r;
    if (FPtr) FPtr->QueryInterface(iid, r.PutVoid());
    return r;
  }

 private:
  T* FPtr = nullptr;
};
