// The display is one layered pop-up window, made at its first text and kept hidden between texts.
// It is never activated (WS_EX_NOACTIVATE, shown with SWP_NOACTIVATE), clicks pass through it
// (WS_EX_TRANSPARENT with WS_EX_LAYERED, HTTRANSPARENT), and as a tool window it is in neither the
// taskbar nor Alt+Tab. It is also registered as one of the program's tools, so that a press never
// acts on it. Its window text is the text it shows, for screen readers.
//
// The dispatch thread writes the newest press into one slot under a lock and posts kMsgOsd; a
// press that comes before the main thread took the last one replaces it (only the newest counts).
#include "app/osd.h"

#include <string.h>

#include "actions/dispatch.h"
#include "actions/osdtext.h"
#include "profile/profile.h"
#include "profile/profiletext.h"
#include "common/format.h"
#include "common/process.h"
#include "common/text.h"

namespace {

const char kOsdClass[] = "HalvestaRemoteOsdClass";
const UINT_PTR kHideTimer = 1;
const COLORREF kOsdBack = RGB(16, 16, 16);
const COLORREF kOsdFore = RGB(255, 255, 255);
const BYTE kOsdAlpha = 224;

HWND mainWindow;
HWND osdWindow;
HFONT osdFont;
int osdFontHeight;
WCHAR shown[kOsdTextSize + 16];

CRITICAL_SECTION slotLock;
bool slotLockReady;
struct {
  bool full;
  ActivityEvent record;
  char osd[kOsdTextSize];
  int count;
  unsigned ms;
} slot;

void Paint(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  RECT area;
  GetClientRect(window, &area);
  HBRUSH back = CreateSolidBrush(kOsdBack);
  FillRect(dc, &area, back);
  DeleteObject(back);
  HGDIOBJ before = SelectObject(dc, osdFont);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, kOsdFore);
  DrawTextW(dc, shown, -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
  SelectObject(dc, before);
  EndPaint(window, &paint);
}

LRESULT CALLBACK OsdWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCHITTEST:
      return HTTRANSPARENT;
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint(window);
      return 0;
    case WM_TIMER:
      if (wParam == kHideTimer) {
        KillTimer(window, kHideTimer);
        ShowWindow(window, SW_HIDE);
      }
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

bool Create() {
  if (osdWindow) return true;
  WNDCLASSEXA windowClass;
  ZeroMemory(&windowClass, sizeof windowClass);
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = OsdWindowProc;
  windowClass.hInstance = gProgramInstance;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.lpszClassName = kOsdClass;
  RegisterClassExA(&windowClass);  // fails harmlessly when registered before
  const DWORD kExStyle =
      WS_EX_NOACTIVATE | WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_TRANSPARENT | WS_EX_LAYERED;
  osdWindow = CreateWindowExA(kExStyle, kOsdClass, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                              gProgramInstance, nullptr);
  if (!osdWindow) return false;
  SetLayeredWindowAttributes(osdWindow, 0, kOsdAlpha, LWA_ALPHA);
  ProcessToolAdd(osdWindow);
  return true;
}

// The font for a display `height` pixels high (made again only when the height changes).
void FontFor(int height) {
  int fontHeight = height * 3 / 5;
  if (osdFont && fontHeight == osdFontHeight) return;
  if (osdFont) DeleteObject(osdFont);
  osdFont =
      CreateFontA(-fontHeight, 0, 0, 0, FW_SEMIBOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                  CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH, "Segoe UI");
  osdFontHeight = fontHeight;
}

}  // namespace

void OsdStart(HWND window) {
  if (!slotLockReady) InitializeCriticalSection(&slotLock);
  slotLockReady = true;
  mainWindow = window;
  gPressShow = OsdPressed;
}

void OsdStop() {
  gPressShow = nullptr;
  if (osdWindow) {
    ProcessToolRemove(osdWindow);
    DestroyWindow(osdWindow);
  }
  osdWindow = nullptr;
  if (osdFont) DeleteObject(osdFont);
  osdFont = nullptr;
}

HWND OsdWindow() {
  return osdWindow;
}

