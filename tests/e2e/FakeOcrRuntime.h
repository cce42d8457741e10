// Putting the stand-in recognition runtime (FakeOcrRuntime.dll) in the Wine prefix's
// registry in place of the system's, and taking it out again; its script file.
#pragma once
#include <windows.h>

#include <fstream>
#include <string>

namespace fakeocr {

inline constexpr const wchar_t* kClassKey = L"Software\\Microsoft\\WindowsRuntime\\ActivatableClassId\\";
inline constexpr const wchar_t* kClasses[] = {L"Windows.Media.Ocr.OcrEngine",
                                              L"Windows.Graphics.Imaging.SoftwareBitmap"};

inline void Unregister() {
  for (const wchar_t* c : kClasses) RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(kClassKey) + c).c_str());
}

// `dll`: the full path of FakeOcrRuntime.dll. False when it is missing or a key cannot be written.
inline bool Register(const std::wstring& dll) {
  if (GetFileAttributesW(dll.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
  for (const wchar_t* c : kClasses) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(kClassKey) + c).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
      return false;
    const LSTATUS r = RegSetValueExW(key, L"DllPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(dll.c_str()),
                                     static_cast<DWORD>((dll.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    if (r != ERROR_SUCCESS) return false;
  }
  return true;
}

inline std::string Encode(UINT codePage, const std::wstring& s) {
  const int n = WideCharToMultiByte(codePage, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(codePage, 0, s.data(), static_cast<int>(s.size()), out.data(), n, nullptr, nullptr);
  return out;
}

// The script the runtime reads (see FakeOcrRuntime.cpp), as UTF-8.
inline void WriteScript(const std::wstring& path, const std::wstring& text) {
  std::ofstream f(path.c_str(), std::ios::binary);
  f << Encode(CP_UTF8, text + L"\n");
}

}  // namespace fakeocr
