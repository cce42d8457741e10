; Vantoru's installer: for the current user only, no administrator rights.
; Built by scripts/package.sh:
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.2.3 -DVERSION4=1.2.3.0 -DSTAGE=<release files>
;            -DICON=<vantoru.ico> -DOUTFILE=<setup.exe> vantoru.nsi
; Command line of the installer: /S silent; /D=<folder> (last) install folder;
; /NOAUTOSTART without "start with Windows"; /NORUN does not start Vantoru at the end.
; The uninstaller takes /S (keeps the settings).

!macro Needs Symbol
  !ifndef ${Symbol}
    !error "makensis -D${Symbol}=... is missing"
  !endif
!macroend
!insertmacro Needs VERSION
!insertmacro Needs VERSION4
!insertmacro Needs STAGE
!insertmacro Needs ICON
!insertmacro Needs OUTFILE

Unicode true
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantoru"
!define SETTINGS_KEY "Software\Dorvenix\Vantoru"
!define MAKER_KEY "Software\Dorvenix"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define KEYBOARD_KEY "Control Panel\Keyboard"
!define SNIPPING "PrintScreenKeyForSnippingEnabled"
; In UNINST_KEY: the snipping value as it was before the first install ("none": there was none).
!define SNIPPING_BEFORE "PrintScreenSnippingBefore"
!define EMULATION_KEY "Software\Microsoft\Internet Explorer\Main\FeatureControl\FEATURE_BROWSER_EMULATION"
!define SHORTCUT "$SMPROGRAMS\Vantoru.lnk"

Name "Vantoru"
BrandingText "Vantoru ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Vantoru"
; An upgrade goes where the installed version is.
InstallDirRegKey HKCU "${UNINST_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh

Var Upgrade      ; an installed Vantoru was found: its folder is kept, no folder page
Var NoRun
Var Started

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION StartVantoru
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\README.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipFolderOnUpgrade
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The program's own languages; English where the system's is none of them.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Korean"
!insertmacro MUI_LANGUAGE "Japanese"
!insertmacro MUI_LANGUAGE "Russian"
!insertmacro MUI_LANGUAGE "SimpChinese"
!insertmacro MUI_LANGUAGE "Italian"
!insertmacro MUI_LANGUAGE "French"

; The program's menu item for the same setting, as the program translates it.
LangString AutoStartName ${LANG_ENGLISH} "Run on system start"
LangString AutoStartName ${LANG_KOREAN} "부팅시 실행"
LangString AutoStartName ${LANG_JAPANESE} "システム起動時に実行"
LangString AutoStartName ${LANG_RUSSIAN} "Запуск при старте системы"
LangString AutoStartName ${LANG_SIMPCHINESE} "开机自动运行"
LangString AutoStartName ${LANG_ITALIAN} "Esegui all'avvio del sistema"
LangString AutoStartName ${LANG_FRENCH} "Lancer au démarrage"

LangString StillRunning ${LANG_ENGLISH} "Vantoru is still running and could not be closed (is it recording?).$\r$\nStop the recording or quit Vantoru, then choose Retry."
LangString StillRunning ${LANG_KOREAN} "Vantoru가 아직 실행 중이어서 종료할 수 없습니다. (녹화 중인가요?)$\r$\n녹화를 멈추거나 Vantoru를 종료한 뒤 [다시 시도]를 누르세요."
LangString StillRunning ${LANG_JAPANESE} "Vantoru が実行中のため終了できませんでした (録画中ですか?)。$\r$\n録画を停止するか Vantoru を終了してから、[再試行] を押してください。"
LangString StillRunning ${LANG_RUSSIAN} "Vantoru всё ещё работает, и закрыть его не удалось (идёт запись?).$\r$\nОстановите запись или закройте Vantoru и нажмите «Повтор»."
LangString StillRunning ${LANG_SIMPCHINESE} "Vantoru 仍在运行，无法关闭（是否正在录制？）。$\r$\n请停止录制或退出 Vantoru，然后点击“重试”。"
LangString StillRunning ${LANG_ITALIAN} "Vantoru è ancora in esecuzione e non è stato possibile chiuderlo (sta registrando?).$\r$\nInterrompi la registrazione o chiudi Vantoru, poi scegli Riprova."
LangString StillRunning ${LANG_FRENCH} "Vantoru est toujours en cours d'exécution et n'a pas pu être fermé (un enregistrement est-il en cours ?).$\r$\nArrêtez l'enregistrement ou quittez Vantoru, puis choisissez Réessayer."

