// Drag captures and the window picker.
#include "app/Main.h"

#include "capture/Drag.h"
#include "capture/Line.h"

void TFrmVantoru::TDragDeleter::operator()(TFrmDrag* form) const { delete form; }
void TFrmVantoru::TDragDeleter::operator()(TFrmLine* form) const { delete form; }

bool TFrmVantoru::CaptureDrag(std::unique_ptr<TBitmap>& bitmap, TRect& rect) {
  FDrag.reset(new TFrmDrag(FHandle));
  FDrag->Capture(bitmap, rect);
  FDrag->ShowModal();
  const bool finished = FDrag->Finished();
  FDrag.reset();
  if (!finished) bitmap.reset();  // cancelled, or the overlay went with the program
  return bitmap != nullptr;
}

void TFrmVantoru::OpenPicker() {
  FLine.reset(new TFrmLine(FHandle));
  FLine->Show();
}

void TFrmVantoru::ClosePicker() {
  if (FLine) FLine->Close();
  FLine.reset();
}

// On the outline itself the picker shows the main window; a capture there takes what it shows.
HWND TFrmVantoru::WindowControlAt(POINT p) {
  HWND wnd = WindowFromPoint(p);
  if (FLine && wnd && wnd == FLine->Handle()) return FHandle;
  return wnd;
}
