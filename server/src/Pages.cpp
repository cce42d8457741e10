#include "Pages.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "Notices.h"

namespace {

struct TPageTexts {
  const char* Language;
  const char* Help;        // title of the help pages
  const char* WebpTitle;
  const char* Webp;
  const char* FfmpegTitle;
  const char* Ffmpeg;
  const char* General;
  const char* Product;     // the product page's introduction
  const char* Yours;       // "Your version:"
  const char* Latest;      // "Latest version:"
  const char* Download;
};

// The interface's seven languages.
const TPageTexts kTexts[] = {
    {"ko", "Vantoru 도움말", "libwebp.dll 파일이 없습니다",
     "WebP로 저장하려면 vantoru.exe와 같은 폴더에 libwebp.dll 파일이 있어야 합니다. Vantoru를 다시 설치하거나 "
     "libwebp.dll을 프로그램 폴더에 복사한 뒤 다시 시도하세요. 그동안에는 PNG로 저장됩니다.",
     "ffmpeg.exe 파일이 없습니다",
     "MP4 화면 녹화에는 vantoru.exe와 같은 폴더에 ffmpeg.exe(gdigrab, dshow, libx264 포함)가 있어야 합니다. "
     "ffmpeg.exe를 프로그램 폴더에 복사한 뒤 다시 MP4를 선택하세요.",
     "Vantoru는 알림 영역에 머무는 작은 화면 캡쳐 도구입니다. 단축키(기본: PrintScreen)를 누르면 선택한 방식으로 "
     "캡쳐하여 선택한 곳으로 보냅니다.",
     "Vantoru는 Windows용 작은 화면 캡쳐 도구입니다. 한 번의 단축키로 화면, 영역, 창을 캡쳐하여 파일, 클립보드, "
     "업로드, 프린터, 화면 위 그림으로 보내고 MP4로 녹화합니다.",
     "사용 중인 버전:", "최신 버전:", "다운로드"},
    {"en", "Vantoru help", "libwebp.dll is missing",
     "Saving as WebP needs the file libwebp.dll in the same folder as vantoru.exe. Reinstall Vantoru or copy "
     "libwebp.dll into the program's folder, then try again. Until then captures are saved as PNG.",
     "ffmpeg.exe is missing",
     "MP4 screen recording needs ffmpeg.exe (with gdigrab, dshow and libx264) in the same folder as vantoru.exe. "
     "Copy ffmpeg.exe into the program's folder, then choose MP4 again.",
     "Vantoru is a small screen-capture tool that lives in the notification area. Press the hotkey (PrintScreen by "
     "default) to capture in the chosen mode and send the picture to the chosen output.",
     "Vantoru is a small screen-capture tool for Windows. One hotkey captures the screen, a region or a window and "
     "sends it to a file, the clipboard, an upload, the printer or a floating picture, or records it as MP4.",
     "Your version:", "Latest version:", "Download"},
    {"ja", "Vantoru ヘルプ", "libwebp.dll が見つかりません",
     "WebP で保存するには vantoru.exe と同じフォルダーに libwebp.dll が必要です。Vantoru を再インストールするか、"
     "libwebp.dll をプログラムのフォルダーにコピーしてからもう一度お試しください。それまでは PNG で保存されます。",
     "ffmpeg.exe が見つかりません",
     "MP4 の画面録画には vantoru.exe と同じフォルダーに ffmpeg.exe（gdigrab、dshow、libx264 付き）が必要です。"
     "ffmpeg.exe をプログラムのフォルダーにコピーしてから、もう一度 MP4 を選んでください。",
     "Vantoru は通知領域に常駐する小さな画面キャプチャーツールです。ホットキー（既定は PrintScreen）を押すと、"
     "選んだ方法でキャプチャーし、選んだ出力先に送ります。",
     "Vantoru は Windows 用の小さな画面キャプチャーツールです。ひとつのホットキーで画面、範囲、ウィンドウを"
     "キャプチャーし、ファイル、クリップボード、アップロード、プリンター、画面上の画像に送り、MP4 で録画します。",
     "お使いのバージョン:", "最新バージョン:", "ダウンロード"},
    {"ru", "Справка Vantoru", "Не найден файл libwebp.dll",
     "Для сохранения в WebP нужен файл libwebp.dll в той же папке, что и vantoru.exe. Переустановите Vantoru или "
     "скопируйте libwebp.dll в папку программы и повторите попытку. До тех пор снимки сохраняются в PNG.",
     "Не найден файл ffmpeg.exe",
     "Для записи экрана в MP4 нужен ffmpeg.exe (с gdigrab, dshow и libx264) в той же папке, что и vantoru.exe. "
     "Скопируйте ffmpeg.exe в папку программы и снова выберите MP4.",
     "Vantoru — небольшая программа для снимков экрана, живущая в области уведомлений. Нажмите горячую клавишу "
     "(по умолчанию PrintScreen), чтобы сделать снимок выбранным способом и отправить его выбранным образом.",
     "Vantoru — небольшая программа для снимков экрана в Windows. Одна горячая клавиша снимает экран, область или "
     "окно и отправляет снимок в файл, буфер обмена, на загрузку, на принтер или в плавающее окно, а также "
     "записывает видео MP4.",
     "Ваша версия:", "Последняя версия:", "Скачать"},
    {"it", "Guida di Vantoru", "Manca il file libwebp.dll",
     "Per salvare in WebP serve il file libwebp.dll nella stessa cartella di vantoru.exe. Reinstalla Vantoru o "
     "copia libwebp.dll nella cartella del programma, poi riprova. Fino ad allora le catture sono salvate in PNG.",
     "Manca il file ffmpeg.exe",
     "La registrazione dello schermo in MP4 richiede ffmpeg.exe (con gdigrab, dshow e libx264) nella stessa cartella "
     "di vantoru.exe. Copia ffmpeg.exe nella cartella del programma, poi scegli di nuovo MP4.",
     "Vantoru è un piccolo strumento di cattura dello schermo che resta nell'area di notifica. Premi il tasto "
     "(PrintScreen di serie) per catturare nel modo scelto e inviare l'immagine alla destinazione scelta.",
     "Vantoru è un piccolo strumento di cattura dello schermo per Windows. Un solo tasto cattura lo schermo, "
     "un'area o una finestra e la invia a un file, agli appunti, a un caricamento, alla stampante o a un'immagine "
     "mobile, oppure registra in MP4.",
     "La tua versione:", "Ultima versione:", "Scarica"},
    {"fr", "Aide de Vantoru", "Le fichier libwebp.dll est introuvable",
     "L'enregistrement en WebP nécessite le fichier libwebp.dll dans le même dossier que vantoru.exe. Réinstallez "
     "Vantoru ou copiez libwebp.dll dans le dossier du programme, puis réessayez. En attendant, les captures sont "
     "enregistrées en PNG.",
     "Le fichier ffmpeg.exe est introuvable",
     "L'enregistrement de l'écran en MP4 nécessite ffmpeg.exe (avec gdigrab, dshow et libx264) dans le même dossier "
     "que vantoru.exe. Copiez ffmpeg.exe dans le dossier du programme, puis choisissez de nouveau MP4.",
     "Vantoru est un petit outil de capture d'écran qui reste dans la zone de notification. Appuyez sur le raccourci "
     "(Impr. écran par défaut) pour capturer selon le mode choisi et envoyer l'image vers la sortie choisie.",
     "Vantoru est un petit outil de capture d'écran pour Windows. Un seul raccourci capture l'écran, une zone ou une "
     "fenêtre et l'envoie vers un fichier, le presse-papiers, un envoi en ligne, l'imprimante ou une image flottante, "
     "ou enregistre en MP4.",
     "Votre version :", "Dernière version :", "Télécharger"},
    {"zh", "Vantoru 帮助", "找不到 libwebp.dll 文件",
     "保存为 WebP 需要在 vantoru.exe 所在的文件夹中有 libwebp.dll 文件。请重新安装 Vantoru，或将 libwebp.dll "
     "复制到程序文件夹后重试。在此之前，截图将保存为 PNG。",
     "找不到 ffmpeg.exe 文件",
     "MP4 屏幕录制需要在 vantoru.exe 所在的文件夹中有 ffmpeg.exe（包含 gdigrab、dshow 和 libx264）。请将 "
     "ffmpeg.exe 复制到程序文件夹，然后重新选择 MP4。",
     "Vantoru 是一个常驻通知区域的小型截图工具。按下热键（默认为 PrintScreen），即可按所选方式截图并发送到所选位置。",
     "Vantoru 是一个适用于 Windows 的小型截图工具。一个热键即可截取屏幕、区域或窗口，并发送到文件、剪贴板、上传、"
     "打印机或浮动图片，也可录制为 MP4。",
     "您的版本：", "最新版本：", "下载"},
};

const TPageTexts& TextsFor(std::string_view language) {
  for (const TPageTexts& t : kTexts)
    if (language == t.Language) return t;
  return kTexts[1];
}

std::string Document(std::string_view language, std::string_view title, const std::string& body) {
  return "<!DOCTYPE html>\n<html lang=\"" + std::string(language) +
         "\">\n<head>\n<meta charset=\"utf-8\">\n<meta name=\"viewport\" content=\"width=device-width, "
         "initial-scale=1\">\n<title>" +
         HtmlEscape(title) +
         "</title>\n<style>body{font-family:system-ui,sans-serif;max-width:40em;margin:3em auto;padding:0 1em;"
         "line-height:1.5;color:#222}h1{font-size:1.4em}</style>\n</head>\n<body>\n" +
         body + "</body>\n</html>\n";
}

std::string Paragraph(std::string_view text) { return "<p>" + HtmlEscape(text) + "</p>\n"; }

}  // namespace