LangString DeleteSettings ${LANG_ENGLISH} "Also delete Vantoru's settings?$\r$\nYour captures are kept."
LangString DeleteSettings ${LANG_KOREAN} "Vantoru의 설정도 삭제하시겠습니까?$\r$\n캡쳐한 파일은 삭제되지 않습니다."
LangString DeleteSettings ${LANG_JAPANESE} "Vantoru の設定も削除しますか?$\r$\nキャプチャしたファイルは削除されません。"
LangString DeleteSettings ${LANG_RUSSIAN} "Удалить также настройки Vantoru?$\r$\nВаши снимки и записи останутся."
LangString DeleteSettings ${LANG_SIMPCHINESE} "是否同时删除 Vantoru 的设置？$\r$\n您的截图文件将会保留。"
LangString DeleteSettings ${LANG_ITALIAN} "Eliminare anche le impostazioni di Vantoru?$\r$\nLe tue catture vengono conservate."
LangString DeleteSettings ${LANG_FRENCH} "Supprimer aussi les réglages de Vantoru ?$\r$\nVos captures sont conservées."

VIProductVersion "${VERSION4}"
VIFileVersion "${VERSION4}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "Vantoru"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "Dorvenix"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "Vantoru ${VERSION} Setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION4}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION4}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "Copyright (c) 2026 Dorvenix. MIT License."

; The release's files, listed once for installing and removing.
!macro ReleaseFiles Do
  !insertmacro ${Do} "vantoru.exe"
  !insertmacro ${Do} "vantoructl.exe"
  !insertmacro ${Do} "libwebp.dll"
  !insertmacro ${Do} "ffmpeg.exe"
  !insertmacro ${Do} "ffmpeg-sources.txt"
  !insertmacro ${Do} "README.txt"
  !insertmacro ${Do} "LICENSE.txt"
  !insertmacro ${Do} "THIRD-PARTY-NOTICES.txt"
!macroend
!macro InstallFile Name
  File "${STAGE}/${Name}"
!macroend
!macro RemoveFile Name
  Delete "$INSTDIR\${Name}"
!macroend

; Ends every running Vantoru of this user with "vantoru.exe /uninst" (the one given) and
; waits until its process is gone: the instance mutex lives exactly as long. A Vantoru that
; refuses (it does while recording) is reported; the user may retry, or the setup ends with
; exit code 2.
!macro CloseVantoru Un Exe
  Function ${Un}CloseVantoru
    Push $0
    Push $1
    retry:
      FindWindow $0 "TFrmVantoru"
      ${If} $0 <> 0
      ${AndIf} ${FileExists} "${Exe}"
        ExecWait '"${Exe}" /uninst'
      ${EndIf}
      StrCpy $1 0
      ${Do}
        System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "VantoruMutex") p.r0'
        ${If} $0 P= 0
          ${Break}
        ${EndIf}
        System::Call 'kernel32::CloseHandle(p r0)'
        ${If} $1 >= 100
          MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(StillRunning)" /SD IDCANCEL IDRETRY retry
          SetErrorLevel 2
          Quit
        ${EndIf}
        Sleep 100
        IntOp $1 $1 + 1
      ${Loop}
    Pop $1
    Pop $0
  FunctionEnd
!macroend
!insertmacro CloseVantoru "" "$PLUGINSDIR\vantoru.exe"
!insertmacro CloseVantoru "un." "$INSTDIR\vantoru.exe"

