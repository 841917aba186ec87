// The Activity window and the notices. Both live on the main thread: the worker threads only add
// to the log and post kMsgActivity, and the main window's procedure calls ActivityOnNewEvents.
//
// The window's list is a virtual list view: it holds no copy of the lines, only their number, and
// asks for each cell's text as it paints; the text is formatted from the log under its lock. The
// log records the process id of a press and leaves the program's name empty when the lookup did
// not need it (the name costs a process query on the key path); the names are read here, before
// the new lines are shown, and written back into the log.
//
// The list's lines are the events by sequence number, from the oldest shown: line i is the event
// shownFirst + i, whatever the log did since the list was last told, so a selection stays on its
// event while new events arrive and old ones leave. The window is one of the program's tools: a
// press while it is in front is meant for the window the user was in before it.
#include "app/activitywin.h"

#include <commctrl.h>
#include <shellapi.h>
#include <stdio.h>
#include <string.h>

#include "actions/dispatch.h"
#include "app/activitytext.h"
#include "app/assign.h"
#include "app/notice.h"
#include "app/tray.h"
#include "common/activitylog.h"
#include "common/process.h"
#include "common/text.h"
#include "receiver/keyring.h"
#include "receiver/lircreceiver.h"
#include "resources/resource_ids.h"
#include "setup/setup.h"

// Main thread only.
static HWND activityWindow;
static uint32_t lastSeen;                 // sequence of the newest event handled by ActivityOnNewEvents
static int receiverState = -1;            // the last kMsgReceiverState, -1 before the first
static int networkState = kNetworkOff;    // the last network state logged
static bool networkNoticeShown;           // its notice comes once a run
static NoticeState notices;               // zero: nothing shown yet
static bool noticeAssigns;                // the last notice was for a press with no entry
static AssignPress noticePress;           // ... that press
static uint32_t shownFirst;               // sequence of the list's first line
static HWND tips;                         // the tip of a cut cell
static WNDPROC listProc;                  // the list's own procedure
static int tipItem = -1, tipColumn = -1;  // the cell the tip is for
static char tipText[kActivityReasonSize + kActivityLineSize];
static SIZE minimumSize;  // the window's size from the template: the smallest it gets

enum { kNoticeTimeoutMs = 10000, kNoteFrontTimer = 1 };

HWND ActivityWindowHandle() {
  return activityWindow;
}

// --- Reading the log ---------------------------------------------------------------------------

struct NewEvents {
  uint32_t after;
  unsigned count;
  ActivityEvent events[kActivityCapacity];
};
static NewEvents fresh;  // main thread; too large for the stack of a window procedure

static void TakeNew(ActivityRing* ring, void* context) {
  NewEvents* out = static_cast<NewEvents*>(context);
  out->count = 0;
  for (unsigned i = 0; i < ring->count; i++) {
    const ActivityEvent* e = ActivityRingAt(ring, i);
    if (e->sequence > out->after) out->events[out->count++] = *e;
  }
}

static void PutPrograms(ActivityRing* ring, void* context) {
  const NewEvents* in = static_cast<const NewEvents*>(context);
  for (unsigned i = 0; i < ring->count; i++) {
    ActivityEvent* e = ActivityRingAt(ring, i);
    if (e->program[0]) continue;
    for (unsigned j = 0; j < in->count; j++) {
      if (in->events[j].sequence == e->sequence) memcpy(e->program, in->events[j].program, sizeof e->program);
    }
  }
}

struct ProgramSearch {
  DWORD pid;
  HWND found;
};