std::string PageLanguage(std::string_view accept) {
  std::string best = "en";
  double bestWeight = 0;
  while (!accept.empty()) {
    const size_t comma = accept.find(',');
    std::string_view range = accept.substr(0, comma);
    accept = comma == std::string_view::npos ? std::string_view() : accept.substr(comma + 1);
    double weight = 1;
    if (const size_t semi = range.find(';'); semi != std::string_view::npos) {
      const std::string_view params = range.substr(semi + 1);
      range = range.substr(0, semi);
      if (const size_t q = params.find("q="); q != std::string_view::npos)
        weight = std::strtod(std::string(params.substr(q + 2)).c_str(), nullptr);
    }
    while (!range.empty() && range.front() == ' ') range.remove_prefix(1);
    std::string primary(range.substr(0, range.find_first_of("-_ ")));
    std::transform(primary.begin(), primary.end(), primary.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const bool known = std::any_of(std::begin(kTexts), std::end(kTexts),
                                   [&](const TPageTexts& t) { return primary == t.Language; });
    if (known && weight > bestWeight) best = primary, bestWeight = weight;
  }
  return best;
}

std::string HelpPage(std::string_view message, std::string_view language) {
  const TPageTexts& t = TextsFor(language);
  std::string heading = t.Help, text = t.General;
  if (message == "webpnotfound") heading = t.WebpTitle, text = t.Webp;
  else if (message == "ffmpegnotfound") heading = t.FfmpegTitle, text = t.Ffmpeg;
  return Document(t.Language, heading, "<h1>" + HtmlEscape(heading) + "</h1>\n" + Paragraph(text));
}

std::string ProductPage(std::string_view version, std::string_view language, std::string_view latestVersion,
                        std::string_view latestLink) {
  const TPageTexts& t = TextsFor(language);
  std::string body = "<h1>Vantoru</h1>\n" + Paragraph(t.Product);
  if (ParseVersion(version)) body += Paragraph(std::string(t.Yours) + " " + std::string(version));
  if (!latestVersion.empty()) {
    body += "<p>" + HtmlEscape(t.Latest) + " " + HtmlEscape(latestVersion);
    if (!latestLink.empty()) body += " &mdash; <a href=\"" + HtmlEscape(latestLink) + "\">" + HtmlEscape(t.Download) + "</a>";
    body += "</p>\n";
  }
  return Document(t.Language, "Vantoru", body);
}

std::string HtmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out.push_back(c);
    }
  }
  return out;
}
