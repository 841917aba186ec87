// Each input carries one or more HID reports of one device; the device's collection (read once
// per input through GetRawInputDeviceInfoA) tells the decoder how to read them. The button held is
// remembered so that the same button again is its repeat and the empty report names what it
// releases. Buttons that Windows also turns into keys decode to nothing here: they act through
// the keyboard hook, once.
#include "app/rawinput.h"

#include "receiver/mce.h"

RawInputSeam gRawInputSeam = {GetRawInputData, GetRawInputDeviceInfoA};

static RawInputHandler gHandler;
static void* gContext;
static const char* gHeld;  // the button down, null when none (main window thread)

static RAWINPUTDEVICE Device(USHORT page, USHORT usage, DWORD flags, HWND window) {
  RAWINPUTDEVICE d;
  d.usUsagePage = page;
  d.usUsage = usage;
  d.dwFlags = flags;
  d.hwndTarget = window;
  return d;
}

int RawInputRegister(HWND window) {
  RAWINPUTDEVICE devices[2] = {
      Device(kMcePageMediaCenter, kMceUsageMediaCenter, RIDEV_INPUTSINK, window),
      Device(kMcePageConsumer, kMceUsageConsumer, RIDEV_INPUTSINK, window),
  };
  gHeld = nullptr;
  return RegisterRawInputDevices(devices, 2, sizeof devices[0]) ? 0 : -1;
}

void RawInputUnregister() {
  RAWINPUTDEVICE devices[2] = {
      Device(kMcePageMediaCenter, kMceUsageMediaCenter, RIDEV_REMOVE, nullptr),
      Device(kMcePageConsumer, kMceUsageConsumer, RIDEV_REMOVE, nullptr),
  };
  RegisterRawInputDevices(devices, 2, sizeof devices[0]);
  gHeld = nullptr;
}

void RawInputSetHandler(RawInputHandler handler, void* context) {
  gHandler = handler;
  gContext = context;
}

static int Hand(const char* name, int phase) {
  if (gHandler) gHandler(name, phase, gContext);
  return 1;
}

int RawInputHandle(LPARAM input) {
  union {
    RAWINPUT raw;
    BYTE bytes[1024];
  } buffer;
  UINT size = sizeof buffer;
  UINT got = gRawInputSeam.getData(reinterpret_cast<HRAWINPUT>(input), RID_INPUT, &buffer, &size,
                                   sizeof(RAWINPUTHEADER));
  if (got == UINT(-1) || got < sizeof(RAWINPUTHEADER) || got > sizeof buffer) return -1;
  const RAWINPUT& raw = buffer.raw;
  if (raw.header.dwType != RIM_TYPEHID) return 0;
  RID_DEVICE_INFO info = {};
  info.cbSize = sizeof info;
  UINT infoSize = sizeof info;
  if (gRawInputSeam.getDeviceInfo(raw.header.hDevice, RIDI_DEVICEINFO, &info, &infoSize) == UINT(-1) ||
      info.dwType != RIM_TYPEHID) {
    return -1;
  }
  size_t offset = offsetof(RAWINPUT, data.hid.bRawData);
  DWORD each = raw.data.hid.dwSizeHid, count = raw.data.hid.dwCount;
  if (each == 0 || count > (got - offset) / each) return -1;  // reports beyond what was read
  int handed = 0;
  for (DWORD i = 0; i < count; i++) {
    const char* name;
    int kind = MceDecode(info.hid.usUsagePage, info.hid.usUsage, raw.data.hid.bRawData + size_t(i) * each,
                         each, &name);
    if (kind == kMceButton) {
      if (gHeld && gHeld != name) handed += Hand(gHeld, kRawInputRelease);
      handed += Hand(name, gHeld == name ? kRawInputRepeat : kRawInputPress);
      gHeld = name;
    } else if (kind == kMceRelease && gHeld) {
      handed += Hand(gHeld, kRawInputRelease);
      gHeld = nullptr;
    }
  }
  return handed;
}