// EnumWindows callback: the first top-level window of search->pid.
static BOOL CALLBACK ProgramSearchWindow(HWND window, LPARAM param) {
  ProgramSearch* search = reinterpret_cast<ProgramSearch*>(param);
  DWORD owner = 0;
  if (GetWindowThreadProcessId(window, &owner) && owner == search->pid) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

// The program file of process pid, the way the lookup names it, through its window when that still
// belongs to the process.
static void ProgramOf(uint32_t pid, char* out) {
  out[0] = '\0';
  HWND front = GetForegroundWindow();
  DWORD frontPid = 0;
  if (front && GetWindowThreadProcessId(front, &frontPid) && frontPid == pid) {
    ProfileProgramName(front, out);
    return;
  }
  // Any top-level window of that process will do.
  ProgramSearch search = {pid, nullptr};
  EnumWindows(ProgramSearchWindow, reinterpret_cast<LPARAM>(&search));
  if (search.found) ProfileProgramName(search.found, out);
}

// --- Notices -----------------------------------------------------------------------------------

static void NoticeShow(HWND mainWindow, const char* text, DWORD icon) {
  NOTIFYICONDATAA n;
  ZeroMemory(&n, sizeof n);
  n.cbSize = NOTIFYICONDATAA_V2_SIZE;  // the first form with balloons
  n.hWnd = mainWindow;
  n.uID = kTrayIconId;
  n.uFlags = NIF_INFO;
  lstrcpynA(n.szInfo, text, sizeof n.szInfo);
  TextLoad(IDS_ACTIVITY_CAPTION, n.szInfoTitle, sizeof n.szInfoTitle);
  n.uTimeout = kNoticeTimeoutMs;
  n.dwInfoFlags = icon;
  Shell_NotifyIconA(NIM_MODIFY, &n);
}

// The press as Assign teaches it: its button and the window it was meant for.
static void AssignPressOf(const ActivityEvent* e, AssignPress* press) {
  press->code = e->code;
  press->source = e->source;
  ActivityCopyField(press->remote, sizeof press->remote, e->remote);
  ActivityCopyField(press->name, sizeof press->name, e->name);
  ActivityCopyField(press->title, sizeof press->title, e->title);
  ActivityCopyField(press->program, sizeof press->program, e->program);
}

// The network receiver not connected: told once a run, the first time.
static void NoticeNetworkFor(HWND mainWindow, const ActivityEvent* e) {
  if (networkNoticeShown || !SetupNotificationsOn()) return;
  networkNoticeShown = true;
  char text[kNoticeTextSize];
  TextFormat(text, sizeof text, IDS_NOTICE_NETWORK, {e->reason});
  noticeAssigns = false;
  NoticeShow(mainWindow, text, NIIF_WARNING);
}

static void NoticeFor(HWND mainWindow, const ActivityEvent* e) {
  if (e->kind == kActivityReceiver && e->result == kActivityNetworkNotConnected)
    NoticeNetworkFor(mainWindow, e);
  int kind = NoticeKindOf(e);
  if (kind < 0 || !SetupNotificationsOn()) return;
  if (!NoticeDecide(&notices, kind, ActivityNow(), e)) return;
  char text[kNoticeTextSize];
  NoticeText(e, text, sizeof text);
  noticeAssigns = kind == kNoticeNoEntry;
  if (noticeAssigns) {
    AssignPressOf(e, &noticePress);
  }
  bool warn = kind == kNoticeBlocked || kind == kNoticeNotStarted || kind == kNoticeReceiverGone;
  NoticeShow(mainWindow, text, warn ? NIIF_WARNING : NIIF_INFO);
}

// --- The window --------------------------------------------------------------------------------

// The event of the list's line `item`, null when it has left the log (or is not there yet).
static ActivityEvent* EventOfLine(ActivityRing* ring, int item) {
  if (item < 0 || ring->count == 0) return nullptr;
  uint32_t first = ActivityRingAt(ring, 0)->sequence;
  uint32_t sequence = shownFirst + uint32_t(item);
  return sequence < first ? nullptr : ActivityRingAt(ring, sequence - first);
}

struct Lines {
  uint32_t first;
  unsigned count;
};

static void ReadLines(ActivityRing* ring, void* context) {
  Lines* lines = static_cast<Lines*>(context);
  lines->count = ring->count;
  lines->first = ring->count ? ActivityRingAt(ring, 0)->sequence : 0;
}

// Shows the log's lines now; the selected event stays selected while it is in the log.
static void ListRefresh(HWND dialog) {
  HWND list = GetDlgItem(dialog, IDC_ACTIVITY_LIST);
  Lines lines = {0, 0};
  ActivityLogRead(ReadLines, &lines);
  int selected = ListView_GetNextItem(list, -1, LVNI_SELECTED);
  int top = ListView_GetTopIndex(list);
  long shift = long(lines.first) - long(shownFirst);  // lines that left at the top
  long moved = selected >= 0 ? selected - shift : -1;
  shownFirst = lines.first;
  ListView_SetItemCountEx(list, int(lines.count), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
  if (selected >= 0) {
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    if (moved >= 0 && moved < long(lines.count)) {
      ListView_SetItemState(list, int(moved), LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
      // The view follows its line up as the old lines leave.
      if (shift > 0) {
        RECT row;
        if (ListView_GetItemRect(list, 0, &row, LVIR_BOUNDS))
          ListView_Scroll(list, 0, -int(shift < top ? shift : top) * (row.bottom - row.top));
      }
    }
  }
  InvalidateRect(list, nullptr, FALSE);
  if (selected < 0 && lines.count > 0)
    ListView_EnsureVisible(list, int(lines.count) - 1, FALSE);  // follow the newest
}

struct CellRequest {
  int item;
  int column;
  char* text;
  int size;
};

static void ReadCell(ActivityRing* ring, void* context) {
  CellRequest* r = static_cast<CellRequest*>(context);
  const ActivityEvent* e = EventOfLine(ring, r->item);
  if (e) ActivityColumnText(e, r->column, r->text, size_t(r->size));
}

static void CellText(int item, int column, char* text, int size) {
  CellRequest cell = {item, column, text, size};
  if (size <= 0) return;
  text[0] = '\0';
  ActivityLogRead(ReadCell, &cell);
}

struct CopyRequest {
  char* text;
  size_t size;
};

static void ReadAll(ActivityRing* ring, void* context) {
  CopyRequest* r = static_cast<CopyRequest*>(context);
  size_t need = ActivityCopyText(ring, nullptr, 0) + 1;
  r->text = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, need));
  r->size = r->text ? ActivityCopyText(ring, r->text, need) + 1 : 0;
}

// All lines, header first, to the clipboard as CF_TEXT. 0 or -1.
static int CopyAll(HWND dialog) {
  CopyRequest copy = {nullptr, 0};
  ActivityLogRead(ReadAll, &copy);
  if (!copy.text) return -1;
  int result = -1;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, copy.size);
  if (block) {
    memcpy(GlobalLock(block), copy.text, copy.size);
    GlobalUnlock(block);
    if (OpenClipboard(dialog)) {
      EmptyClipboard();
      if (SetClipboardData(CF_TEXT, block)) {
        block = nullptr;  // the clipboard owns it now
        result = 0;
      }
      CloseClipboard();
    }
    if (block) GlobalFree(block);
  }
  HeapFree(GetProcessHeap(), 0, copy.text);
  return result;
}