void OsdPressed(const ActivityEvent* record, int count) {
  if (!slotLockReady || !mainWindow) return;
  char value[32];
  ProfileGet(kProfileDefault, kProfileOsd, value, sizeof value - 1);
  if (OsdOnParse(value) != 1) return;
  uint32_t ms;
  ProfileGet(kProfileDefault, kProfileOsdTime, value, sizeof value - 1);
  OsdTimeParse(value, &ms);
  // The own text of the section that served: the first of the button's entry names there that has one.
  char keys[kProfileButtonKeys][kProfileKeySize], osd[kOsdTextSize] = "";
  int names = ProfileButtonKeys(record->name[0] ? -1 : record->code, record->remote, record->name,
                                kProfileOsdSuffix, keys);
  for (int i = 0; i < names && record->section[0] && !osd[0]; i++) {
    if (ProfileGet(record->section, keys[i], osd, sizeof osd - 1) != 1) osd[0] = '\0';
  }
  EnterCriticalSection(&slotLock);
  slot.record = *record;
  FormatText(slot.osd, sizeof slot.osd, "%s", osd);
  slot.count = count;
  slot.ms = ms;
  bool post = !slot.full;
  slot.full = true;
  LeaveCriticalSection(&slotLock);
  if (post) PostMessageA(mainWindow, kMsgOsd, 0, 0);
}

void OsdOnMessage() {
  if (!slotLockReady) return;
  static ActivityEvent record;
  char osd[kOsdTextSize];
  EnterCriticalSection(&slotLock);
  bool full = slot.full;
  record = slot.record;
  memcpy(osd, slot.osd, sizeof osd);
  int count = slot.count;
  unsigned ms = slot.ms;
  slot.full = false;
  LeaveCriticalSection(&slotLock);
  if (!full) return;
  // A press with no entry: the program it found nothing for, read now that the key path is done.
  if (!record.program[0] && record.pid) {
    HWND front = GetForegroundWindow();
    DWORD pid = 0;
    if (front && GetWindowThreadProcessId(front, &pid) && pid == record.pid)
      ProfileProgramName(front, record.program);
  }
  WCHAR text[kOsdTextSize + 16];
  OsdText(&record, osd, count, text, sizeof text / sizeof text[0]);
  OsdShow(text, ms);
}

void OsdText(const ActivityEvent* e, const char* osd, int count, WCHAR* out, size_t size) {
  if (size == 0) return;
  OsdWords words;
  OsdDescribe(e, osd, TextLoad, &words);
  char text[kOsdTextSize];
  TextFormat(text, sizeof text, words.id, {words.first, words.second});
  int n = MultiByteToWideChar(CP_ACP, 0, text, -1, out, int(size));
  if (n <= 0) out[0] = 0;
  out[size - 1] = 0;
  if (count > 1) {
    WCHAR repeat[24];
    wsprintfW(repeat, L" \x00D7%d", count);  // "Volume up ×4", in every language
    size_t used = lstrlenW(out);
    size_t more = size_t(lstrlenW(repeat));
    if (used + more < size) memcpy(out + used, repeat, (more + 1) * sizeof(WCHAR));
  }
}

void OsdShow(const WCHAR* text, unsigned ms) {
  if (!Create()) return;
  lstrcpynW(shown, text, int(sizeof shown / sizeof shown[0]));
  SetWindowTextW(osdWindow, shown);
  // The monitor of the window in front: the display shows where the user looks.
  HWND front = GetForegroundWindow();
  HMONITOR monitor = MonitorFromWindow(front ? front : mainWindow, MONITOR_DEFAULTTOPRIMARY);
  MONITORINFO info;
  info.cbSize = sizeof info;
  if (!GetMonitorInfoA(monitor, &info)) {
    SetRect(&info.rcWork, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    info.rcMonitor = info.rcWork;
  }
  int monitorWidth = info.rcMonitor.right - info.rcMonitor.left;
  int height = (info.rcMonitor.bottom - info.rcMonitor.top) / 20;
  if (height < 24) height = 24;
  FontFor(height);
  HDC dc = GetDC(osdWindow);
  HGDIOBJ before = SelectObject(dc, osdFont);
  SIZE extent = {0, 0};
  GetTextExtentPoint32W(dc, shown, lstrlenW(shown), &extent);
  SelectObject(dc, before);
  ReleaseDC(osdWindow, dc);
  int width = extent.cx + height;  // half a height of room either side
  if (width > monitorWidth - height) width = monitorWidth - height;
  int x = (info.rcWork.left + info.rcWork.right - width) / 2;
  int y = info.rcWork.bottom - 2 * height;  // one height above the bottom of the work area
  SetWindowPos(osdWindow, HWND_TOPMOST, x, y, width, height, SWP_NOACTIVATE | SWP_SHOWWINDOW);
  InvalidateRect(osdWindow, nullptr, FALSE);
  UpdateWindow(osdWindow);
  SetTimer(osdWindow, kHideTimer, ms, nullptr);  // a new text starts its time again
}
