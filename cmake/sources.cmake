# The program's pure code: no platform calls, no platform library, built for Windows as the library
# remote_pure (under remote_core, the platform code) and natively for the sanitizer and fuzz runs
# (tests/native). One source a line: a new pure module is one more line here, and nothing else.
# tools/checklayers.py fails the tests when one of them includes <windows.h> outside an #ifdef _WIN32.
set(REMOTE_PURE_SOURCES
  receiver/bch.cpp
  receiver/packet.cpp
  receiver/keyring.cpp
  receiver/retry.cpp
  receiver/noise.cpp
  receiver/lircline.cpp
  receiver/lircaddress.cpp
  receiver/reconnect.cpp
  profile/title.cpp
  profile/profiletext.cpp
  profile/profilecheck.cpp
  receiver/mce.cpp
  actions/keyparse.cpp
  actions/keygroups.cpp
  actions/linerules.cpp
  actions/keyline.cpp
  actions/press.cpp
  actions/osdtext.cpp
  actions/keytake.cpp
  common/activity.cpp
  common/format.cpp
  app/notice.cpp
)
