// The Assign dialog. The user picks where the line goes (the section named after the window's
// exact title, the program's section, or [default]) and what it does: keys captured with the
// standard hotkey control, a named key that keyboards often lack, CLOSE, or EXEC of a program. The
// dialog shows the exact line it will write, and the line the button has there now. OK writes it
// into gProfilePath in the file's own encoding; an existing line is replaced only after the user
// agrees, and a write that fails is told (which file, why) with the dialog left open.
//
// The Keys box takes every key and combination, Alt+letter, Tab, Enter and Esc included: a message
// filter on this thread takes the box's keyboard messages before the dialog manager sees them, so
// no access key, default button or Cancel acts on them. The dialog is one of the program's tools:
// while it is in front a press is meant for the window behind it, and when it closes the front
// goes back to the window the user was in.
#include "app/assign.h"

#include <commctrl.h>
#include <commdlg.h>
#include <stdio.h>
#include <stdlib.h>

#include "actions/dispatch.h"
#include "actions/keyhook.h"
#include "actions/keygroups.h"
#include "actions/keyline.h"
#include "actions/osdtext.h"
#include "app/activitytext.h"
#include "profile/profile.h"
#include "profile/profilepath.h"
#include "profile/profiletext.h"
#include "profile/title.h"
#include "common/format.h"
#include "common/process.h"
#include "common/text.h"
#include "resources/resource_ids.h"
#include "setup/savetext.h"

