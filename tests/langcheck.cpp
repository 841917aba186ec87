// The completeness check of the language modules, run by the tests: every string and every dialog
// (with the same control ids) of the English module REMOT001.DLL is in each other REMOT*.DLL beside
// this program, and nothing else is; every string keeps the English one's placeholders (%1 .. %9;
// a dialog text its %s); and no text, the English ones included, is longer than the program's
// buffer for it. Each fault is one line naming the module and the id; the exit code is their number.
//   langcheck [MODULE ...]        the modules named (file names beside this program), else every
//                                 REMOT*.DLL there
//   langcheck --self-test         brokenmodule.dll must fail with exactly the faults built into it
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/activitytext.h"
#include "app/check.h"
#include "app/notice.h"
#include "app/tray.h"
#include "common/text.h"
#include "resources/resource_ids.h"
#include "tests/modules_beside.h"

namespace {

// The program's buffer for a string, terminator included.
size_t StringLimit(int id) {
  if (id >= IDS_MENU_EXIT && id <= IDS_MENU_ACTIVITY) return kTrayMenuTextSize;
  if (id == IDS_PLURAL_RULE) return 8;
  if (id >= IDS_TIP && id <= IDS_TIP_STATE + 3) return kTrayTipSize;
  if (id >= IDS_TIP_NETWORK && id <= IDS_TIP_NETWORK_LOST + 3) return kTrayTipSize;
  if (id >= IDS_ACTIVITY_COLUMN && id < IDS_ACTIVITY_COLUMN + kActivityColumns)
    return kActivityColumnNameSize;
  if ((id >= IDS_NOTICE && id <= IDS_NOTICE_THIS_WINDOW) || id == IDS_NOTICE_NETWORK) return kNoticeTextSize;
  if (id >= IDS_NOTICE_NAMED && id < IDS_NOTICE_NAMED + kNoticeKinds) return kNoticeTextSize;
  if (id == IDS_CHECK_CAPTION) return kCheckCaptionSize;
  return kTextPatternSize;
}

// A dialog text the program reads back into a buffer; other dialog texts: a static control's.
size_t DialogTextLimit(int dialog, int control) {
  if (dialog == IDD_ASSIGN && (control == IDC_ASSIGN_APP || control == IDC_ASSIGN_ONLY_REMOTE))
    return 128;  // app/assign.cpp's formats
  return 256;
}

struct Module {
  std::map<int, std::string> strings;                 // ANSI, as LoadStringA gives them
  std::map<int, std::map<int, std::string>> dialogs;  // dialog -> control (-1: caption) -> text
};

std::string Ansi(const WCHAR* text, int length) {
  if (length == 0) return "";
  int n = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string out(size_t(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_ACP, 0, text, length, &out[0], n, nullptr, nullptr);
  return out;
}

BOOL CALLBACK AddName(HMODULE, LPCSTR, LPSTR name, LONG_PTR names) {
  if (IS_INTRESOURCE(name)) reinterpret_cast<std::vector<int>*>(names)->push_back(int(ULONG_PTR(name)));
  return TRUE;
}

std::vector<int> Names(HMODULE module, LPCSTR type) {
  std::vector<int> names;
  EnumResourceNamesA(module, type, AddName, LONG_PTR(&names));
  return names;
}

const BYTE* Resource(HMODULE module, int name, LPCSTR type, DWORD* size) {
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(name), type);
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  *size = found ? SizeofResource(module, found) : 0;
  return loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
}

// Reads a dialog template (DIALOGEX or DIALOG): its caption and each control's id and text.
struct TemplateReader {
  const BYTE* at;
  const BYTE* end;
  WORD Word() {
    WORD w = 0;
    if (at + 2 <= end) memcpy(&w, at, 2);
    at += 2;
    return w;
  }
  DWORD Dword() { return Word() | DWORD(Word()) << 16; }
  // A name or an ordinal; its text (empty for an ordinal).
  std::string Name() {
    const WCHAR* start = reinterpret_cast<const WCHAR*>(at);
    if (at + 2 <= end && Word() == 0xFFFF) {
      Word();
      return "";
    }
    at = reinterpret_cast<const BYTE*>(start);
    int length = 0;
    while (at + 2 <= end && Word() != 0) length++;
    return Ansi(start, length);
  }
  void Align() {
    while ((ULONG_PTR(at) & 3) != 0) at++;
  }
};

std::map<int, std::string> DialogTexts(const BYTE* data, DWORD size) {
  std::map<int, std::string> texts;
  TemplateReader r = {data, data + size};
  bool ex = size >= 4 && data[0] == 1 && data[1] == 0 && data[2] == 0xFF && data[3] == 0xFF;
  DWORD style;
  if (ex) {
    r.Dword();  // version and signature
    r.Dword();  // help id
    r.Dword();  // extended style
    style = r.Dword();
  } else {
    style = r.Dword();
    r.Dword();
  }
  int count = r.Word();
  for (int i = 0; i < 4; i++) r.Word();  // x, y, cx, cy
  r.Name();                              // menu
  r.Name();                              // class
  texts[-1] = r.Name();
  if (style & DS_SETFONT) {
    r.Word();           // point size
    if (ex) r.Dword();  // weight, italic, character set
    r.Name();
  }
  for (int i = 0; i < count && r.at < r.end; i++) {
    r.Align();
    if (ex) r.Dword();  // help id
    r.Dword();          // style and extended style (DIALOGEX: extended style first)
    r.Dword();
    for (int j = 0; j < 4; j++) r.Word();
    int id = ex ? int(r.Dword()) : int(r.Word());
    r.Name();  // class
    std::string text = r.Name();
    r.at += r.Word();  // creation data
    texts[id] = text;
  }
  return texts;
}

Module Read(HMODULE module) {
  Module m;
  for (int block : Names(module, MAKEINTRESOURCEA(6))) {  // RT_STRING: 16 strings a block
    DWORD size;
    const BYTE* data = Resource(module, block, MAKEINTRESOURCEA(6), &size);
    TemplateReader r = {data, data + size};
    for (int i = 0; i < 16 && data && r.at < r.end; i++) {
      int length = r.Word();
      const WCHAR* text = reinterpret_cast<const WCHAR*>(r.at);
      r.at += 2 * length;
      if (length) m.strings[(block - 1) * 16 + i] = Ansi(text, length);
    }
  }
  for (int dialog : Names(module, MAKEINTRESOURCEA(5))) {  // RT_DIALOG
    DWORD size;
    const BYTE* data = Resource(module, dialog, MAKEINTRESOURCEA(5), &size);
    if (data) m.dialogs[dialog] = DialogTexts(data, size);
  }
  return m;
}

// The placeholders of a text: %1 .. %9 of a string, %s and the like of a dialog text.
std::string Placeholders(const std::string& text) {
  std::set<std::string> found;
  for (size_t i = 0; i + 1 < text.size(); i++) {
    if (text[i] != '%') continue;
    if (text[i + 1] == '%') {
      i++;
      continue;
    }
    found.insert(text.substr(i, 2));
  }
  std::string list;
  for (const std::string& p : found) list += (list.empty() ? "" : " ") + p;
  return list.empty() ? "none" : list;
}

std::string Short(const std::string& text) {
  return "\"" + (text.size() > 40 ? text.substr(0, 37) + "..." : text) + "\"";
}

void Compare(const char* name, const Module& english, const Module& m, std::vector<std::string>* faults) {
  char line[512];
  auto fault = [&](const char* format, auto... args) {
    int n = snprintf(line, sizeof line, "%s: ", name);
    snprintf(line + n, sizeof line - size_t(n), format, args...);
    faults->push_back(line);
  };
  std::set<int> ids;
  for (const auto& s : english.strings) ids.insert(s.first);
  for (const auto& s : m.strings) ids.insert(s.first);
  for (int id : ids) {
    auto e = english.strings.find(id), t = m.strings.find(id);
    if (t == m.strings.end()) {
      fault("string %d %s missing", id, Short(e->second).c_str());
      continue;
    }
    if (e == english.strings.end()) {
      fault("string %d %s extra: the program has no such text", id, Short(t->second).c_str());
      continue;
    }
    if (Placeholders(e->second) != Placeholders(t->second))
      fault("string %d %s has placeholders %s, the English one %s", id, Short(t->second).c_str(),
            Placeholders(t->second).c_str(), Placeholders(e->second).c_str());
    if (t->second.size() >= StringLimit(id))
      fault("string %d %s is %d bytes, the program's buffer holds %d", id, Short(t->second).c_str(),
            int(t->second.size()), int(StringLimit(id) - 1));
  }
  std::set<int> dialogs;
  for (const auto& d : english.dialogs) dialogs.insert(d.first);
  for (const auto& d : m.dialogs) dialogs.insert(d.first);
  for (int dialog : dialogs) {
    auto e = english.dialogs.find(dialog), t = m.dialogs.find(dialog);
    if (t == m.dialogs.end()) {
      fault("dialog %d missing", dialog);
      continue;
    }
    if (e == english.dialogs.end()) {
      fault("dialog %d extra: the program has no such dialog", dialog);
      continue;
    }
    std::set<int> controls;
    for (const auto& c : e->second) controls.insert(c.first);
    for (const auto& c : t->second) controls.insert(c.first);
    for (int control : controls) {
      auto ec = e->second.find(control), tc = t->second.find(control);
      if (tc == t->second.end()) {
        fault("dialog %d control %d missing", dialog, control);
      } else if (ec == e->second.end()) {
        fault("dialog %d control %d extra", dialog, control);
      } else {
        if (Placeholders(ec->second) != Placeholders(tc->second))
          fault("dialog %d control %d %s has placeholders %s, the English one %s", dialog, control,
                Short(tc->second).c_str(), Placeholders(tc->second).c_str(),
                Placeholders(ec->second).c_str());
        if (tc->second.size() >= DialogTextLimit(dialog, control))
          fault("dialog %d control %d %s is %d bytes, the program's buffer holds %d", dialog, control,
                Short(tc->second).c_str(), int(tc->second.size()), int(DialogTextLimit(dialog, control) - 1));
      }
    }
  }
}

std::string Folder() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, n);
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

