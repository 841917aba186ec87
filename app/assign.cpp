// The Assign dialog. The user picks where the line goes (the section named after the window's
// exact title, the program's section, or [default]) and what it does: keys captured with the
// standard hotkey control, a named key that keyboards often lack, CLOSE, or EXEC of a program. The
// dialog shows the exact line it will write, and the line the button has there now. OK writes it
// into gProfilePath in the file's own encoding; an existing line is replaced only after the user
// agrees, and a write that fails is told (which file, why) with the dialog left open.
#include "app/assign.h"

#include <commctrl.h>
#include <commdlg.h>
#include <stdio.h>
#include <stdlib.h>

#include "actions/keygroups.h"
#include "actions/keyline.h"
#include "actions/profile.h"
#include "actions/profiletext.h"
#include "common/process.h"
#include "resources/resource_ids.h"
#include "setup/savetext.h"

namespace {

// Keys that keyboards often lack, offered by name; only those the key table can write are listed.
const struct {
  unsigned vk;
  const char* name;
} kNamedKeys[] = {
    {0xAF, "Volume up"},      {0xAE, "Volume down"},  {0xAD, "Mute"},
    {0xB3, "Play/Pause"},     {0xB2, "Stop"},         {0xB0, "Next track"},
    {0xB1, "Previous track"}, {0xA6, "Browser back"}, {0xA7, "Browser forward"},
    {0x5B, "Windows key"},    {0x5D, "Menu key"},
};

struct AssignState {
  const AssignPress* press;
  int what;                       // the "what" choice the "when held" choice was last preset for
  char line[kActionLineMax + 1];  // the value to be written; empty when there is none
};

const char kCaption[] = "Halvesta Remote Control - Assign";

// The section the chosen "where" names.
const char* ChosenSection(HWND dialog, const AssignPress* press) {
  if (IsDlgButtonChecked(dialog, IDC_ASSIGN_WINDOW) == BST_CHECKED) return press->title;
  if (IsDlgButtonChecked(dialog, IDC_ASSIGN_APP) == BST_CHECKED) return press->program;
  return "default";
}

// The value the chosen "what" gives, into line (empty with the reason in why when there is none).
void BuildLine(HWND dialog, char* line, size_t size, char* why, size_t whySize) {
  line[0] = 0;
  why[0] = 0;
  if (IsDlgButtonChecked(dialog, IDC_ASSIGN_KEYS) == BST_CHECKED) {
    LRESULT hotkey = SendDlgItemMessageA(dialog, IDC_ASSIGN_HOTKEY, HKM_GETHOTKEY, 0, 0);
    if (LOBYTE(LOWORD(hotkey)) == 0) {
      snprintf(why, whySize, "Click the box and press the keys.");
    } else {
      KeyLineFromHotkey(LOBYTE(LOWORD(hotkey)), HIBYTE(LOWORD(hotkey)), line, size, why, whySize);
    }
  } else if (IsDlgButtonChecked(dialog, IDC_ASSIGN_NAMED) == BST_CHECKED) {
    LRESULT item = SendDlgItemMessageA(dialog, IDC_ASSIGN_NAMES, CB_GETCURSEL, 0, 0);
    if (item == CB_ERR) {
      snprintf(why, whySize, "Choose a key from the list.");
    } else {
      unsigned vk = unsigned(SendDlgItemMessageA(dialog, IDC_ASSIGN_NAMES, CB_GETITEMDATA, item, 0));
      KeyLineFromHotkey(vk, 0, line, size, why, whySize);
    }
  } else if (IsDlgButtonChecked(dialog, IDC_ASSIGN_CLOSE) == BST_CHECKED) {
    snprintf(line, size, "CLOSE");
  } else if (IsDlgButtonChecked(dialog, IDC_ASSIGN_START) == BST_CHECKED) {
    char path[MAX_PATH] = "";
    GetDlgItemTextA(dialog, IDC_ASSIGN_PATH, path, sizeof path);
    if (!path[0]) {
      snprintf(why, whySize, "Name the program, or Browse for it.");
    } else {
      // The line is the command line the program is started with: a path with blanks is quoted.
      bool quote = strchr(path, ' ') && path[0] != '"';
      snprintf(line, size, quote ? "EXEC \"%s\"" : "EXEC %s", path);
    }
  } else {
    snprintf(why, whySize, "Choose what the button does.");
  }
}

// The value `key` has in `section` of the profile now, as a lookup reads it; empty when none.
void CurrentValue(const char* section, const char* key, char* out, size_t size) {
  out[0] = 0;
  size_t length = 0;
  char* text = ProfileReadText(gProfilePath, &length, nullptr);
  if (!text) return;
  ProfileTextReader reader;
  ProfileTextOpen(&reader, text, length);
  ProfileLine line;
  ProfileSpan wantSection = {section, strlen(section)}, wantKey = {key, strlen(key)};
  bool inSection = false, seenSection = false;
  while (ProfileTextNext(&reader, &line)) {
    if (line.kind == kProfileLineSection) {
      if (seenSection && inSection) break;  // only the first section of that name counts
      inSection = ProfileSameName(line.name, wantSection);
      seenSection = seenSection || inSection;
    } else if (inSection && line.kind == kProfileLineEntry && ProfileSameName(line.name, wantKey)) {
      ProfileSpan value = ProfileUnquote(line.value);
      snprintf(out, size, "%.*s", int(value.length), value.text);
      break;
    }
  }
  free(text);
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
// The entry the line goes into: "Key9", or "Key9.long" for a long press.
void EntryKey(HWND dialog, const AssignState* state, char* key, size_t size) {
  snprintf(key, size, "Key%d%s", state->press->code, ForLongPress(dialog) ? ".long" : "");
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

void Refresh(HWND dialog, AssignState* state) {
  char key[24], why[256], now[kActionLineMax + 64], shown[kActionLineMax + 64];
  PresetHold(dialog, state);
  EntryKey(dialog, state, key, sizeof key);
  bool hold = !ForLongPress(dialog) && ChosenHold(dialog) >= 0;
  for (int id = IDC_ASSIGN_HOLD_EVERY; id <= IDC_ASSIGN_HOLD_REPEAT; id++)
    EnableWindow(GetDlgItem(dialog, id), !ForLongPress(dialog));
  const char* section = ChosenSection(dialog, state->press);
  BuildLine(dialog, state->line, sizeof state->line, why, sizeof why);
  if (state->line[0] && hold) {
    snprintf(shown, sizeof shown, "%s=%s\r\n%s.hold=%s", key, state->line, key,
             kHoldNames[ChosenHold(dialog)]);
  } else if (state->line[0]) {
    snprintf(shown, sizeof shown, "%s=%s", key, state->line);
  } else {
    snprintf(shown, sizeof shown, "%s", why);
  }
  SetDlgItemTextA(dialog, IDC_ASSIGN_PREVIEW, shown);
  CurrentValue(section, key, now, sizeof now);
  char nowText[kActionLineMax + 400];
  if (now[0]) {
    snprintf(nowText, sizeof nowText, "Now in [%s]: %s=%s", section, key, now);
  } else {
    snprintf(nowText, sizeof nowText, "Now in [%s]: nothing", section);
  }
  SetDlgItemTextA(dialog, IDC_ASSIGN_NOW, nowText);
  EnableWindow(GetDlgItem(dialog, IDOK), state->line[0] != 0);
  EnableWindow(GetDlgItem(dialog, IDC_ASSIGN_NAMES),
               IsDlgButtonChecked(dialog, IDC_ASSIGN_NAMED) == BST_CHECKED);
}

void OnInit(HWND dialog, AssignState* state) {
  const AssignPress* press = state->press;
  char text[MAX_PATH + 64];
  snprintf(text, sizeof text, "Key%d", press->code);
  SetDlgItemTextA(dialog, IDC_ASSIGN_KEY, text);
  SetDlgItemTextA(dialog, IDC_ASSIGN_TITLE, press->title[0] ? press->title : "(no title)");
  SetDlgItemTextA(dialog, IDC_ASSIGN_PROGRAM, press->program[0] ? press->program : "(unknown)");
  // "This &program (%s)" from the template, with the program's name.
  char format[128] = "";
  GetDlgItemTextA(dialog, IDC_ASSIGN_APP, format, sizeof format);
  const char* at = strstr(format, "%s");
  if (at && !strstr(at + 2, "%")) {
    snprintf(text, sizeof text, "%.*s%s%s", int(at - format), format, press->program, at + 2);
    SetDlgItemTextA(dialog, IDC_ASSIGN_APP, text);
  }
  EnableWindow(GetDlgItem(dialog, IDC_ASSIGN_WINDOW), press->title[0] != 0);
  EnableWindow(GetDlgItem(dialog, IDC_ASSIGN_APP), press->program[0] != 0);
  CheckDlgButton(dialog, IDC_ASSIGN_EVERY, BST_CHECKED);
  CheckDlgButton(dialog, IDC_ASSIGN_KEYS, BST_CHECKED);
  char token[8];
  for (const auto& named : kNamedKeys) {
    if (KeyLineToken(named.vk, token, sizeof token) < 0) continue;
    snprintf(text, sizeof text, "%s (%s)", named.name, token);
    LRESULT item = SendDlgItemMessageA(dialog, IDC_ASSIGN_NAMES, CB_ADDSTRING, 0, (LPARAM)text);
    SendDlgItemMessageA(dialog, IDC_ASSIGN_NAMES, CB_SETITEMDATA, item, named.vk);
  }
  SendDlgItemMessageA(dialog, IDC_ASSIGN_NAMES, CB_SETCURSEL, 0, 0);
  Refresh(dialog, state);
}

void OnBrowse(HWND dialog) {
  char path[MAX_PATH] = "";
  GetDlgItemTextA(dialog, IDC_ASSIGN_PATH, path, sizeof path);
  OPENFILENAMEA open = {};
  open.lStructSize = sizeof open;
  open.hwndOwner = dialog;
  open.lpstrFilter = "Programs (*.exe)\0*.exe\0All files (*.*)\0*.*\0";
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
  char key[24], now[kActionLineMax + 1], text[2 * kActionLineMax + 600];
  EntryKey(dialog, state, key, sizeof key);
  const char* section = ChosenSection(dialog, state->press);
  CurrentValue(section, key, now, sizeof now);
  if (now[0] && strcmp(now, state->line) != 0) {
    snprintf(text, sizeof text, "%s in [%s] now reads:\n%s\n\nReplace it with\n%s ?", key, section, now,
             state->line);
    if (MessageBoxA(dialog, text, kCaption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
      return false;
  }
  unsigned long error;
  int result = ProfileWriteString(gProfilePath, section, key, state->line, &error);
  // What the button does while held, beside the line (a long press runs once anyway).
  char holdKey[32];
  snprintf(holdKey, sizeof holdKey, "%s.hold", key);
  int hold = ChosenHold(dialog);
  if (result >= 0 && !ForLongPress(dialog) && hold >= 0)
    result = ProfileWriteString(gProfilePath, section, holdKey, kHoldNames[hold], &error);
  if (result < 0) {
    char why[1024];
    SaveReasonText(why, sizeof why, result, error, gProfilePath);
    SaveShowFailure(dialog, IDS_SAVE_LINE, gProfilePath, why);
    return false;
  }
  return true;
}

INT_PTR CALLBACK AssignDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  AssignState* state = reinterpret_cast<AssignState*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (message == WM_INITDIALOG) {
    state = reinterpret_cast<AssignState*>(lParam);
    SetWindowLongPtrA(dialog, DWLP_USER, LONG_PTR(state));
    OnInit(dialog, state);
    return TRUE;
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
          (id < IDC_ASSIGN_HOLD_EVERY || id > IDC_ASSIGN_LONG))
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
  INT_PTR result =
      DialogBoxParamA(language, MAKEINTRESOURCEA(IDD_ASSIGN), owner, AssignDialogProc, LPARAM(&state));
  return result == IDOK ? 1 : 0;
}
