// Running a real modal dialog on the test's main thread while a second thread drives it, the way a
// user would: reading its controls and clicking its buttons.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

// Dialogs (class #32770) of `thread`, newest first: the visible ones, or all of them.
inline std::vector<HWND> ThreadDialogs(DWORD thread, bool visibleOnly = true) {
  std::vector<HWND> found;
  EnumThreadWindows(
      thread,
      [](HWND w, LPARAM arg) -> BOOL {
        char cls[16] = "";
        GetClassNameA(w, cls, sizeof cls);
        if (lstrcmpA(cls, "#32770") == 0) ((std::vector<HWND>*)arg)->push_back(w);
        return TRUE;
      },
      (LPARAM)&found);
  if (visibleOnly) {
    std::vector<HWND> visible;
    for (HWND w : found) {
      if (IsWindowVisible(w)) visible.push_back(w);
    }
    return visible;
  }
  return found;
}

// Waits up to ten seconds for a visible dialog of `thread` that holds control `control`.
inline HWND WaitForDialog(DWORD thread, int control) {
  for (int i = 0; i < 1000; i++) {
    for (HWND w : ThreadDialogs(thread)) {
      if (GetDlgItem(w, control)) return w;
    }
    Sleep(10);
  }
  return nullptr;
}

// Polls `done` for up to ten seconds.
inline bool WaitUntil(const std::function<bool()>& done) {
  for (int i = 0; i < 1000; i++) {
    if (done()) return true;
    Sleep(10);
  }
  return done();
}

// Runs `run`, which shows a modal dialog on this thread, while `drive` gets that dialog (found by
// one of its controls) on a second thread. Whatever the driver leaves open is cancelled after a
// second's grace (a click that ends the dialog may still be on its way).
inline INT_PTR RunDriven(int control, const std::function<INT_PTR()>& run,
                         const std::function<void(HWND)>& drive) {
  DWORD self = GetCurrentThreadId();
  std::thread driver([&] {
    HWND dialog = WaitForDialog(self, control);
    if (dialog) drive(dialog);
    for (int i = 0; i < 500; i++) {
      std::vector<HWND> open = ThreadDialogs(self, false);
      if (open.empty()) break;
      if (i >= 50) {
        for (HWND w : open) PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
      }
      Sleep(20);
    }
  });
  INT_PTR result = run();
  driver.join();
  return result;
}

// Clicks a button; returns when the dialog has handled the click.
inline void Click(HWND dialog, int id) {
  SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}
// Clicks a button without waiting, for clicks that open another modal dialog or end this one.
inline void PostClick(HWND dialog, int id) {
  PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

inline std::string ItemText(HWND dialog, int id) {
  char text[256] = "";
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

inline bool ItemEnabled(HWND dialog, int id) {
  return IsWindowEnabled(GetDlgItem(dialog, id)) != 0;
}
inline bool ItemVisible(HWND dialog, int id) {
  return IsWindowVisible(GetDlgItem(dialog, id)) != 0;
}
inline bool ItemChecked(HWND dialog, int id) {
  return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

// The texts of a drop-down list's items, separated by spaces: "COM7 COM9".
inline std::string ListItems(HWND dialog, int id) {
  std::string items;
  LRESULT count = SendDlgItemMessageA(dialog, id, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; i++) {
    char text[256] = "";
    SendDlgItemMessageA(dialog, id, CB_GETLBTEXT, i, (LPARAM)text);
    items += (i ? " " : "") + std::string(text);
  }
  return items;
}
// The text of the item a drop-down list shows, or "".
inline std::string ListShown(HWND dialog, int id) {
  LRESULT item = SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0);
  char text[256] = "";
  if (item != CB_ERR) SendDlgItemMessageA(dialog, id, CB_GETLBTEXT, item, (LPARAM)text);
  return text;
}
// Picks the item with that text from a drop-down list as a user does: the list shows it and the
// dialog hears of the change. False when there is no such item.
inline bool ChooseListItem(HWND dialog, int id, const std::string& text) {
  LRESULT item = SendDlgItemMessageA(dialog, id, CB_FINDSTRINGEXACT, WPARAM(-1), (LPARAM)text.c_str());
  if (item == CB_ERR) return false;
  SendDlgItemMessageA(dialog, id, CB_SETCURSEL, item, 0);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), (LPARAM)GetDlgItem(dialog, id));
  return true;
}

// Waits up to ten seconds for a message box of `thread` with that caption.
inline HWND WaitForMessageBox(DWORD thread, const char* caption) {
  for (int i = 0; i < 1000; i++) {
    for (HWND w : ThreadDialogs(thread)) {
      char title[256] = "";
      GetWindowTextA(w, title, sizeof title);
      if (lstrcmpA(title, caption) == 0) return w;
    }
    Sleep(10);
  }
  return nullptr;
}
// The text of a message box (its static text control).
inline std::string MessageBoxText(HWND box) {
  return ItemText(box, 0xFFFF);
}