struct PressRequest {
  int item;  // the selected line, -1 for the newest press
  bool found;
  AssignPress press;
};

static void ReadPress(ActivityRing* ring, void* context) {
  PressRequest* r = static_cast<PressRequest*>(context);
  const ActivityEvent* e = EventOfLine(ring, r->item);
  if (!e || e->kind != kActivityPress) {
    e = nullptr;
    for (unsigned i = ring->count; i-- > 0 && !e;) {
      if (ActivityRingAt(ring, i)->kind == kActivityPress) e = ActivityRingAt(ring, i);
    }
  }
  if (!e) return;
  r->found = true;
  AssignPressOf(e, &r->press);
}

static void AssignFor(HWND owner, const AssignPress* press) {
  AssignDialogRun(TextDialogModule(IDD_ASSIGN), owner, press);
}

static void OnAssign(HWND dialog) {
  PressRequest request;
  ZeroMemory(&request, sizeof request);
  request.item = ListView_GetNextItem(GetDlgItem(dialog, IDC_ACTIVITY_LIST), -1, LVNI_SELECTED);
  ActivityLogRead(ReadPress, &request);
  if (!request.found) {
    char text[256], caption[128];
    TextLoad(IDS_ACTIVITY_NO_PRESS, text, sizeof text);
    TextLoad(IDS_ACTIVITY_CAPTION, caption, sizeof caption);
    MessageBoxA(dialog, text, caption, MB_OK | MB_ICONINFORMATION);
    return;
  }
  AssignFor(dialog, &request.press);
}