namespace {

struct AssignState {
  const AssignPress* press;
  int what;                       // the "what" choice the "when held" choice was last preset for
  char line[kActionLineMax + 1];  // the value to be written; empty when there is none
  char windowSection[256];        // the section "This window" names; empty when none can
  int windowForm;                 // TitleSectionName's result for the title
  HWND tips;                      // the tooltip of the cut names
};

// Posted by the dispatch thread when a press is seen held past the long-press time (wParam: its button).
const UINT kMsgAssignHeld = WM_APP + 40;

// The Keys box's filter (main thread; one Assign dialog at a time).
HHOOK keysFilter;
HWND keysDialog;

// A key pressed in the Keys box: shown there as the shortcut, and the dialog told as the box does.
void KeysPressed(const MSG* msg) {
  unsigned vk = unsigned(msg->wParam) & 0xFF;
  if (vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU || (vk >= VK_LSHIFT && vk <= VK_RMENU)) return;
  unsigned mods = 0;
  if (GetKeyState(VK_SHIFT) < 0) mods |= HOTKEYF_SHIFT;
  if (GetKeyState(VK_CONTROL) < 0) mods |= HOTKEYF_CONTROL;
  bool alt = msg->message == WM_SYSKEYDOWN && (msg->lParam & (1 << 29));
  if (alt || GetKeyState(VK_MENU) < 0) mods |= HOTKEYF_ALT;
  if (msg->lParam & (1 << 24)) mods |= HOTKEYF_EXT;
  SendMessageA(msg->hwnd, HKM_SETHOTKEY, MAKEWORD(vk, mods), 0);
  SendMessageA(keysDialog, WM_COMMAND, MAKEWPARAM(IDC_ASSIGN_HOTKEY, EN_CHANGE), LPARAM(msg->hwnd));
}

LRESULT CALLBACK KeysFilter(int code, WPARAM wParam, LPARAM lParam) {
  const MSG* msg = reinterpret_cast<const MSG*>(lParam);
  if (code >= 0 && msg && keysDialog && msg->hwnd == GetDlgItem(keysDialog, IDC_ASSIGN_HOTKEY) &&
      msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST) {
    if (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN) KeysPressed(msg);
    return 1;  // the dialog manager never sees it
  }
  return CallNextHookEx(keysFilter, code, wParam, lParam);
}

// The section the chosen "where" names.
const char* ChosenSection(HWND dialog, const AssignState* state) {
  if (IsDlgButtonChecked(dialog, IDC_ASSIGN_WINDOW) == BST_CHECKED) return state->windowSection;
  if (IsDlgButtonChecked(dialog, IDC_ASSIGN_APP) == BST_CHECKED) return state->press->program;
  return kProfileDefault;
}

// The words for KeyLineFromHotkey's refusal of key vk.
void RefusalText(int refusal, unsigned vk, char* why, size_t whySize) {
  char code[8];
  FormatText(code, sizeof code, "%02X", vk);
  int id = refusal == kKeyLineModifierAlone ? IDS_KEYLINE_MODIFIER_ALONE
           : refusal == kKeyLineNoName      ? IDS_KEYLINE_NO_NAME
           : refusal == kKeyLineTooLong     ? IDS_KEYLINE_TOO_LONG
                                            : IDS_KEYLINE_NO_COMBINATION;
  TextFormat(why, whySize, id, {code});
}

void KeyLine(unsigned vk, unsigned mods, char* line, size_t size, char* why, size_t whySize) {
  int result = KeyLineFromHotkey(vk, mods, line, size);
  if (result < 0) RefusalText(result, vk, why, whySize);
}

// The value the chosen "what" gives, into line (empty with the reason in why when there is none).
void BuildLine(HWND dialog, char* line, size_t size, char* why, size_t whySize) {
  line[0] = 0;
  why[0] = 0;
  if (IsDlgButtonChecked(dialog, IDC_ASSIGN_KEYS) == BST_CHECKED) {
    LRESULT hotkey = SendDlgItemMessageA(dialog, IDC_ASSIGN_HOTKEY, HKM_GETHOTKEY, 0, 0);
    if (LOBYTE(LOWORD(hotkey)) == 0) {
      TextLoad(IDS_ASSIGN_PRESS_KEYS, why, whySize);
    } else {
      KeyLine(LOBYTE(LOWORD(hotkey)), HIBYTE(LOWORD(hotkey)), line, size, why, whySize);
    }
  } else if (IsDlgButtonChecked(dialog, IDC_ASSIGN_NAMED) == BST_CHECKED) {
    LRESULT item = SendDlgItemMessageA(dialog, IDC_ASSIGN_NAMES, CB_GETCURSEL, 0, 0);
    if (item == CB_ERR) {
      TextLoad(IDS_ASSIGN_CHOOSE_NAMED, why, whySize);
    } else {
      unsigned vk = unsigned(SendDlgItemMessageA(dialog, IDC_ASSIGN_NAMES, CB_GETITEMDATA, item, 0));
      KeyLine(vk, 0, line, size, why, whySize);
    }
  } else if (IsDlgButtonChecked(dialog, IDC_ASSIGN_CLOSE) == BST_CHECKED) {
    FormatText(line, size, "CLOSE");
  } else if (IsDlgButtonChecked(dialog, IDC_ASSIGN_START) == BST_CHECKED) {
    char path[MAX_PATH] = "";
    GetDlgItemTextA(dialog, IDC_ASSIGN_PATH, path, sizeof path);
    if (!path[0]) {
      TextLoad(IDS_ASSIGN_NAME_PROGRAM, why, whySize);
    } else {
      // The line is the command line the program is started with: a path with blanks is quoted.
      bool quote = strchr(path, ' ') && path[0] != '"';
      FormatText(line, size, quote ? "EXEC \"%s\"" : "EXEC %s", path);
    }
  } else {
    TextLoad(IDS_ASSIGN_CHOOSE_WHAT, why, whySize);
  }
}

// The value `key` has in `section` of the profile now, as a lookup reads it; empty when none.
void CurrentValue(const char* section, const char* key, char* out, size_t size) {
  if (ProfileReadString(gProfilePath, section, key, out, size - 1) < 0) out[0] = '\0';
}

// "When held": the policy chosen, by name; and whether the line is the button's long press.
const char* const kHoldNames[] = {"every", "once", "repeat"};
int ChosenHold(HWND dialog) {
  for (int i = 0; i < 3; i++)
    if (IsDlgButtonChecked(dialog, IDC_ASSIGN_HOLD_EVERY + i) == BST_CHECKED) return i;
  return -1;
}
bool ForLongPress(HWND dialog) {
  return IsDlgButtonChecked(dialog, IDC_ASSIGN_LONG) == BST_CHECKED;
}
// The press's entry name with `suffix`: "Key9"; a named button's "Key.NAME", or "Key.REMOTE.NAME"
// when "only this remote" is checked. Empty when the receiver's names cannot stand in an entry.
void ButtonKey(HWND dialog, const AssignState* state, const char* suffix, char* key) {
  const AssignPress* press = state->press;
  key[0] = '\0';
  if (!press->name[0]) {
    ProfileButtonKey(press->code, suffix, key);
    return;
  }
  bool onlyRemote = IsDlgButtonChecked(dialog, IDC_ASSIGN_ONLY_REMOTE) == BST_CHECKED;
  char keys[kProfileButtonKeys][kProfileKeySize];
  if (ProfileButtonKeys(-1, onlyRemote ? press->remote : "", press->name, suffix, keys) > 0)
    FormatText(key, kProfileKeySize, "%s", keys[0]);
}
// The entry the line goes into: "Key9", or "Key9.long" for a long press.
void EntryKey(HWND dialog, const AssignState* state, char* key, size_t size) {
  char name[kProfileKeySize];
  ButtonKey(dialog, state, ForLongPress(dialog) ? kProfileLongSuffix : "", name);
  FormatText(key, size, "%s", name);
}

// Presets "When held" from the "what" chosen: once for closing a window or starting a program,
// repeat for keys.
void PresetHold(HWND dialog, AssignState* state) {
  int what = IDC_ASSIGN_KEYS;
  while (what < IDC_ASSIGN_START && IsDlgButtonChecked(dialog, what) != BST_CHECKED) what++;
  if (what == state->what) return;
  state->what = what;
  bool once = what == IDC_ASSIGN_CLOSE || what == IDC_ASSIGN_START;
  CheckRadioButton(dialog, IDC_ASSIGN_HOLD_EVERY, IDC_ASSIGN_HOLD_REPEAT,
                   once ? IDC_ASSIGN_HOLD_ONCE : IDC_ASSIGN_HOLD_REPEAT);
}

// "Now in [...]": the button's entries there now (KeyN, KeyN.hold, KeyN.long), those it has, in
// that order; "nothing" when it has none.
void NowText(HWND dialog, const AssignState* state, const char* section, char* out, size_t size) {
  const char* const suffixes[] = {"", kProfileHoldSuffix, kProfileLongSuffix};
  char first[kProfileKeySize] = "", rest[kActionLineMax + 200] = "";
  size_t used = 0;
  for (const char* suffix : suffixes) {
    char key[kProfileKeySize], value[kActionLineMax + 1];
    ButtonKey(dialog, state, suffix, key);
    if (!key[0]) continue;
    CurrentValue(section, key, value, sizeof value);
    if (!value[0]) continue;
    int n = first[0] ? FormatText(rest + used, sizeof rest - used, "; %s=%s", key, value)
                     : FormatText(rest, sizeof rest, "%s", value);
    if (!first[0]) FormatText(first, sizeof first, "%s", key);
    if (n > 0) used = used + size_t(n) < sizeof rest ? used + size_t(n) : sizeof rest - 1;
  }
  if (first[0]) {
    TextFormat(out, size, IDS_ASSIGN_NOW, {section, first, rest});
  } else {
    TextFormat(out, size, IDS_ASSIGN_NOW_NOTHING, {section});
  }
}

void Refresh(HWND dialog, AssignState* state) {
  char key[kProfileKeySize], why[512], shown[kActionLineMax + 600];
  PresetHold(dialog, state);
  EntryKey(dialog, state, key, sizeof key);
  bool hold = !ForLongPress(dialog) && ChosenHold(dialog) >= 0;
  for (int id = IDC_ASSIGN_HOLD_EVERY; id <= IDC_ASSIGN_HOLD_REPEAT; id++)
    EnableWindow(GetDlgItem(dialog, id), !ForLongPress(dialog));
  const char* section = ChosenSection(dialog, state);
  BuildLine(dialog, state->line, sizeof state->line, why, sizeof why);
  bool window = IsDlgButtonChecked(dialog, IDC_ASSIGN_WINDOW) == BST_CHECKED;
  if (!key[0]) {  // a name the receiver gave that no entry can hold
    state->line[0] = 0;
    TextFormat(shown, sizeof shown, IDS_ASSIGN_NO_ENTRY_NAME, {state->press->name});
  } else if (window && !section[0]) {  // a title no section can serve
    state->line[0] = 0;
    TextLoad(IDS_ASSIGN_NO_PATTERN, shown, sizeof shown);
  } else if (state->line[0]) {
    int n = hold ? FormatText(shown, sizeof shown, "%s=%s\r\n%s%s=%s", key, state->line, key,
                              kProfileHoldSuffix, kHoldNames[ChosenHold(dialog)])
                 : FormatText(shown, sizeof shown, "%s=%s", key, state->line);
    if (window && state->windowForm == 2 && n > 0 && size_t(n) + 2 < sizeof shown) {
      FormatText(shown + n, sizeof shown - size_t(n), "\r\n");
      TextFormat(shown + n + 2, sizeof shown - size_t(n) - 2, IDS_ASSIGN_PATTERN, {section});
    }
  } else {
    FormatText(shown, sizeof shown, "%s", why);
  }
  SetDlgItemTextA(dialog, IDC_ASSIGN_PREVIEW, shown);
  SendDlgItemMessageA(dialog, IDC_ASSIGN_PREVIEW, EM_LINESCROLL, 0, -0x7FFF);  // from its first line
  char nowText[kActionLineMax + 400] = "";
  if (section[0]) NowText(dialog, state, section, nowText, sizeof nowText);
  SetDlgItemTextA(dialog, IDC_ASSIGN_NOW, nowText);
  EnableWindow(GetDlgItem(dialog, IDOK), state->line[0] != 0);
  EnableWindow(GetDlgItem(dialog, IDC_ASSIGN_NAMES),
               IsDlgButtonChecked(dialog, IDC_ASSIGN_NAMED) == BST_CHECKED);
}

// `text` as it fits the width of control id, cut with "..." when it does not.
void FitText(HWND dialog, int id, const char* text, char* out, size_t size) {
  FormatText(out, size, "%s", text);
  HWND item = GetDlgItem(dialog, id);
  RECT box;
  if (!item || !GetClientRect(item, &box)) return;
  HDC dc = GetDC(item);
  HGDIOBJ old = SelectObject(dc, HGDIOBJ(SendMessageA(item, WM_GETFONT, 0, 0)));
  SIZE extent;
  int room = box.right - GetSystemMetrics(SM_CXMENUCHECK) - 8;  // a radio button's own mark
  size_t length = strlen(out);
  while (length > 3 && GetTextExtentPoint32A(dc, out, int(length), &extent) && extent.cx > room) {
    length = size_t(CharPrevA(out, out + length - 3) - out);
    memcpy(out + length, "...", 4);
    length += 3;
  }
  SelectObject(dc, old);
  ReleaseDC(item, dc);
}

// A tip with the whole text over control id.
void AddTip(HWND tips, HWND dialog, int id, const char* text) {
  TOOLINFOA tool;
  ZeroMemory(&tool, sizeof tool);
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = dialog;
  tool.uId = UINT_PTR(GetDlgItem(dialog, id));
  tool.lpszText = const_cast<char*>(text);
  SendMessageA(tips, TTM_ADDTOOLA, 0, LPARAM(&tool));
}

// Hides control `row` and closes the gap it leaves: the controls below it move up by its row, and
// the dialog gets that much shorter.
void CloseRow(HWND dialog, HWND row) {
  RECT box, below;
  GetWindowRect(row, &box);
  GetWindowRect(GetDlgItem(dialog, IDC_ASSIGN_TITLE), &below);
  int shift = below.top - box.top;
  ShowWindow(row, SW_HIDE);
  if (shift <= 0) return;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    RECT r;
    GetWindowRect(child, &r);
    if (r.top < below.top) continue;
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    SetWindowPos(child, nullptr, r.left, r.top - shift, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  RECT frame;
  GetWindowRect(dialog, &frame);
  SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top - shift,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void OnInit(HWND dialog, AssignState* state) {
  const AssignPress* press = state->press;
  char text[MAX_PATH + 64], none[64];
  ActivityEvent button;  // the button named as the Activity window names it
  ZeroMemory(&button, sizeof button);
  button.code = press->code;
  button.source = press->source;
  ActivityCopyField(button.remote, sizeof button.remote, press->remote);
  ActivityCopyField(button.name, sizeof button.name, press->name);
  ActivityButtonText(&button, text, sizeof text);
  SetDlgItemTextA(dialog, IDC_ASSIGN_KEY, text);
  // "Only this &remote (%s)": a named button of a remote whose name an entry can hold; hidden for the
  // others. Unchecked, the entry serves the button of that name on every remote.
  HWND only = GetDlgItem(dialog, IDC_ASSIGN_ONLY_REMOTE);
  bool remoteOk =
      press->name[0] && press->remote[0] && ProfileButtonNameOk(press->remote, strlen(press->remote));
  if (only && !press->name[0]) {
    CloseRow(dialog, only);
  } else if (only) {
    EnableWindow(only, remoteOk);
    char format[128] = "";
    GetWindowTextA(only, format, sizeof format);
    const char* at = strstr(format, "%s");
    if (at && !strstr(at + 2, "%")) {
      FormatText(text, sizeof text, "%.*s%s%s", int(at - format), format, press->remote, at + 2);
      SetWindowTextA(only, text);
    }
  }
  TextLoad(IDS_ASSIGN_NO_TITLE, none, sizeof none);
  SetDlgItemTextA(dialog, IDC_ASSIGN_TITLE, press->title[0] ? press->title : none);
  TextLoad(IDS_ASSIGN_NO_PROGRAM, none, sizeof none);
  SetDlgItemTextA(dialog, IDC_ASSIGN_PROGRAM, press->program[0] ? press->program : none);
  // "This &program (%s)" from the template, with the program's name (cut to fit).
  char format[128] = "";
  GetDlgItemTextA(dialog, IDC_ASSIGN_APP, format, sizeof format);
  const char* at = strstr(format, "%s");
  if (at && !strstr(at + 2, "%")) {
    FormatText(text, sizeof text, "%.*s%s%s", int(at - format), format, press->program, at + 2);
    char fitted[sizeof text];
    FitText(dialog, IDC_ASSIGN_APP, text, fitted, sizeof fitted);
    SetDlgItemTextA(dialog, IDC_ASSIGN_APP, fitted);
  }
  // Names cut by the dialog's width show whole as a tip.
  state->tips =
      CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, 0, 0,
                      0, 0, dialog, nullptr, nullptr, nullptr);
  if (state->tips) {
    SendMessageA(state->tips, TTM_SETMAXTIPWIDTH, 0, 600);
    if (press->title[0]) AddTip(state->tips, dialog, IDC_ASSIGN_TITLE, press->title);
    if (press->program[0]) AddTip(state->tips, dialog, IDC_ASSIGN_PROGRAM, press->program);
    if (press->program[0]) AddTip(state->tips, dialog, IDC_ASSIGN_APP, press->program);
  }
  state->windowForm = TitleSectionName(press->title, state->windowSection, sizeof state->windowSection);
  EnableWindow(GetDlgItem(dialog, IDC_ASSIGN_WINDOW), press->title[0] != 0);
  EnableWindow(GetDlgItem(dialog, IDC_ASSIGN_APP), press->program[0] != 0);
  // The narrowest choice that is known: the program, else the window, else every program.
  int where = press->program[0] ? IDC_ASSIGN_APP : press->title[0] ? IDC_ASSIGN_WINDOW : IDC_ASSIGN_EVERY;
  CheckDlgButton(dialog, where, BST_CHECKED);
  CheckDlgButton(dialog, IDC_ASSIGN_KEYS, BST_CHECKED);
  char token[8], name[96];
  // Keys offered by name (kKeyWords without the modifiers): those keyboards often lack, and those
  // the Keys box is awkward for. Only those the key table can write are listed.
  for (size_t i = 0; i + kKeyWordModifiers < kKeyWordCount; i++) {
    const KeyWordRow& named = kKeyWords[i];
    if (KeyLineToken(named.vk, token, sizeof token) < 0) continue;
    TextLoad(named.id, name, sizeof name);
    FormatText(text, sizeof text, "%s (%s)", name, token);
    LRESULT item = SendDlgItemMessageA(dialog, IDC_ASSIGN_NAMES, CB_ADDSTRING, 0, (LPARAM)text);
    SendDlgItemMessageA(dialog, IDC_ASSIGN_NAMES, CB_SETITEMDATA, item, named.vk);
  }
  SendDlgItemMessageA(dialog, IDC_ASSIGN_NAMES, CB_SETCURSEL, 0, 0);
  keysDialog = dialog;
  keysFilter = SetWindowsHookExA(WH_MSGFILTER, KeysFilter, nullptr, GetCurrentThreadId());
  ProcessToolAdd(dialog);
  Refresh(dialog, state);
}

void OnBrowse(HWND dialog) {
  char path[MAX_PATH] = "";
  GetDlgItemTextA(dialog, IDC_ASSIGN_PATH, path, sizeof path);
  // "Programs (*.exe)|*.exe|...|": the parts end in "|", which the box wants as zeros.
  char filter[256] = "";
  TextLoad(IDS_ASSIGN_FILTER, filter, sizeof filter - 1);
  for (char* c = filter; *c; c++) {
    if (*c == '|') *c = 0;
  }
  OPENFILENAMEA open = {};
  open.lStructSize = sizeof open;
  open.hwndOwner = dialog;
  open.lpstrFilter = filter;
  open.lpstrFile = path;
  open.nMaxFile = sizeof path;
  open.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  if (!GetOpenFileNameA(&open)) return;
  SetDlgItemTextA(dialog, IDC_ASSIGN_PATH, path);
  CheckRadioButton(dialog, IDC_ASSIGN_KEYS, IDC_ASSIGN_START, IDC_ASSIGN_START);
}

// Writes the line; true when the dialog may close.
bool OnOk(HWND dialog, AssignState* state) {
  Refresh(dialog, state);
  if (!state->line[0]) return false;
  char key[kProfileKeySize], now[kActionLineMax + 1], text[2 * kActionLineMax + 600], caption[128];
  EntryKey(dialog, state, key, sizeof key);
  const char* section = ChosenSection(dialog, state);
  CurrentValue(section, key, now, sizeof now);
  if (now[0] && strcmp(now, state->line) != 0) {
    TextFormat(text, sizeof text, IDS_ASSIGN_REPLACE, {key, section, now, state->line});
    TextLoad(IDS_ASSIGN_CAPTION, caption, sizeof caption);
    if (MessageBoxA(dialog, text, caption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES) return false;
  }
  unsigned long error;
  // The line, and what the button does while held beside it (a long press runs once anyway): one
  // save, so that both land or neither, and the backup keeps the profile as it was before.
  char holdKey[kProfileKeySize + 8];
  FormatText(holdKey, sizeof holdKey, "%s%s", key, kProfileHoldSuffix);
  int hold = ChosenHold(dialog);
  const ProfileSetting entries[] = {{key, state->line}, {holdKey, hold >= 0 ? kHoldNames[hold] : nullptr}};
  size_t count = !ForLongPress(dialog) && hold >= 0 ? 2 : 1;
  int result = ProfileSaveEntries(section, entries, count, &error);
  if (result < 0) {
    char why[1024];
    SaveReasonText(why, sizeof why, result, error, gProfilePath);
    SaveShowFailure(dialog, IDS_SAVE_LINE, gProfilePath, why);
    return false;
  }
  KeyHookRecheck();  // a first save may have moved the profile to the user's own folder
  return true;
}

// Whether the held button dispatch tells of (kMsgAssignHeld's wParam) is the one being taught.
bool HeldIsThePress(WPARAM which, const AssignPress* press) {
  if (!press->name[0]) return which < kDispatchHeldNamed && int(which) == press->code;
  PressButton held;
  if (which < kDispatchHeldNamed || DispatchHeldButton(which, &held) != 1) return false;
  return held.source == press->source && lstrcmpiA(held.remote, press->remote) == 0 &&
         lstrcmpiA(held.name, press->name) == 0;
}

INT_PTR CALLBACK AssignDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  AssignState* state = reinterpret_cast<AssignState*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (message == WM_INITDIALOG) {
    state = reinterpret_cast<AssignState*>(lParam);
    SetWindowLongPtrA(dialog, DWLP_USER, LONG_PTR(state));
    OnInit(dialog, state);
    DispatchWatchHeld(dialog, kMsgAssignHeld);
    return TRUE;
  }
  // The button held past the long-press time while the dialog is open: it is taught a long press.
  if (message == kMsgAssignHeld) {
    if (state && HeldIsThePress(wParam, state->press) &&
        IsWindowEnabled(GetDlgItem(dialog, IDC_ASSIGN_LONG))) {
      CheckDlgButton(dialog, IDC_ASSIGN_LONG, BST_CHECKED);
      Refresh(dialog, state);
    }
    return TRUE;
  }
  if (message == WM_DESTROY) {
    DispatchWatchHeld(nullptr, 0);
    if (keysFilter) UnhookWindowsHookEx(keysFilter);
    keysFilter = nullptr;
    keysDialog = nullptr;
    ProcessToolRemove(dialog);
    if (state && state->tips) DestroyWindow(state->tips);
    return FALSE;
  }
  if (message != WM_COMMAND || !state) return FALSE;
  int id = LOWORD(wParam), code = HIWORD(wParam);
  switch (id) {
    case IDOK:
      if (OnOk(dialog, state)) EndDialog(dialog, IDOK);
      return TRUE;
    case IDCANCEL:
      EndDialog(dialog, IDCANCEL);
      return TRUE;
    case IDC_ASSIGN_BROWSE:
      OnBrowse(dialog);
      break;
    case IDC_ASSIGN_HOTKEY:  // EN_CHANGE: a shortcut was pressed in the box
      if (code != EN_CHANGE) return FALSE;
      CheckRadioButton(dialog, IDC_ASSIGN_KEYS, IDC_ASSIGN_START, IDC_ASSIGN_KEYS);
      break;
    case IDC_ASSIGN_NAMES:
      if (code != CBN_SELCHANGE) return FALSE;
      break;
    case IDC_ASSIGN_PATH:
      if (code != EN_CHANGE) return FALSE;
      if (GetWindowTextLengthA(GetDlgItem(dialog, IDC_ASSIGN_PATH)) > 0)
        CheckRadioButton(dialog, IDC_ASSIGN_KEYS, IDC_ASSIGN_START, IDC_ASSIGN_START);
      break;
    default:
      if ((id < IDC_ASSIGN_WINDOW || id > IDC_ASSIGN_START) &&
          (id < IDC_ASSIGN_HOLD_EVERY || id > IDC_ASSIGN_LONG) && id != IDC_ASSIGN_ONLY_REMOTE)
        return FALSE;
  }
  Refresh(dialog, state);
  return TRUE;
}

}  // namespace

int AssignDialogRun(HMODULE language, HWND owner, const AssignPress* press) {
  if (!language || !FindResourceA(language, MAKEINTRESOURCEA(IDD_ASSIGN), MAKEINTRESOURCEA(5))) return -1;
  AssignState state = {};
  state.press = press;
  // The window the user was in: the one in front now, else the one the last press was meant for.
  ProcessFrontNote(ProcessFrontRemember());
  INT_PTR result =
      DialogBoxParamA(language, MAKEINTRESOURCEA(IDD_ASSIGN), owner, AssignDialogProc, LPARAM(&state));
  // Closed, the dialog leaves its owner (the hidden main window, or the Activity window) in front:
  // the next press is meant for the user's window, and goes there.
  ProcessFrontGiveBack(ProcessFrontNoted());
  return result == IDOK ? 1 : 0;
}
