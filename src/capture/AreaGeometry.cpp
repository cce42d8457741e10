#include "capture/AreaGeometry.h"

#include "base/Settings.h"
#include "base/Text.h"

using area::Border;

TAreaSize AreaWindowSize(TAreaSize capture, int head) {
  return {capture.Width + 2 * Border, capture.Height + head + 2 * Border};
}

TAreaSize AreaCaptureSize(TAreaSize window, int head) {
  return {window.Width - 2 * Border, window.Height - head - 2 * Border};
}

TRect AreaCaptureRect(const TRect& window, int head) {
  return {window.Left + Border, window.Top + head + Border, window.Right - Border, window.Bottom - Border};
}

TRect AreaHole(TAreaSize window, int head) {
  return {Border, head + Border, window.Width - Border, window.Height - Border};
}

TAreaSize ConstrainAreaWindow(TAreaSize proposed, int head) {
  const TAreaSize capture = AreaCaptureSize(proposed, head);
  TAreaSize r = proposed;
  if (capture.Width < area::MinCapture) r.Width = area::MinCapture + 2 * Border;
  if (capture.Height < area::MinCapture) r.Height = head + area::MinCapture + 2 * Border;
  return r;
}

TAreaHit AreaHitTest(int x, int y, TAreaSize client, int head) {
  const int w = client.Width, h = client.Height;
  if (y < head + Border) return x < Border ? TAreaHit::TopLeft : x > w - Border ? TAreaHit::TopRight : TAreaHit::Top;
  if (y > h - Border)
    return x < Border ? TAreaHit::BottomLeft : x > w - Border ? TAreaHit::BottomRight : TAreaHit::Bottom;
  return x < Border ? TAreaHit::Left : x > w - Border ? TAreaHit::Right : TAreaHit::Caption;
}

bool PlaceInsideDesktop(const TAreaPlace& p, const TRect& d) {
  // 64-bit sums: stored values are whatever the registry holds.
  return d.Left < p.Left && int64_t(p.Left) + p.Width < d.Right && d.Top < p.Top &&
         int64_t(p.Top) + p.Height < d.Bottom;
}

TAreaPlace DefaultAreaPlace(int screenWidth, int screenHeight) {
  return {defaults::RegionLeft(screenWidth), defaults::RegionTop(screenHeight), defaults::RegionWidth,
          defaults::RegionHeight};
}

THeaderLayout AreaHeaderLayout(int windowWidth, int head, int panelWidth) {
  THeaderLayout l;
  l.RecVisible = windowWidth > 292;
  l.CloseVisible = windowWidth > 112;
  l.SizeVisible = windowWidth > 64;
  l.Size = {0, 0, panelWidth, head};
  l.Close = {windowWidth - panelWidth, 0, windowWidth, head};
  // The time fills what the visible side panels leave.
  const int left = l.SizeVisible ? l.Size.Right : 0;
  const int right = l.CloseVisible ? l.Close.Left : windowWidth;
  l.Rec = {left, 0, right > left ? right : left, head};
  return l;
}

TAreaKeyAction AreaKeyAction(unsigned key, bool shift, bool ctrl, bool alt) {
  TAreaKeyAction a;
  if (alt && key == areakey::F4) {
    a.Handled = a.Swallow = true;
    return a;
  }
  int dx = 0, dy = 0;
  switch (key) {
    case areakey::Up: dy = -1; break;
    case areakey::Down: dy = 1; break;
    case areakey::Left: dx = -1; break;
    case areakey::Right: dx = 1; break;
    default: return a;
  }
  a.Handled = true;
  if (shift) {
    a.DWidth = dx;
    a.DHeight = dy;
  } else if (ctrl) {
    a.DWidth = dx * 10;
    a.DHeight = dy * 10;
  } else {
    a.DX = dx;
    a.DY = dy;
  }
  return a;
}

int ClampSizeField(int64_t value) {
  if (value < area::FieldMin) return area::FieldMin;
  if (value > area::FieldMax) return area::FieldMax;
  return static_cast<int>(value);
}

int SizeFieldValue(std::wstring_view text) {
  const std::wstring t = Trim(text);
  int32_t v = 0;
  if (TryStrToInt(t, v)) return ClampSizeField(v);
  // Digits beyond 32 bits are still a number: the nearer bound.
  size_t i = (!t.empty() && (t[0] == L'+' || t[0] == L'-')) ? 1 : 0;
  if (i == t.size()) return area::FieldMin;
  for (size_t k = i; k < t.size(); ++k)
    if (t[k] < L'0' || t[k] > L'9') return area::FieldMin;
  return (i == 1 && t[0] == L'-') ? area::FieldMin : area::FieldMax;
}

std::wstring SizeText(int width, int height) { return FormatW(L"%dx%d", width, height); }

uint32_t DarkenColor(uint32_t color, int percent) {
  uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const int c = static_cast<int>((color >> shift) & 0xFF);
    const int num = c * percent;
    int q = num / 100;
    const int r = num % 100;
    if (r * 2 > 100 || (r * 2 == 100 && (q & 1))) ++q;
    out |= static_cast<uint32_t>(c - q) << shift;
  }
  return out;
}

int TPulse::Tick() {
  const int shown = Percent;
  if (Percent > 40) Inc = false;
  if (Percent == 0) Inc = true;
  Percent += Inc ? 5 : -5;
  return shown;
}
