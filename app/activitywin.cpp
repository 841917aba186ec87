// The Activity window and the notices. Both live on the main thread: the worker threads only add
// to the log and post kMsgActivity, and the main window's procedure calls ActivityOnNewEvents.
//
// The window's list is a virtual list view: it holds no copy of the lines, only their number, and
// asks for each cell's text as it paints; the text is formatted from the log under its lock. The
// log records the process id of a press and leaves the program's name empty when the lookup did
// not need it (the name costs a process query on the key path); the names are read here, before
// the new lines are shown, and written back into the log.
#include "app/activity.h"

#include <commctrl.h>
#include <shellapi.h>
#include <stdio.h>
#include <string.h>

#include "actions/dispatch.h"
#include "app/activitytext.h"
#include "app/assign.h"
#include "app/notice.h"
#include "app/shell.h"
#include "common/activitylog.h"
#include "common/process.h"
#include "common/text.h"
#include "resources/resource_ids.h"
#include "setup/setup.h"

// Main thread only.
static HWND activityWindow;
static uint32_t lastSeen;        // sequence of the newest event handled by ActivityOnNewEvents
static int receiverState = -1;   // the last kMsgReceiverState, -1 before the first
static NoticeState notices;      // zero: nothing shown yet
static bool noticeAssigns;       // the last notice was for a press with no entry
static AssignPress noticePress;  // ... that press

enum { kNoticeTimeoutMs = 10000 };

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
  lstrcpynA(n.szInfoTitle, "Halvesta Remote Control", sizeof n.szInfoTitle);
  n.uTimeout = kNoticeTimeoutMs;
  n.dwInfoFlags = icon;
  Shell_NotifyIconA(NIM_MODIFY, &n);
}

static void NoticeFor(HWND mainWindow, const ActivityEvent* e) {
  int kind = NoticeKindOf(e);
  if (kind < 0 || !SetupNotificationsOn()) return;
  if (!NoticeDecide(&notices, kind, ActivityNow(), e->code, e->program[0] ? e->program : e->title)) return;
  char text[kNoticeTextSize];
  NoticeText(e, text, sizeof text);
  noticeAssigns = kind == kNoticeNoEntry;
  if (noticeAssigns) {
    noticePress.code = e->code;
    ActivityCopyField(noticePress.title, sizeof noticePress.title, e->title);
    ActivityCopyField(noticePress.program, sizeof noticePress.program, e->program);
  }
  bool warn = kind == kNoticeBlocked || kind == kNoticeNotStarted || kind == kNoticeReceiverGone;
  NoticeShow(mainWindow, text, warn ? NIIF_WARNING : NIIF_INFO);
}

// --- The window --------------------------------------------------------------------------------

static int LogCount() {
  unsigned count = 0;
  ActivityLogRead([](ActivityRing* ring, void* c) { *static_cast<unsigned*>(c) = ring->count; }, &count);
  return int(count);
}

static void ListRefresh(HWND dialog) {
  HWND list = GetDlgItem(dialog, IDC_ACTIVITY_LIST);
  int count = LogCount();
  int selected = ListView_GetNextItem(list, -1, LVNI_SELECTED);
  ListView_SetItemCountEx(list, count, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
  InvalidateRect(list, nullptr, FALSE);
  if (selected < 0 && count > 0) ListView_EnsureVisible(list, count - 1, FALSE);  // follow the newest
}

struct CellRequest {
  int item;
  int column;
  char* text;
  int size;
};

static void ReadCell(ActivityRing* ring, void* context) {
  CellRequest* r = static_cast<CellRequest*>(context);
  const ActivityEvent* e = ActivityRingAt(ring, unsigned(r->item));
  if (e) ActivityColumnText(e, r->column, r->text, size_t(r->size));
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
  const ActivityEvent* e = r->item >= 0 ? ActivityRingAt(ring, unsigned(r->item)) : nullptr;
  if (!e || e->kind != kActivityPress) {
    e = nullptr;
    for (unsigned i = ring->count; i-- > 0 && !e;) {
      if (ActivityRingAt(ring, i)->kind == kActivityPress) e = ActivityRingAt(ring, i);
    }
  }
  if (!e) return;
  r->found = true;
  r->press.code = e->code;
  ActivityCopyField(r->press.title, sizeof r->press.title, e->title);
  ActivityCopyField(r->press.program, sizeof r->press.program, e->program);
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
    MessageBoxA(dialog, "No key has been pressed yet. Press the remote's button, then Assign.",
                "Halvesta Remote Control", MB_OK | MB_ICONINFORMATION);
    return;
  }
  AssignFor(dialog, &request.press);
}

static void OnInit(HWND dialog) {
  HWND list = GetDlgItem(dialog, IDC_ACTIVITY_LIST);
  ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
  static const int kWidths[kActivityColumns] = {80, 62, 112, 76, 84, 126, 200};  // Event: room for longer languages
  RECT units = {0, 0, 4, 8};
  MapDialogRect(dialog, &units);  // pixels per 4 dialog units across
  for (int c = 0; c < kActivityColumns; c++) {
    LVCOLUMNA column;
    ZeroMemory(&column, sizeof column);
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    char name[kActivityColumnNameSize];
    ActivityColumnName(c, name, sizeof name);
    column.pszText = name;
    column.cx = kWidths[c] * units.right / 6;
    SendMessageA(list, LVM_INSERTCOLUMNA, WPARAM(c), LPARAM(&column));
  }
  ListRefresh(dialog);
}

static INT_PTR CALLBACK ActivityDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInit(dialog);
      return TRUE;
    case WM_NOTIFY: {
      NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
      if (header->idFrom != IDC_ACTIVITY_LIST || header->code != LVN_GETDISPINFOA) return FALSE;
      LVITEMA* item = &reinterpret_cast<NMLVDISPINFOA*>(lParam)->item;
      if (item->mask & LVIF_TEXT) {
        CellRequest cell = {item->iItem, item->iSubItem, item->pszText, item->cchTextMax};
        if (cell.size > 0) {
          cell.text[0] = '\0';
          ActivityLogRead(ReadCell, &cell);
        }
      }
      return TRUE;
    }
    case WM_COMMAND:
      if (HIWORD(wParam) != 0) return FALSE;
      if (LOWORD(wParam) == IDC_ACTIVITY_COPY) CopyAll(dialog);
      if (LOWORD(wParam) == IDC_ACTIVITY_ASSIGN) OnAssign(dialog);
      if (LOWORD(wParam) == IDCANCEL) DestroyWindow(dialog);
      return FALSE;
    case WM_DESTROY:
      activityWindow = nullptr;
      return FALSE;
  }
  return FALSE;
}

int ActivityWindowOpen(HMODULE language, HWND owner) {
  if (!activityWindow) {
    activityWindow =
        CreateDialogParamA(language, MAKEINTRESOURCEA(IDD_ACTIVITY), owner, ActivityDialogProc, 0);
    if (!activityWindow) return -1;
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
  if (activityWindow) ListRefresh(activityWindow);
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

void ActivityOnNoticeClick(HWND mainWindow) {
  if (noticeAssigns) {
    noticeAssigns = false;
    AssignFor(activityWindow ? activityWindow : mainWindow, &noticePress);
    return;
  }
  ActivityWindowOpen(TextDialogModule(IDD_ACTIVITY), mainWindow);
}