Section "Vantoru" SecMain
  SectionIn RO
  ; The running Vantoru is asked to quit by a copy of the new program, whatever folder it
  ; runs from.
  InitPluginsDir
  File "/oname=$PLUGINSDIR\vantoru.exe" "${STAGE}/vantoru.exe"
  Call CloseVantoru

  ; Vantoru turns the PrintScreen key's snipping off at every start; the uninstaller puts
  ; back what the user had before the first install.
  ClearErrors
  ReadRegStr $0 HKCU "${UNINST_KEY}" "${SNIPPING_BEFORE}"
  ${If} ${Errors}
    ClearErrors
    ReadRegDWORD $0 HKCU "${KEYBOARD_KEY}" "${SNIPPING}"
    ${If} ${Errors}
      StrCpy $0 "none"
    ${EndIf}
    WriteRegStr HKCU "${UNINST_KEY}" "${SNIPPING_BEFORE}" $0
  ${EndIf}

  SetOutPath "$INSTDIR"
  !insertmacro ReleaseFiles InstallFile
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "${SHORTCUT}" "$INSTDIR\vantoru.exe" "" "$INSTDIR\vantoru.exe" 0 SW_SHOWNORMAL "" "Vantoru"

  WriteRegStr HKCU "${UNINST_KEY}" "DisplayName" "Vantoru"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINST_KEY}" "Publisher" "Dorvenix"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\vantoru.exe,0"
  WriteRegStr HKCU "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoRepair" 1
  !searchparse /noerrors "${VERSION}" "" VERSION_MAJOR "." VERSION_MINOR "."
  WriteRegDWORD HKCU "${UNINST_KEY}" "VersionMajor" ${VERSION_MAJOR}
  WriteRegDWORD HKCU "${UNINST_KEY}" "VersionMinor" ${VERSION_MINOR}
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKCU "${UNINST_KEY}" "EstimatedSize" $0
SectionEnd

; Registered by the program itself ("vantoru.exe /inst") when it is started at the end.
Section "$(AutoStartName)" SecAutoStart
SectionEnd

Function .onInit
  SetShellVarContext current
  ClearErrors
  ReadRegStr $Upgrade HKCU "${UNINST_KEY}" "InstallLocation"
  ${If} ${Errors}
  ${OrIfNot} ${FileExists} "$Upgrade\vantoru.exe"
    StrCpy $Upgrade ""
  ${EndIf}
  ; On an upgrade the start with Windows stays as the user left it: the Run entry is that
  ; setting.
  ${If} $Upgrade != ""
    ClearErrors
    ReadRegStr $0 HKCU "${RUN_KEY}" "Vantoru"
    ${If} ${Errors}
      !insertmacro UnselectSection ${SecAutoStart}
    ${EndIf}
  ${EndIf}
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/NOAUTOSTART" $0
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SecAutoStart}
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/NORUN" $0
  ${IfNot} ${Errors}
    StrCpy $NoRun 1
  ${EndIf}
FunctionEnd

Function SkipFolderOnUpgrade
  ${If} $Upgrade != ""
    Abort
  ${EndIf}
FunctionEnd

Function StartVantoru
  ${If} ${SectionIsSelected} ${SecAutoStart}
    Exec '"$INSTDIR\vantoru.exe" /inst'
  ${Else}
    Exec '"$INSTDIR\vantoru.exe"'
  ${EndIf}
  StrCpy $Started 1
FunctionEnd

Function .onInstSuccess
  ${If} ${Silent}
  ${AndIf} $NoRun != 1
    Call StartVantoru
  ${EndIf}
  ${If} ${SectionIsSelected} ${SecAutoStart}
    ${If} $Started != 1
      ; Not started: the entry the program would have written ("/start": hidden in the tray).
      WriteRegStr HKCU "${RUN_KEY}" "Vantoru" '"$INSTDIR\vantoru.exe" /start'
    ${EndIf}
  ${Else}
    DeleteRegValue HKCU "${RUN_KEY}" "Vantoru"
  ${EndIf}
FunctionEnd

Function un.onInit
  SetShellVarContext current
FunctionEnd

Section "Uninstall"
  Call un.CloseVantoru

  ; The settings stay unless the user says otherwise (a silent uninstall keeps them).
  MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "$(DeleteSettings)" /SD IDNO IDNO keep_settings
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    DeleteRegValue HKCU "${MAKER_KEY}" "VUID"
    DeleteRegKey /ifempty HKCU "${MAKER_KEY}"
  keep_settings:

  ; Only the release's own files: anything else in the folder (captures saved there) stays.
  !insertmacro ReleaseFiles RemoveFile
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "${SHORTCUT}"

  DeleteRegValue HKCU "${RUN_KEY}" "Vantoru"
  DeleteRegValue HKCU "${EMULATION_KEY}" "vantoru.exe"
  ClearErrors
  ReadRegStr $0 HKCU "${UNINST_KEY}" "${SNIPPING_BEFORE}"
  ${IfNot} ${Errors}
    ${If} $0 == "none"
      DeleteRegValue HKCU "${KEYBOARD_KEY}" "${SNIPPING}"
    ${Else}
      WriteRegDWORD HKCU "${KEYBOARD_KEY}" "${SNIPPING}" $0
    ${EndIf}
  ${EndIf}
  DeleteRegKey HKCU "${UNINST_KEY}"
SectionEnd