// The width a column starts at: enough for its heading and its usual content.
static int ColumnWidth(HWND list, int column, int least) {
  ActivityEvent samples[3];
  ZeroMemory(samples, sizeof samples);
  samples[0].kind = kActivityPress;
  samples[0].time = 23 * 3600000LL + 59 * 60000 + 59999;
  samples[0].code = 127;
  samples[0].result = kActivityKeysSent;
  samples[0].detail = 4;
  lstrcpynA(samples[0].title, "Untitled - Notepad", sizeof samples[0].title);
  lstrcpynA(samples[0].program, "notepad.exe", sizeof samples[0].program);
  lstrcpynA(samples[0].section, "notepad.exe", sizeof samples[0].section);
  lstrcpynA(samples[0].line, "KEYBOARD CTRL+S+^S+^CTRL", sizeof samples[0].line);
  samples[1].kind = kActivityReceiver;
  samples[1].result = kActivityPortWaiting;
  samples[1].detail = 1;
  samples[2] = samples[0];
  samples[2].result = kActivityNoEntry;
  samples[2].section[0] = samples[2].line[0] = '\0';
  char name[kActivityColumnNameSize];
  ActivityColumnName(column, name, sizeof name);
  int width = ListView_GetStringWidth(list, name);
  char text[512];
  for (const ActivityEvent& e : samples) {
    ActivityColumnText(&e, column, text, sizeof text);
    int w = ListView_GetStringWidth(list, text);
    if (w > width) width = w;
  }
  width += 2 * GetSystemMetrics(SM_CXEDGE) + 12;  // the cell's margins
  return width > least ? width : least;
}

// Lays the controls out for the window's size: the list takes what the text and buttons leave.
static void Layout(HWND dialog) {
  RECT client, units = {7, 4, 50, 14};
  GetClientRect(dialog, &client);
  MapDialogRect(dialog, &units);  // margin, gap, button width, button height in pixels
  int margin = units.left, gap = units.top, bw = units.right, bh = units.bottom;
  int width = client.right - 2 * margin;
  HWND text = GetDlgItem(dialog, IDC_ACTIVITY_TEXT);
  int top = margin;
  if (text) {  // as high as the template makes it (a translation may need two lines)
    RECT t;
    GetWindowRect(text, &t);
    MoveWindow(text, margin, top, width, t.bottom - t.top, TRUE);
    top += t.bottom - t.top + gap;
  }
  int buttons = client.bottom - margin - bh;
  MoveWindow(GetDlgItem(dialog, IDC_ACTIVITY_LIST), margin, top, width, buttons - gap - top, TRUE);
  MoveWindow(GetDlgItem(dialog, IDC_ACTIVITY_COPY), margin, buttons, bw, bh, TRUE);
  MoveWindow(GetDlgItem(dialog, IDC_ACTIVITY_ASSIGN), margin + bw + gap, buttons, bw, bh, TRUE);
  MoveWindow(GetDlgItem(dialog, IDCANCEL), client.right - margin - bw, buttons, bw, bh, TRUE);
  RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// Fits the window into the work area of its screen (never wider or taller), in the middle of it.
static void FitToWorkArea(HWND dialog) {
  RECT r, work;
  GetWindowRect(dialog, &r);
  minimumSize = {r.right - r.left, r.bottom - r.top};
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof monitor;
  if (GetMonitorInfoA(MonitorFromWindow(dialog, MONITOR_DEFAULTTONEAREST), &monitor)) {
    work = monitor.rcWork;
  } else if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0)) {
    return;
  }
  int w = r.right - r.left, h = r.bottom - r.top;
  if (w > work.right - work.left) w = work.right - work.left;
  if (h > work.bottom - work.top) h = work.bottom - work.top;
  if (minimumSize.cx > w) minimumSize.cx = w;
  if (minimumSize.cy > h) minimumSize.cy = h;
  minimumSize.cx = minimumSize.cx * 2 / 3;
  minimumSize.cy = minimumSize.cy * 2 / 3;
  SetWindowPos(dialog, nullptr, work.left + (work.right - work.left - w) / 2,
               work.top + (work.bottom - work.top - h) / 2, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
}

// The whole text of a cell that its column cuts; empty when it fits.
static void CutCellText(HWND list, int item, int column, char* out, int size) {
  out[0] = '\0';
  if (item < 0 || column < 0) return;
  char text[sizeof tipText];
  CellText(item, column, text, sizeof text);
  int room = ListView_GetColumnWidth(list, column) - 2 * GetSystemMetrics(SM_CXEDGE) - 12;
  if (text[0] && ListView_GetStringWidth(list, text) > room) lstrcpynA(out, text, size);
}

