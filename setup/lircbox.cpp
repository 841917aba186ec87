// The network receiver box of the setup dialog. The Test button's question runs on a thread of its
// own: LircQuery blocks for up to kAskMs (the name lookup, the connection, both answers), which the
// dialog must not. The thread gets a record of its own, fills it and posts it to the dialog, which
// shows the answer and frees it; a dialog that is gone takes no message, and the thread then frees
// the record itself. The dialog never waits for the thread.
#include "setup/lircbox.h"

#include <string.h>

#include "profile/profile.h"
#include "profile/profilepath.h"
#include "common/format.h"
#include "common/process.h"
#include "common/text.h"
#include "receiver/lirc.h"
#include "receiver/lircaddress.h"
#include "resources/resource_ids.h"

namespace {

enum { kAskMs = 3000, kShownRemotes = 8 };

// One question to a server: the thread writes it before its post, the dialog reads it after.
struct LircAsked {
  HWND dialog;
  char address[kSetupLircAddressSize];
  char host[kLircHostMax];
  int result;  // a LircQueryResult
  LircServerInfo info;
  bool focused;  // the button had the keyboard focus: it gets it back with the answer
};

// Questions out for the open dialog, whose Test button waits for them; main thread only.
int asking;

DWORD WINAPI AskThread(LPVOID arg) {
  LircAsked* asked = static_cast<LircAsked*>(arg);
  asked->result = LircQuery(asked->address, kAskMs, &asked->info);
  if (!PostMessageA(asked->dialog, kSetupLircAnswer, 0, LPARAM(asked))) HeapFree(GetProcessHeap(), 0, asked);
  return 0;
}

// The text of control id without the blanks around it.
void ItemText(HWND dialog, int id, char* out, int size) {
  char text[kSetupLircAddressSize] = "";
  GetDlgItemTextA(dialog, id, text, sizeof text);
  const char* from = text;
  while (*from == ' ' || *from == '\t') from++;
  size_t length = strlen(from);
  while (length && (from[length - 1] == ' ' || from[length - 1] == '\t')) length--;
  FormatText(out, size_t(size), "%.*s", int(length), from);
}

// Whether an entry names its port ("host:8765", "[::1]:8765"), or leaves it to the default.
bool NamesPort(const char* entry) {
  while (*entry == ' ' || *entry == '\t') entry++;
  return *entry == '[' ? strstr(entry, "]:") != nullptr : strchr(entry, ':') != nullptr;
}

void AnswerText(const LircAsked* asked, char* out, size_t size) {
  const LircServerInfo& info = asked->info;
  switch (asked->result) {
    case kLircQueryOk: {
      char version[kLircNameMax], names[kShownRemotes * (kLircNameMax + 2) + 8] = "", count[16];
      if (info.version[0]) {
        FormatText(version, sizeof version, "%s", info.version);
      } else {
        TextLoad(IDS_LIRC_NO_VERSION, version, sizeof version);
      }
      if (info.remotes == 0) {
        TextFormat(out, size, IDS_LIRC_FOUND_NONE, {asked->address, version});
        return;
      }
      size_t used = 0;
      for (int i = 0; i < info.remotes && i < kLircQueryRemotesMax && i < kShownRemotes; i++) {
        int n = FormatText(names + used, sizeof names - used, i ? ", %s" : "%s", info.remote[i]);
        if (n > 0) used = used + size_t(n) < sizeof names ? used + size_t(n) : sizeof names - 1;
      }
      if (info.remotes > kShownRemotes) FormatText(names + used, sizeof names - used, ", ...");
      FormatText(count, sizeof count, "%d", info.remotes);
      TextFormatCount(out, size, IDS_LIRC_FOUND, info.remotes, {asked->address, version, count, names});
      return;
    }
    case kLircQueryBadAddress:
      TextFormat(out, size, IDS_LIRC_BAD_ADDRESS, {asked->address});
      return;
    case kLircQueryNoHost:
      TextFormat(out, size, IDS_LIRC_NO_HOST, {asked->host});
      return;
    case kLircQueryNoAnswer:
      TextFormat(out, size, IDS_LIRC_NO_ANSWER, {asked->address});
      return;
    default:
      TextFormat(out, size, IDS_LIRC_NO_SERVER, {asked->address});
  }
}

}  // namespace

int SetupLircHasBox(HWND dialog) {
  return GetDlgItem(dialog, IDC_LIRC_HOST) && GetDlgItem(dialog, IDC_LIRC_PORT);
}

