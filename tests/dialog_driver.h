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