// The list's procedure before its own: the tip follows the cell under the mouse.
static LRESULT CALLBACK ListTipProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_MOUSEMOVE && tips) {
    LVHITTESTINFO hit;
    ZeroMemory(&hit, sizeof hit);
    hit.pt = {short(LOWORD(lParam)), short(HIWORD(lParam))};
    ListView_SubItemHitTest(list, &hit);
    if (hit.iItem != tipItem || hit.iSubItem != tipColumn) {
      tipItem = hit.iItem;
      tipColumn = hit.iItem >= 0 ? hit.iSubItem : -1;
      SendMessageA(tips, TTM_POP, 0, 0);
      CutCellText(list, tipItem, tipColumn, tipText, sizeof tipText);
    }
  }
  return CallWindowProcA(listProc, list, message, wParam, lParam);
}

static void AddCellTips(HWND dialog, HWND list) {
  tips = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, 0,
                         0, 0, 0, dialog, nullptr, nullptr, nullptr);
  if (!tips) return;
  SendMessageA(tips, TTM_SETMAXTIPWIDTH, 0, 600);
  TOOLINFOA tool;
  ZeroMemory(&tool, sizeof tool);
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = dialog;
  tool.uId = UINT_PTR(list);
  tool.lpszText = LPSTR_TEXTCALLBACKA;
  SendMessageA(tips, TTM_ADDTOOLA, 0, LPARAM(&tool));
  tipItem = tipColumn = -1;
  tipText[0] = '\0';
  listProc = WNDPROC(SetWindowLongPtrA(list, GWLP_WNDPROC, LONG_PTR(ListTipProc)));
}

// The event column grows to the name of a named button the first time one shows: a user of the
// serial receiver alone keeps the narrow column that "Key12" needs.
static void FitEventColumn(HWND list, const ActivityEvent* e) {
  if (e->kind != kActivityPress || !e->name[0]) return;
  char text[2 * kKeyNameSize + 96];
  ActivityColumnText(e, 1, text, sizeof text);
  int width = ListView_GetStringWidth(list, text) + 2 * GetSystemMetrics(SM_CXEDGE) + 12;
  if (width > ListView_GetColumnWidth(list, 1)) ListView_SetColumnWidth(list, 1, width);
}

static void FitEventColumnToLog(ActivityRing* ring, void* context) {
  for (unsigned i = 0; i < ring->count; i++)
    FitEventColumn(static_cast<HWND>(context), ActivityRingAt(ring, i));
}

static void OnInit(HWND dialog) {
  HWND list = GetDlgItem(dialog, IDC_ACTIVITY_LIST);
  ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
  RECT units = {0, 0, 4, 8};
  MapDialogRect(dialog, &units);  // pixels per 4 dialog units across
  // At least these many dialog units: the window's and the action's texts vary the most.
  static const int kLeast[kActivityColumns] = {0, 0, 100, 60, 60, 100, 120};
  for (int c = 0; c < kActivityColumns; c++) {
    LVCOLUMNA column;
    ZeroMemory(&column, sizeof column);
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    char name[kActivityColumnNameSize];
    ActivityColumnName(c, name, sizeof name);
    column.pszText = name;
    column.cx = ColumnWidth(list, c, kLeast[c] * units.right / 4);
    SendMessageA(list, LVM_INSERTCOLUMNA, WPARAM(c), LPARAM(&column));
  }
  ActivityLogRead(FitEventColumnToLog, list);
  AddCellTips(dialog, list);
  shownFirst = 0;
  FitToWorkArea(dialog);
  Layout(dialog);
  ListRefresh(dialog);
}