void SetupLircRead(HWND dialog) {
  char entry[kSetupLircAddressSize], host[kLircHostMax], port[16] = "";
  ProfileReadString(gProfilePath, kProfileDefault, kProfileLirc, entry, sizeof entry - 1);
  int number;
  if (LircParseAddress(entry, host, sizeof host, &number) == kLircAddressOk) {
    if (NamesPort(entry)) FormatText(port, sizeof port, "%d", number);
  } else {  // an entry the receiver cannot use: shown as it is, for the user to mend or clear
    FormatText(host, sizeof host, "%s", entry);
  }
  asking = 0;
  SendDlgItemMessageA(dialog, IDC_LIRC_HOST, EM_LIMITTEXT, kLircHostMax - 1, 0);
  SendDlgItemMessageA(dialog, IDC_LIRC_PORT, EM_LIMITTEXT, 5, 0);
  SetDlgItemTextA(dialog, IDC_LIRC_HOST, host);
  SetDlgItemTextA(dialog, IDC_LIRC_PORT, port);
  SetupLircHostChanged(dialog);
}

void SetupLircHostChanged(HWND dialog) {
  EnableWindow(GetDlgItem(dialog, IDC_LIRC_TEST),
               !asking && GetWindowTextLengthA(GetDlgItem(dialog, IDC_LIRC_HOST)) > 0);
}

int SetupLircEntry(HWND dialog, char* out, size_t size) {
  char host[kLircHostMax], port[16], parsed[kLircHostMax], text[256];
  ItemText(dialog, IDC_LIRC_HOST, host, sizeof host);
  ItemText(dialog, IDC_LIRC_PORT, port, sizeof port);
  out[0] = '\0';
  if (!host[0]) return 0;
  // An IPv6 address (two colons or more) takes brackets, so that its colons do not read as the port's;
  // one colon is a port typed after the host.
  const char* colon = strchr(host, ':');
  bool bracket = colon && strchr(colon + 1, ':') && host[0] != '[';
  FormatText(out, size, bracket ? "[%s]" : "%s", host);
  if (port[0]) FormatText(out + strlen(out), size - strlen(out), ":%s", port);
  int number;
  if (LircParseAddress(out, parsed, sizeof parsed, &number) == kLircAddressOk) return 0;
  TextFormat(text, sizeof text, IDS_LIRC_BAD_ADDRESS, {out});
  SetDlgItemTextA(dialog, IDC_LIRC_RESULT, text);
  return -1;
}

void SetupLircTest(HWND dialog) {
  LircAsked* asked =
      static_cast<LircAsked*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(LircAsked)));
  if (!asked) return;
  asked->dialog = dialog;
  int port;
  if (SetupLircEntry(dialog, asked->address, sizeof asked->address) < 0 || !asked->address[0] ||
      LircParseAddress(asked->address, asked->host, sizeof asked->host, &port) != kLircAddressOk) {
    HeapFree(GetProcessHeap(), 0, asked);
    return;
  }
  char text[kSetupLircAddressSize + 64];
  TextFormat(text, sizeof text, IDS_LIRC_ASKING, {asked->address});
  SetDlgItemTextA(dialog, IDC_LIRC_RESULT, text);
  HWND button = GetDlgItem(dialog, IDC_LIRC_TEST);
  asked->focused = GetFocus() == button;
  EnableWindow(button, FALSE);
  // Disabling the button took the keyboard focus away; the host's box has it meanwhile.
  if (asked->focused) SendMessageA(dialog, WM_NEXTDLGCTL, WPARAM(GetDlgItem(dialog, IDC_LIRC_HOST)), TRUE);
  HANDLE thread = CreateThread(nullptr, 0, AskThread, asked, 0, nullptr);
  if (!thread) {
    HeapFree(GetProcessHeap(), 0, asked);
    SetDlgItemTextA(dialog, IDC_LIRC_RESULT, "");
    SetupLircHostChanged(dialog);
    return;
  }
  CloseHandle(thread);
  asking++;
}

void SetupLircAnswered(HWND dialog, LPARAM record) {
  LircAsked* asked = reinterpret_cast<LircAsked*>(record);
  if (!asked) return;
  char text[1024];
  AnswerText(asked, text, sizeof text);
  SetDlgItemTextA(dialog, IDC_LIRC_RESULT, text);
  if (asking) asking--;
  SetupLircHostChanged(dialog);
  HWND button = GetDlgItem(dialog, IDC_LIRC_TEST);
  if (asked->focused && GetFocus() == GetDlgItem(dialog, IDC_LIRC_HOST) && IsWindowEnabled(button))
    SendMessageA(dialog, WM_NEXTDLGCTL, WPARAM(button), TRUE);
  HeapFree(GetProcessHeap(), 0, asked);
}

void SetupLircEnd(HWND dialog) {
  MSG message;
  // PeekMessage hands out WM_QUIT whatever the filter. Exit while the dialog is open ends the dialog
  // with a quit that the program's own loop must still see: it is posted again.
  while (PeekMessageA(&message, dialog, kSetupLircAnswer, kSetupLircAnswer, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(int(message.wParam));
      return;
    }
    HeapFree(GetProcessHeap(), 0, reinterpret_cast<void*>(message.lParam));
  }
}
