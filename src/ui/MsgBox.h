// Every message box of the program: topmost, takes the foreground, owned by the
// application's window, text and caption passed through the translation.
#pragma once
#include <windows.h>

#include <string>

void SetApplicationWindow(HWND wnd);
HWND ApplicationWindow();
// The application title (the main window's translated caption); empty until the settings load.
void SetApplicationTitle(const std::wstring& title);
const std::wstring& ApplicationTitle();

// `flags` carries the icon and buttons; MB_TOPMOST | MB_SETFOREGROUND are added.
// `caption` defaults to the translated application title.
int ShowMessage(const std::wstring& text, UINT flags, bool translate = true, const std::wstring* caption = nullptr);