bool Load(const std::string& path, Module* m) {
  HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) return false;
  *m = Read(module);
  FreeLibrary(module);
  return true;
}

// The faults brokenmodule.rc is built with, in the order they are told.
const char* const kBrokenFaults[] = {
    "brokenmodule.dll: string 21 \"Halvesta Remote Control - no port has...\" is 66 bytes, the program's "
    "buffer holds 63",
    "brokenmodule.dll: string 22 \"Halvesta Remote Control - COM\" has placeholders none, the English one %1",
    "brokenmodule.dll: string 501 \"No problems found\" missing",
    "brokenmodule.dll: string 4000 \"No problems found\" extra: the program has no such text",
    "brokenmodule.dll: string 4010 \"Halvesta Remote Control - no port set\" extra: the program has no such "
    "text",
    "brokenmodule.dll: string 4011 \"Halvesta Remote Control - COM%1\" extra: the program has no such text",
    "brokenmodule.dll: string 4012 \"Halvesta Remote Control - waiting for...\" extra: the program has no "
    "such "
    "text",
    "brokenmodule.dll: string 4013 \"Halvesta Remote Control - noise on CO...\" extra: the program has no "
    "such "
    "text",
    "brokenmodule.dll: dialog 105 missing",
    "brokenmodule.dll: dialog 106 control 1101 missing",
    "brokenmodule.dll: dialog 106 control 1199 extra",
    "brokenmodule.dll: dialog 4105 extra: the program has no such dialog",
};

}  // namespace

