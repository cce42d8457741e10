#include "service/UpdateReply.h"

#include <chrono>
#include <ctime>
#include <mutex>
#include <random>

#include "base/Strings.h"
#include "base/Text.h"

THeaderList StartupHeaders(const std::wstring& version, const std::wstring& language, const std::wstring& installId) {
  return {{L"User-Version", version},
          {L"User-Language", language},
          {L"User-Debug", L"false"},
          {L"User-Union", installId}};
}

THeaderList HoldHeaders(const std::wstring& version) {
  return {{L"User-Version", version}, {L"User-Command", L"hold"}};
}

std::wstring FormatInstallId(const TInstallIdParts& p) {
  return FormatW(L"%08X%02d%02d%02d%04X%02d%02d%02d%08X", p.First, p.Year % 100, p.Month, p.Day, p.Middle, p.Hour,
                 p.Minute, p.Second, p.Last);
}

std::wstring NewInstallId() {
  static std::mutex lock;
  static std::mt19937 random(static_cast<uint32_t>(std::random_device{}()) ^
                             static_cast<uint32_t>(std::chrono::system_clock::now().time_since_epoch().count()));
  std::uniform_int_distribution<uint32_t> big(0, 2147483646u), small(0, 65534u);
  TInstallIdParts p;
  {
    std::lock_guard<std::mutex> g(lock);
    p.First = big(random);
    p.Middle = small(random);
    p.Last = big(random);
  }
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  p.Year = local.tm_year + 1900;
  p.Month = local.tm_mon + 1;
  p.Day = local.tm_mday;
  p.Hour = local.tm_hour;
  p.Minute = local.tm_min;
  p.Second = local.tm_sec;
  return FormatInstallId(p);
}

std::wstring ReplyMember(std::wstring_view text, std::wstring_view name) {
  const std::wstring start = L"\"" + std::wstring(name) + L"\":\"";
  return UnescapeJsonText(TextBetween(text, start, L"\""));
}

TServiceReply ParseServiceReply(std::wstring_view reply) {
  TServiceReply r;
  r.Update = ReplyMember(reply, L"update");
  const std::wstring info = TextBetween(reply, L"\"info\":{", L"}");
  r.Notice.Style = ReplyMember(info, L"style");
  r.Notice.Text = ReplyMember(info, L"text");
  r.Notice.Flag = ReplyMember(info, L"flag");
  r.Notice.Url = ReplyMember(info, L"url");
  return r;
}

TNoticeKind NoticeKindOf(const TServiceNotice& notice) {
  if (notice.Style.empty()) return TNoticeKind::None;
  if (notice.Style == L"hold") return TNoticeKind::Hold;
  if (notice.Style == L"note") return TNoticeKind::Note;
  return TNoticeKind::Line;
}

bool StaysOnTop(const TServiceNotice& notice) { return notice.Flag.find(L"stayontop") != std::wstring::npos; }

std::wstring UpdateText(int kind, std::wstring_view language) {
  struct TRow {
    const wchar_t* Code;
    const wchar_t* Texts[3];
  };
  static const TRow rows[] = {
      {L"ko",
       {L"업데이트가 정보가 있습니다.\r\r안정적으로 사용하기 위해 업데이트를 하시길 권장합니다.\r\r다운로드 받으시겠습니까?",
        L"예", L"아니오"}},
      {L"ja",
       {L"このプログラムがアップデートされました。\r\r安定的に使用するために新しくダウンロード·実行することをお勧めします。"
        L"\r\rダウンロードしますか。",
        L"はい", L"いいえ"}},
      {L"zh", {L"该程序已更新。\r\r建议下载并执行新程序以稳定使用。\r\r您要下载吗？", L"是", L"否"}},
      {L"ru",
       {L"Данная программа была обновлена.\r\rРекомендуется скачать и выполнить новое для стабильного "
        L"использования.\r\rВы хотите загрузить ее?",
        L"Да", L"Нет"}},
      {L"it",
       {L"È disponibile una nuova versione del programma.\r\rTi suggeriamo di scaricare ed aggiornare il "
        L"programma.\r\rVuoi scaricare la nuova versione del programma?",
        L"Sì", L"No"}},
      {L"fr",
       {L"Ce programme a été mis à jour.\r\rIl est recommandé de télécharger et d'exécuter la nouvelle version pour "
        L"une utilisation stable.\r\rVoulez-vous le télécharger?",
        L"Oui", L"Non"}},
      {nullptr,
       {L"This program has been updated.\r\rIt is recommended to download and execute new for stable use.\r\rDo you "
        L"want to download it?",
        L"Yes", L"No"}},
  };
  if (kind < 0 || kind > 2) return std::wstring();
  for (const TRow& row : rows)
    if (!row.Code || language == row.Code) return row.Texts[kind];
  return std::wstring();
}

std::optional<std::string> CallWithRetries(const std::function<bool(std::string& reply)>& attempt,
                                           const std::function<void(unsigned ms)>& sleep,
                                           const std::function<bool()>& terminating) {
  std::string reply;
  for (int i = 0; i < kAttempts; ++i) {
    reply.clear();
    if (attempt(reply)) return reply;
    for (int step = 0; step < kPauseSteps; ++step) {
      if (terminating()) return std::nullopt;
      sleep(kPauseStepMs);
    }
  }
  return std::string();
}
