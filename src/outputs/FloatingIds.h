// Menu identifiers of a floating picture window. A WM_COMMAND sent to that window with one of
// them does exactly what a click on the item does.
#pragma once

namespace cmd {
enum : unsigned {
  BtnSave = 1201,    // save image
  BtnDelete,         // delete this floating window
  BtnDeleteAll,      // delete every floating window
};
}  // namespace cmd
