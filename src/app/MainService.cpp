// The start-up call to the maker's service.
#include "app/Main.h"

#include "base/Hosts.h"
#include "service/Update.h"

void TFrmVantoru::StartServiceCall() {
  // A service address of the user's that is no address: no call at all.
  const std::wstring base = ServiceBaseUrl();
  if (base.empty()) return;
  TUpdateCall call;
  call.Address = base + L"/api.init.php";
  call.Adjustment = 0;
  call.StartedHidden = FFirstArg == L"/start";
  // The program ends with its main window; the call's thread looks at it, not at this object.
  HWND self = FHandle;
  call.Terminating = [self] { return !IsWindow(self); };
  CheckUpdate(call, [](bool accepted, const std::wstring&) {
    if (accepted && FrmVantoru) FrmVantoru->Quit();
  });
}
