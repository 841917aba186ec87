// The text-fit check of the language modules, run by the tests: opens every dialog of every module
// (hidden, as the module holds it), gives each text control the texts it shows (its own, and the
// longest the program writes into it: the table below) and measures each in the control's own font,
// wrapped at its width as the control wraps it. A text larger than its control is one fault line
// naming the module, the dialog, the control and the text; the exit code is their number.
// Static texts that end in an ellipsis (a window title, a program's file) are cut by design and not
// measured; check boxes and radio buttons are measured beside their box.
//   textfit [MODULE ...]   the modules named (file names beside this program), else every REMOT*.DLL
//   textfit --self-test    tightmodule.dll must fail with exactly the texts built into it too large
#include <stdio.h>
#include <string.h>
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/modules_beside.h"

namespace {

// One part of a text the program writes into a control: a string of the module with its
// placeholders filled (the longest values they take), or a text of the program's own (id 0).
struct Part {
  int id;
  const char* args[4];
};

// The texts the program writes into a dialog's controls at run time, the longest of each kind.
// Parts are joined with a space, as the program joins them.
const struct RunText {
  int dialog;
  int first, last;  // the controls (a range: the status texts of COM1..COM4)
  Part parts[2];
} kRunTexts[] = {
    {IDD_SETUP, IDC_STATUS1, IDC_STATUS4, {{IDS_SETUP_TESTING, {}}}},
    {IDD_SETUP, IDC_STATUS1, IDC_STATUS4, {{IDS_SETUP_NOT_THERE, {}}}},
    {IDD_SETUP, IDC_STATUS_OTHER, IDC_STATUS_OTHER, {{IDS_SETUP_TESTING, {}}}},
    {IDD_SETUP, IDC_STATUS_OTHER, IDC_STATUS_OTHER, {{IDS_SETUP_NOT_THERE, {}}}},
    {IDD_SETUP, IDC_DETECT_RESULT, IDC_DETECT_RESULT, {{IDS_SETUP_NO_RECEIVER, {}}}},
    {IDD_SETUP, IDC_DETECT_RESULT, IDC_DETECT_RESULT, {{IDS_LIRC_IN_USE, {"raspberrypi.local:8765"}}}},
    {IDD_SETUP,
     IDC_LIRC_RESULT,
     IDC_LIRC_RESULT,
     {{IDS_LIRC_FOUND + 1,
       {"raspberrypi.local:8765", "0.10.1", "3", "DEMO, Samsung_BN59-01199F, Hauppauge"}}}},
    {IDD_SETUP,
     IDC_LIRC_RESULT,
     IDC_LIRC_RESULT,
     {{IDS_LIRC_FOUND_NONE, {"raspberrypi.local:8765", "0.10.1"}}}},
    {IDD_SETUP, IDC_LIRC_RESULT, IDC_LIRC_RESULT, {{IDS_LIRC_NO_SERVER, {"raspberrypi.local:8765"}}}},
    {IDD_SETUP, IDC_LIRC_RESULT, IDC_LIRC_RESULT, {{IDS_LIRC_NO_ANSWER, {"raspberrypi.local:8765"}}}},
    {IDD_SETUP, IDC_LIRC_RESULT, IDC_LIRC_RESULT, {{IDS_LIRC_BAD_ADDRESS, {"raspberrypi.local:87650"}}}},
    {IDD_SETUP, IDC_AUTOSTART, IDC_AUTOSTART, {{IDS_AUTOSTART_TASK, {}}}},
    {IDD_SETUP, IDC_PROFILE_KIND, IDC_PROFILE_KIND, {{IDS_PROFILE_OWN, {}}}},
    {IDD_SETUP, IDC_PROFILE_KIND, IDC_PROFILE_KIND, {{IDS_PROFILE_SHARED, {}}}},
    {IDD_TEST, IDC_KEYNAME, IDC_KEYNAME, {{0, {"Key127"}}}},
    {IDD_TEST, IDC_KEYNAME, IDC_KEYNAME, {{IDS_TEST_NAMED, {"KEY_VOLUMEDOWN", "Samsung_TV"}}}},
    {IDD_TEST,
     IDC_TEST_PACE,
     IDC_TEST_PACE,
     {{IDS_HOLD_PACE, {"99", "1000", "5000"}}, {IDS_HOLD_PACE_SHORT, {"5000", "5000"}}}},
    {IDD_TEST,
     IDC_TEST_PACE,
     IDC_TEST_PACE,
     {{IDS_HOLD_PACE, {"99", "1000", "5000"}}, {IDS_HOLD_PACE_FITS, {"5000"}}}},
    {IDD_TEST, IDC_TEST_PACE, IDC_TEST_PACE, {{IDS_HOLD_RELEASE_SET, {"5000"}}}},
    {IDD_ASSIGN, IDC_ASSIGN_KEY, IDC_ASSIGN_KEY, {{0, {"Key127"}}}},
    {IDD_ASSIGN, IDC_ASSIGN_KEY, IDC_ASSIGN_KEY, {{IDS_BUTTON_NAMED + 1, {"KEY_VOLUMEUP", "philips"}}}},
    {IDD_ASSIGN, IDC_ASSIGN_KEY, IDC_ASSIGN_KEY, {{IDS_BUTTON_NAMED + 2, {"BROWSER_SEARCH", "keyboard"}}}},
    {IDD_ASSIGN, IDC_ASSIGN_KEY, IDC_ASSIGN_KEY, {{IDS_BUTTON_NAMED + 3, {"RECORDEDTV", "mce"}}}},
};

// The program fills a dialog text's %s (the Assign dialog's "This program (%s)").
const char kProgramSample[] = "notepad++.exe";

std::string Fill(const std::string& text, const char* const* args, const char* percentS) {
  std::string out;
  for (size_t i = 0; i < text.size(); i++) {
    char next = i + 1 < text.size() ? text[i + 1] : 0;
    if (text[i] == '%' && next >= '1' && next <= '4' && args && args[next - '1']) {
      out += args[next - '1'];
      i++;
    } else if (text[i] == '%' && next == 's' && percentS) {
      out += percentS;
      i++;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string PartText(HMODULE module, const Part& part) {
  if (part.id == 0) return part.args[0];
  char text[1024];
  if (LoadStringA(module, UINT(part.id), text, sizeof text) <= 0) return "";
  return Fill(text, part.args, nullptr);
}

BOOL CALLBACK AddName(HMODULE, LPCSTR, LPSTR name, LONG_PTR names) {
  if (IS_INTRESOURCE(name)) reinterpret_cast<std::vector<int>*>(names)->push_back(int(ULONG_PTR(name)));
  return TRUE;
}

INT_PTR CALLBACK Quiet(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG;
}

enum Kind { kNotMeasured, kStaticWrapped, kStaticLine, kBoxLine, kBoxWrapped };

Kind KindOf(HWND control) {
  char name[32];
  GetClassNameA(control, name, sizeof name);
  LONG style = GetWindowLongA(control, GWL_STYLE);
  if (_stricmp(name, "Static") == 0) {
    if (style & SS_ELLIPSISMASK) return kNotMeasured;
    switch (style & SS_TYPEMASK) {
      case SS_LEFT:
      case SS_CENTER:
      case SS_RIGHT:
        return kStaticWrapped;
      case SS_LEFTNOWORDWRAP:
      case SS_SIMPLE:
        return kStaticLine;
      default:
        return kNotMeasured;  // frames, rectangles, icons
    }
  }
  if (_stricmp(name, "Button") == 0) {
    switch (style & BS_TYPEMASK) {
      case BS_CHECKBOX:
      case BS_AUTOCHECKBOX:
      case BS_3STATE:
      case BS_AUTO3STATE:
      case BS_RADIOBUTTON:
      case BS_AUTORADIOBUTTON:
        return (style & BS_MULTILINE) ? kBoxWrapped : kBoxLine;
      default:
        return kNotMeasured;  // push buttons and group boxes
    }
  }
  return kNotMeasured;
}

std::string Short(const std::string& text) {
  return "\"" + (text.size() > 48 ? text.substr(0, 45) + "..." : text) + "\"";
}

// Measures one text in the control; a fault line when it does not fit.
void Measure(const char* name, int dialog, HWND control, Kind kind, const std::string& text,
             std::vector<std::string>* faults) {
  if (text.empty()) return;
  RECT client;
  GetClientRect(control, &client);
  int width = client.right, height = client.bottom;
  if (kind == kBoxLine || kind == kBoxWrapped) width -= GetSystemMetrics(SM_CXMENUCHECK) + 4;  // the box
  HDC dc = GetDC(control);
  HGDIOBJ font = SelectObject(dc, HGDIOBJ(SendMessageA(control, WM_GETFONT, 0, 0)));
  UINT format = DT_CALCRECT | DT_EXPANDTABS;
  format |= (kind == kStaticWrapped || kind == kBoxWrapped) ? DT_WORDBREAK : DT_SINGLELINE;
  if (GetWindowLongA(control, GWL_STYLE) & SS_NOPREFIX && (kind == kStaticWrapped || kind == kStaticLine))
    format |= DT_NOPREFIX;
  RECT need = {0, 0, width, 0};
  DrawTextA(dc, text.c_str(), -1, &need, format);
  SelectObject(dc, font);
  ReleaseDC(control, dc);
  if (need.right <= width && need.bottom <= height) return;
  char line[512];
  snprintf(line, sizeof line, "%s: dialog %d control %d %s needs %d x %d pixels, has %d x %d", name, dialog,
           GetDlgCtrlID(control), Short(text).c_str(), int(need.right), int(need.bottom), width, height);
  faults->push_back(line);
}

void CheckDialog(const char* name, HMODULE module, int dialog, std::vector<std::string>* faults) {
  HWND window = CreateDialogParamA(module, MAKEINTRESOURCEA(dialog), nullptr, Quiet, 0);
  if (!window) {
    faults->push_back(std::string(name) + ": dialog " + std::to_string(dialog) + " does not open");
    return;
  }
  for (HWND control = GetWindow(window, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
    Kind kind = KindOf(control);
    if (kind == kNotMeasured) continue;
    int id = GetDlgCtrlID(control);
    char own[1024];
    GetWindowTextA(control, own, sizeof own);
    Measure(name, dialog, control, kind, Fill(own, nullptr, kProgramSample), faults);
    for (const RunText& run : kRunTexts) {
      if (run.dialog != dialog || id < run.first || id > run.last) continue;
      std::string text;
      for (const Part& part : run.parts) {
        if (part.id == 0 && !part.args[0]) continue;
        text += (text.empty() ? "" : " ") + PartText(module, part);
      }
      Measure(name, dialog, control, kind, text, faults);
    }
  }
  DestroyWindow(window);
}

std::string Folder() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, n);
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

// The texts of tightmodule.rc that do not fit, each fault up to its measurements.
const char* const kTightFaults[] = {
    "tightmodule.dll: dialog 104 control 1032 \"No receiver answered. Some adapters never do:...\"",
    "tightmodule.dll: dialog 900 control 1 \"A text of some length that needs two lines at...\"",
    "tightmodule.dll: dialog 900 control 3 \"A check box whose text is longer than its room\"",
};

}  // namespace

int main(int argc, char** argv) {
  INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&classes);
  std::string folder = Folder();
  if (argc == 2 && strcmp(argv[1], "--self-test") == 0) {
    HMODULE module = LoadLibraryA((folder + "tightmodule.dll").c_str());
    std::vector<int> ids;
    if (module) EnumResourceNamesA(module, MAKEINTRESOURCEA(5), AddName, LONG_PTR(&ids));
    std::vector<std::string> faults, found;
    for (int dialog : ids) CheckDialog("tightmodule.dll", module, dialog, &faults);
    for (const std::string& f : faults) {
      printf("%s\n", f.c_str());
      found.push_back(f.substr(0, f.rfind(" needs ")));
    }
    if (found == std::vector<std::string>(std::begin(kTightFaults), std::end(kTightFaults))) return 0;
    printf("expected instead:\n");
    for (const char* f : kTightFaults) printf("%s\n", f);
    return 1;
  }
  std::vector<std::string> names = ModulesToCheck(folder, argc, argv);
  std::vector<std::string> faults;
  int dialogs = 0;
  for (const std::string& name : names) {
    HMODULE module = LoadLibraryA((folder + name).c_str());
    if (!module) {
      faults.push_back(name + ": does not load");
      continue;
    }
    std::vector<int> ids;
    EnumResourceNamesA(module, MAKEINTRESOURCEA(5), AddName, LONG_PTR(&ids));  // RT_DIALOG
    for (int dialog : ids) CheckDialog(name.c_str(), module, dialog, &faults);
    dialogs += int(ids.size());
    FreeLibrary(module);
  }
  for (const std::string& f : faults) printf("%s\n", f.c_str());
  printf("%d dialogs of %d modules measured: %d texts do not fit\n", dialogs, int(names.size()),
         int(faults.size()));
  return int(faults.size());
}
