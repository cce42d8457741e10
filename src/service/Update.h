// The start-up call to the maker's service: its thread, the HTTPS client, and the update
// question with the service's notice.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "service/UpdateReply.h"

// Control identifiers of the update question (besides IDYES and IDNO).
namespace updlg {
enum : int { Question = 301, Separator, Hold, Note };
}

struct TUpdateCall {
  std::wstring Address;    // the endpoint
  int Adjustment = 0;      // design pixels taken off the notice's layout constants
  bool StartedHidden = false;         // the main window was not shown at start
  std::function<bool()> Terminating;  // true once the program has begun to end
};

// Called on the user-interface thread with whether the user took the offer, and the reply.
using TUpdateProc = std::function<void(bool accepted, const std::wstring& reply)>;

// Starts the start-up call on a thread of its own. With `proc` it returns at once; without,
// it returns when the call and its completion are over.
void CheckUpdate(const TUpdateCall& call, TUpdateProc proc);

// The update question with the reply's notice; true when the user chose Yes.
bool UpdateDialog(const std::wstring& reply, const TUpdateCall& call);

// HKCU\Software\Dorvenix "VUID", made once; empty when the registry cannot be used.
std::wstring GetInstallId();

// One GET of `address` with the headers; the body as bytes when any reply came.
bool HttpGetText(const std::wstring& address, const THeaderList& headers, std::string& text);