int main(int argc, char** argv) {
  std::string folder = Folder();
  Module english;
  if (!Load(folder + "REMOT001.DLL", &english) || english.strings.empty() || english.dialogs.empty()) {
    printf("REMOT001.DLL: no strings or dialogs to check against\n");
    return 1;
  }
  std::vector<std::string> faults;
  if (argc == 2 && strcmp(argv[1], "--self-test") == 0) {
    Module broken;
    if (!Load(folder + "brokenmodule.dll", &broken)) {
      printf("brokenmodule.dll does not load\n");
      return 1;
    }
    Compare("brokenmodule.dll", english, broken, &faults);
    std::vector<std::string> expected(std::begin(kBrokenFaults), std::end(kBrokenFaults));
    for (const std::string& f : faults) printf("%s\n", f.c_str());
    if (faults == expected) return 0;
    printf("expected instead:\n");
    for (const std::string& f : expected) printf("%s\n", f.c_str());
    return 1;
  }
  Compare("REMOT001.DLL", english, english, &faults);  // the English texts against the buffers
  std::vector<std::string> names = ModulesToCheck(folder, argc, argv);
  int modules = 0;
  for (const std::string& name : names) {
    if (_stricmp(name.c_str(), "REMOT001.DLL") == 0) continue;
    Module m;
    modules++;
    if (!Load(folder + name, &m)) {
      faults.push_back(name + ": does not load");
      continue;
    }
    Compare(name.c_str(), english, m, &faults);
  }
  for (const std::string& f : faults) printf("%s\n", f.c_str());
  printf("%d strings and %d dialogs of REMOT001.DLL checked in %d other modules: %d faults\n",
         int(english.strings.size()), int(english.dialogs.size()), modules, int(faults.size()));
  return int(faults.size());
}