static INT_PTR CALLBACK ActivityDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInit(dialog);
      return TRUE;
    case WM_SIZE:
      Layout(dialog);
      return TRUE;
    case WM_GETMINMAXINFO:
      reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {minimumSize.cx, minimumSize.cy};
      return TRUE;
    case WM_ACTIVATE:
      // Another window took the front: a moment later it is the one the user is in.
      if (LOWORD(wParam) == WA_INACTIVE) SetTimer(dialog, kNoteFrontTimer, 100, nullptr);
      return FALSE;
    case WM_TIMER:
      if (wParam != kNoteFrontTimer) return FALSE;
      KillTimer(dialog, kNoteFrontTimer);
      ProcessFrontNote(GetForegroundWindow());
      return TRUE;
    case WM_NOTIFY: {
      NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
      if (header->code == TTN_GETDISPINFOA && tips && header->hwndFrom == tips) {
        reinterpret_cast<NMTTDISPINFOA*>(lParam)->lpszText = tipText;
        return TRUE;
      }
      if (header->idFrom != IDC_ACTIVITY_LIST || header->code != LVN_GETDISPINFOA) return FALSE;
      LVITEMA* item = &reinterpret_cast<NMLVDISPINFOA*>(lParam)->item;
      if (item->mask & LVIF_TEXT) CellText(item->iItem, item->iSubItem, item->pszText, item->cchTextMax);
      return TRUE;
    }
    case WM_COMMAND:
      if (HIWORD(wParam) != 0) return FALSE;
      if (LOWORD(wParam) == IDC_ACTIVITY_COPY) CopyAll(dialog);
      if (LOWORD(wParam) == IDC_ACTIVITY_ASSIGN) OnAssign(dialog);
      if (LOWORD(wParam) == IDCANCEL) DestroyWindow(dialog);
      return FALSE;
    case WM_DESTROY:
      ProcessToolRemove(dialog);
      if (tips) DestroyWindow(tips);
      tips = nullptr;
      activityWindow = nullptr;
      return FALSE;
  }
  return FALSE;
}

int ActivityWindowOpen(HMODULE language, HWND owner) {
  if (!activityWindow) {
    ProcessFrontNote(ProcessFrontRemember());  // the window the user is in, which presses go on to serve
    activityWindow =
        CreateDialogParamA(language, MAKEINTRESOURCEA(IDD_ACTIVITY), owner, ActivityDialogProc, 0);
    if (!activityWindow) return -1;
    ProcessToolAdd(activityWindow);
    ShowWindow(activityWindow, SW_SHOW);
  }
  if (IsIconic(activityWindow)) ShowWindow(activityWindow, SW_RESTORE);
  SetForegroundWindow(activityWindow);
  return 0;
}

// --- What the main window hears ----------------------------------------------------------------

void ActivityOnNewEvents(HWND mainWindow) {
  ActivityLogTaken();  // an event added from now on posts again
  fresh.after = lastSeen;
  ActivityLogRead(TakeNew, &fresh);
  if (fresh.count == 0) return;
  lastSeen = fresh.events[fresh.count - 1].sequence;
  bool named = false;
  for (unsigned i = 0; i < fresh.count; i++) {
    ActivityEvent* e = &fresh.events[i];
    if (e->kind == kActivityPress && !e->program[0] && e->pid) {
      ProgramOf(e->pid, e->program);
      named = named || e->program[0];
    }
  }
  if (named) ActivityLogRead(PutPrograms, &fresh);
  for (unsigned i = 0; i < fresh.count; i++) NoticeFor(mainWindow, &fresh.events[i]);
  if (!activityWindow) return;
  for (unsigned i = 0; i < fresh.count; i++)
    FitEventColumn(GetDlgItem(activityWindow, IDC_ACTIVITY_LIST), &fresh.events[i]);
  ListRefresh(activityWindow);
}

void ActivityOnReceiverState(WPARAM state, LPARAM port) {
  int event = ActivityReceiverEventOf(receiverState, int(state));
  receiverState = int(state);
  if (event < 0) return;
  ActivityEvent e;
  ZeroMemory(&e, sizeof e);
  e.kind = kActivityReceiver;
  e.result = event;
  e.detail = long(port);
  ActivityLogAdd(&e);
  ActivityLogTell();  // its line and notice follow with kMsgActivity
}

void ActivityOnNetworkState(WPARAM state) {
  if (int(state) == kNetworkOff || int(state) == networkState) return;
  networkState = int(state);
  ActivityEvent e;
  ZeroMemory(&e, sizeof e);
  e.kind = kActivityReceiver;
  e.result = networkState == kNetworkConnected ? kActivityNetworkConnected : kActivityNetworkNotConnected;
  ActivityCopyField(e.reason, sizeof e.reason, LircReceiverAddress());
  ActivityLogAdd(&e);
  ActivityLogTell();
}

void ActivityOnNoticeClick(HWND mainWindow) {
  if (noticeAssigns) {
    noticeAssigns = false;
    AssignFor(activityWindow ? activityWindow : mainWindow, &noticePress);
    return;
  }
  ActivityWindowOpen(TextDialogModule(IDD_ACTIVITY), mainWindow);
}
