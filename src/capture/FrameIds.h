// Control and menu identifiers of the hotkey dialog, the size dialog and the region frame.
// Other programs (and the tests) find the controls by them; a WM_COMMAND with a menu
// identifier sent to the frame does what a click on that item does.
#pragma once

namespace hotkeyctl {
enum : int {
  BtnYes = 1,  // the dialog's OK: Enter
  BtnNo = 2,   // its Cancel: Escape
  GrpConfig = 201,
  ChkShift,
  ChkCtrl,
  ChkAlt,
  ChkHotKey,
};
}  // namespace hotkeyctl

namespace sizectl {
// Per group (0: current size, 1-3: custom sizes): base + 10 * group.
enum : int { Group = 301, EditWidth, EditHeight, BtnApply, LblWidth, LblHeight };
inline constexpr int Of(int id, int group) { return id + 10 * group; }
}  // namespace sizectl

namespace areactl {
enum : int { PnlHead = 401, PnlSize, LblSize, PnlRec, LvlRecTime, PnlClose, BtnClose };
}  // namespace areactl

namespace areacmd {
enum : unsigned { PopSize_1 = 451, PopSize_2, PopSize_3, PopConfig, PopClose };
}  // namespace areacmd
