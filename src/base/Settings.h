// Names and defaults of the values under HKCU\Software\Dorvenix\Vantoru.
#pragma once
#include <string>
#include <string_view>

inline constexpr const wchar_t* kConfigPath = L"Dorvenix\\Vantoru";
inline constexpr const wchar_t* kRunValueName = L"Vantoru";

namespace setting {
inline constexpr const wchar_t* Language = L"language";
inline constexpr const wchar_t* Path = L"path";
inline constexpr const wchar_t* Area = L"area";
inline constexpr const wchar_t* SaveTo = L"saveto";
inline constexpr const wchar_t* JpegQuality = L"jpeg_quality";
inline constexpr const wchar_t* WebpQuality = L"webp_quality";
inline constexpr const wchar_t* LanguageOcr = L"language_ocr";
inline constexpr const wchar_t* Append = L"append";
inline constexpr const wchar_t* Sound = L"sound";
inline constexpr const wchar_t* RecordLimit = L"record_limit";
inline constexpr const wchar_t* Audio = L"audio";
inline constexpr const wchar_t* Mouse = L"mouse";
inline constexpr const wchar_t* FfmpegLog = L"ffmpeg_log";
inline constexpr const wchar_t* HotKey = L"hotkey";
inline constexpr const wchar_t* Left = L"left";
inline constexpr const wchar_t* Top = L"top";
inline constexpr const wchar_t* Width = L"width";
inline constexpr const wchar_t* Height = L"height";
inline constexpr const wchar_t* CustomWidth[3] = {L"width_1", L"width_2", L"width_3"};
inline constexpr const wchar_t* CustomHeight[3] = {L"height_1", L"height_2", L"height_3"};
// The user's own service (vantoru-server): its address, and the upload's when it differs.
inline constexpr const wchar_t* ServiceUrl = L"service_url";
inline constexpr const wchar_t* UploadUrl = L"upload_url";
}  // namespace setting

namespace defaults {
inline constexpr int Area = 0;
inline constexpr int SaveTo = 0;
inline constexpr int JpegQuality = 1;  // index of "90"
inline constexpr int WebpQuality = 1;
inline constexpr int LanguageOcr = 0;
inline constexpr int Append = 1;
inline constexpr int Sound = 2;
inline constexpr int RecordLimit = 0;
inline constexpr bool Audio = false;
inline constexpr bool Mouse = true;
inline constexpr bool FfmpegLog = false;
inline constexpr int HotKey = 44;  // PrintScreen, no modifiers
inline constexpr int RegionWidth = 480;
inline constexpr int RegionHeight = 360;
inline constexpr int CustomWidth[3] = {320, 640, 720};
inline constexpr int CustomHeight[3] = {240, 480, 480};
// The region frame's default place: centred on the primary screen, halves toward zero.
inline int RegionLeft(int screenWidth) { return (screenWidth - RegionWidth) / 2; }
inline int RegionTop(int screenHeight) { return (screenHeight - RegionHeight) / 2; }
}  // namespace defaults

// The interface language at start: the loaded code when it is exactly one of the seven
// (case-sensitive), else English.
std::wstring AcceptedLanguage(std::wstring_view lang);

// The record limits in menu order and their values.
inline constexpr int kRecordLimits[] = {0, 30, 60, 120, 240};
