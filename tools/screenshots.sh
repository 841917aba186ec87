#!/usr/bin/env bash
# Makes the pictures in docs/ from the real program under Wine, so that they show what the program
# and the demo show today:
#   docs/demo.png          the demo's own screenshot (tools/demo.sh): Notepad typed into by the remote
#   docs/setup-dialog.png  the setup dialog with COM1 chosen, COM7 and COM8 offered under "Other", and
#                          what a real lircd answered to the network receiver box's Test
#   docs/test-dialog.png   the test dialog while a button is held (the indicator lit, the receiver's pace)
#   docs/test-dialog-slow.png  the same with a receiver that repeats more slowly than the release time
#   docs/tray-menu.png     the tray icon with its menu open, enlarged twice
#   docs/activity.png      the Activity window with a few real presses, held ones among them
#   docs/activity-resized.png  the same window made larger (the list grows with it)
#   docs/activity-144dpi.png   the same at 144 DPI on the 1024 x 768 screen (it fits the work area)
#   docs/notice.png        the notice for a button with no entry, beside the tray icon
#   docs/assign-dialog.png the Assign dialog for a press in a media player (tools/assignshot.cpp)
#   docs/assign-long.png   the Assign dialog for a window with a long title and program, starting a
#                          program with a long path
#   docs/assign-named.png  the Assign dialog for a network receiver's button, for that remote only
#   docs/activity-named.png  the Activity window over presses of each receiver (tools/assignshot.cpp)
#   docs/restart.png       Setup's question after another language was chosen
#   docs/osd.png           the on-screen display over a player window, a held button's repeats counted
#   build/screenshots*/setup-task.png  the setup dialog of an installation whose logon task starts it
#   build/screenshots*/setup-detect.png  the same after a detection that found no receiver
# Usage: bash tools/screenshots.sh [CODE]     (builds first if needed; leaves nothing running)
#   CODE: the language module, 001 (English, the default) or 049, 033, 034. The German pictures go
#   to docs/de/, the French and Spanish ones to build/screenshots-CODE/shots/ (to look at), and the
#   demo is made for English only.
# REMOTE_SHOTS_DEMO=0 leaves docs/demo.png as it is; REMOTE_SHOTS_ONLY=setup makes the tray menu and
# the setup and test dialogs' pictures only.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
trap remote_cleanup EXIT
BUILD="${REMOTE_BUILD_DIR:-$REMOTE_ROOT/build}"
CODE="${1:-001}"
# The captions the pictures are found by, and the language another one is switched to for the
# restart question, per language. The captions name the program one way, in every language.
P="Halvesta Remote Control"
case "$CODE" in
  001) SETUP="$P - Setup" TEST="$P - Receiver Test" ACTIVITY="$P - Activity"
       ASSIGN="$P - Assign" CAPTION="Language" OTHER="Deutsch" ;;
  049) SETUP="$P - Einstellungen" TEST="$P - Empfängertest" ACTIVITY="$P - Aktivität"
       ASSIGN="$P - Taste zuweisen" CAPTION="Sprache" OTHER="English" ;;
  033) SETUP="$P - Paramètres" TEST="$P - Test du récepteur" ACTIVITY="$P - Activité"
       ASSIGN="$P - Affecter une touche" CAPTION="Langue" OTHER="English" ;;
  034) SETUP="$P - Configuración" TEST="$P - Prueba del receptor"
       ACTIVITY="$P - Actividad" ASSIGN="$P - Asignar un botón" CAPTION="Idioma" OTHER="English" ;;
  *) echo "unknown language code $CODE (001, 049, 033, 034)" >&2; exit 2 ;;
esac
case "$CODE" in
  001) DOCS="$REMOTE_ROOT/docs" ;;
  049) DOCS="$REMOTE_ROOT/docs/de" ;;
  *) DOCS="$BUILD/screenshots-$CODE/shots" ;;
esac
mkdir -p "$DOCS"
[ "$CODE" = 001 ] || REMOTE_SHOTS_DEMO=0
remote_install_deps
remote_build "$BUILD" >/dev/null

if [ "${REMOTE_SHOTS_DEMO:-1}" != 0 ]; then
  remote_log "the demo"
  bash "$REMOTE_ROOT/tools/demo.sh" >/dev/null
  cp "$BUILD/demo/screenshot.png" "$DOCS/demo.png"
fi

WORK="$BUILD/screenshots-$CODE"
rm -rf "$WORK"
mkdir -p "$WORK" "$DOCS"
remote_start_display
[ -f "$BUILD/wineprefix/system.reg" ] || remote_start_wine "$BUILD/wineprefix"
remote_clone_wine "$BUILD/wineprefix" "$WORK/prefix"
LANGUAGE_REG="$(winepath -w "$REMOTE_ROOT/resources/language$CODE.reg")"
wine regedit /S "$LANGUAGE_REG" >/dev/null 2>&1
remote_start_com_pair "$WORK/cable"
remote_plug_cable "$WORK/cable2" 7 8
APP="$WINEPREFIX/drive_c/app"
remote_app "$APP" remote.exe REMOT001.DLL REMOT049.DLL REMOT033.DLL REMOT034.DLL
# A LIRC server for the network receiver box, on its usual port when that is free.
(exec 3<>/dev/tcp/127.0.0.1/8765) 2>/dev/null || LIRCD_PORT=8765
remote_lircd_start "$WORK/lircd"
printf '[default]\r\nport=1\r\n[Song.mp3 - Media Player]\r\nKey12=KEYBOARD CTRL+P+^P+^CTRL\r\nKey13=EXEC C:\\Tools\\eq.exe\r\nKey14=KEYBOARD UP+^UP\r\nKey14.hold=repeat\r\nKey15=KEYBOARD K+^K\r\nKey15.long=KEYBOARD S+^S\r\n' >"$APP/profiles.ini"
wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v OVRARemote /d 'C:\app\remote.exe' /f \
  >/dev/null 2>&1

# Saves the part of the screen that the top-level window titled $1 covers into $2.
shoot_window() {
  local geometry
  geometry="$(xwininfo -root -tree | grep -F "\"$1\"" | grep -Eo '[0-9]+x[0-9]+\+-?[0-9]+\+-?[0-9]+' | head -1)"
  import -display "$DISPLAY" -window root -crop "$geometry" +repage "$2"
}

remote_run_app "$APP"

remote_log "the tray menu"
drive cursor 24 14 >/dev/null
drive tray 516 >/dev/null
drive menu 3000 >/dev/null
sleep 0.5
import -display "$DISPLAY" -window root -crop 180x84+0+0 +repage "$WORK/tray.png"
convert "$WORK/tray.png" -scale 200% "$DOCS/tray-menu.png"
drive key 27 >/dev/null
drive no-menu 3000 >/dev/null

remote_log "the setup dialog"
drive command 101 >/dev/null
drive wait-title "$SETUP" 20000 >/dev/null
# The server typed into the network receiver box (the profile keeps none: Setup is cancelled).
drive set-text "$SETUP" 1100 localhost >/dev/null    # IDC_LIRC_HOST
drive set-text "$SETUP" 1101 "$LIRCD_PORT" >/dev/null # IDC_LIRC_PORT
drive press "$SETUP" 1102 >/dev/null                 # IDC_LIRC_TEST: asks the lircd
sleep 1.5
shoot_window "$SETUP" "$DOCS/setup-dialog.png"

remote_log "the test dialog while a button is held"
drive press "$SETUP" 1012 >/dev/null
drive wait-title "$TEST" 20000 >/dev/null
sleep 1
wine "$BUILD/bin/remotesim.exe" COM9 --key 12 --hold 4000 --gap 0 >/dev/null 2>&1 &
sim=$!
sleep 1.5 # the pace shows from the third signal of the press on
drive watch "$TEST" 1019 5000 >/dev/null
sleep 0.05
shoot_window "$TEST" "$DOCS/test-dialog.png"
wait "$sim" || true
sleep 1
# A receiver that repeats a held button every 300 ms, more slowly than the release time of 250 ms.
wine "$BUILD/bin/remotesim.exe" COM9 --key 12 --hold 2400 --every 300 --gap 0 >/dev/null 2>&1 &
sim=$!
sleep 2
shoot_window "$TEST" "$DOCS/test-dialog-slow.png"
wait "$sim" || true
drive press "$TEST" 2 >/dev/null
drive gone "$TEST" 10000 >/dev/null
drive press "$SETUP" 2 >/dev/null
drive gone "$SETUP" 10000 >/dev/null
if [ "${REMOTE_SHOTS_ONLY:-}" = setup ]; then
  drive command 100 >/dev/null
  wait "$APP_PID" 2>/dev/null || true
  remote_log "written into $DOCS: tray-menu.png setup-dialog.png test-dialog.png test-dialog-slow.png"
  exit 0
fi

remote_log "the setup dialog when the installation's logon task starts the program"
TASK_KEY='HKLM\Software\Halvesta Systems\Tessil OVRA'
wine reg add "$TASK_KEY" /v LogonTask /d 'Halvesta Remote Control' /f >/dev/null 2>&1
drive command 101 >/dev/null
drive wait-title "$SETUP" 20000 >/dev/null
sleep 1
shoot_window "$SETUP" "$WORK/setup-task.png"
# Detection on this cable finds no receiver (a pseudo-terminal has no CTS): its longest text.
remote_log "the setup dialog after a detection that found nothing"
drive press "$SETUP" 1001 >/dev/null
sleep 8 # up to a few seconds a port
shoot_window "$SETUP" "$WORK/setup-detect.png"
drive press "$SETUP" 2 >/dev/null
drive gone "$SETUP" 10000 >/dev/null
wine reg delete "$TASK_KEY" /v LogonTask /f >/dev/null 2>&1

remote_log "the restart question after another language was chosen"
drive command 101 >/dev/null
drive wait-title "$SETUP" 20000 >/dev/null
drive choose "$SETUP" 1030 "$OTHER" >/dev/null
drive press "$SETUP" 1 >/dev/null
drive wait-title "$CAPTION" 20000 >/dev/null
sleep 1
shoot_window "$CAPTION" "$DOCS/restart.png"
drive messagebox 3000 "$CAPTION" 7 >/dev/null # No
drive gone "$SETUP" 10000 >/dev/null
wine regedit /S "$LANGUAGE_REG" >/dev/null 2>&1 # the user's language back as it was

remote_log "the Activity window"
sleep 2 # the receiver runs again
remote_open_sink "Song.mp3 - Media Player" "$WORK/sink.log"
remote_press --key 12
remote_press --key 12 --flip 0x0B00
remote_press --key 13
remote_press --key 9
remote_press --key 14 --hold 1500 # acts again and again, then one summary row
remote_press --key 15 --hold 1200 # the long line
remote_press --key 9 --hold 1500  # no entry: one row with its signals
# Wine's tray shows a balloon 2 s after the notice was given (and for at least 10 s).
sleep 3.5
# The other languages' sentences are longer: their balloons are wider.
NOTICE_CROP=290x106
[ "$CODE" = 001 ] || NOTICE_CROP=440x106
import -display "$DISPLAY" -window root -crop "$NOTICE_CROP+0+0" +repage "$DOCS/notice.png"
drive command 102 >/dev/null
drive wait-title "$ACTIVITY" 20000 >/dev/null
sleep 1
shoot_window "$ACTIVITY" "$DOCS/activity.png"
drive size "$ACTIVITY" 940 520 >/dev/null
sleep 1
shoot_window "$ACTIVITY" "$DOCS/activity-resized.png"
drive press "$ACTIVITY" 2 >/dev/null
remote_close_sink
drive command 100 >/dev/null
wait "$APP_PID" 2>/dev/null || true

remote_log "the Activity window at 144 DPI"
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
remote_run_app "$APP"
remote_open_sink "Song.mp3 - Media Player" "$WORK/sink.log"
remote_press --key 12
remote_press --key 9
drive command 102 >/dev/null
drive wait-title "$ACTIVITY" 20000 >/dev/null
sleep 1
shoot_window "$ACTIVITY" "$DOCS/activity-144dpi.png"
drive press "$ACTIVITY" 2 >/dev/null
remote_close_sink
drive command 100 >/dev/null
wait "$APP_PID" 2>/dev/null || true
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1

remote_log "the on-screen display over a player window"
cp "$APP/profiles.ini" "$WORK/profiles.before-osd"
printf '[default]\r\nport=1\r\nosd=1\r\nosdtime=10000\r\n[Song.mp3 - Media Player]\r\nKey14=KEYBOARD VOLUP+^VOLUP\r\n' \
  >"$APP/profiles.ini"
remote_run_app "$APP"
remote_open_sink "Song.mp3 - Media Player" "$WORK/sink.log"
drive size "Song.mp3 - Media Player" 1024 768 >/dev/null || true # the player fills the screen
remote_press --key 14 --hold 450 --gap 0
drive osd 5000 1 >/dev/null || true
sleep 0.5
import -display "$DISPLAY" -window root "$DOCS/osd.png"
remote_close_sink
drive command 100 >/dev/null
wait "$APP_PID" 2>/dev/null || true
cp "$WORK/profiles.before-osd" "$APP/profiles.ini"

remote_log "the Assign dialog"
mkdir -p "$WORK/assign"
printf '[default]\r\nport=1\r\n[vlc.exe]\r\nKey9=KEYBOARD BLANK+^BLANK\r\n' >"$WORK/assign/profiles.ini"
cp "$BUILD/bin/REMOT001.DLL" "$BUILD/bin/REMOT$CODE.DLL" "$WORK/assign/"
(cd "$WORK/assign" && exec wine "$BUILD/bin/assignshot.exe" "$CODE" >/dev/null 2>&1) &
REMOTE_PIDS+=($!)
drive wait-title "$ASSIGN" 20000 >/dev/null
drive press "$ASSIGN" 1204 >/dev/null # IDC_ASSIGN_APP: This program (vlc.exe)
drive press "$ASSIGN" 1208 >/dev/null # IDC_ASSIGN_NAMED
drive choose "$ASSIGN" 1209 "Play/Pause (PLAY)" >/dev/null || true # key names may be translated
sleep 1
shoot_window "$ASSIGN" "$DOCS/assign-dialog.png"
drive press "$ASSIGN" 2 >/dev/null
drive gone "$ASSIGN" 10000 >/dev/null

remote_log "the Assign dialog with long names"
LONG_TITLE="Quarterly report for the regional sales meeting, final version (3) [Compatibility Mode] - Word Processor"
(cd "$WORK/assign" && exec wine "$BUILD/bin/assignshot.exe" "$CODE" "$LONG_TITLE" \
  "contoso-office-word-processor-2019.exe" >/dev/null 2>&1) &
REMOTE_PIDS+=($!)
drive wait-title "$ASSIGN" 20000 >/dev/null
drive press "$ASSIGN" 1203 >/dev/null # IDC_ASSIGN_WINDOW: the title pattern
drive press "$ASSIGN" 1211 >/dev/null # IDC_ASSIGN_START
drive set-text "$ASSIGN" 1212 'C:\Program Files\Contoso Tools\Audio Equalizer Professional\bin\equalizer-control.exe' >/dev/null
sleep 1
shoot_window "$ASSIGN" "$DOCS/assign-long.png"
drive press "$ASSIGN" 2 >/dev/null
drive gone "$ASSIGN" 10000 >/dev/null

remote_log "the Assign dialog for a named button"
(cd "$WORK/assign" && exec wine "$BUILD/bin/assignshot.exe" "$CODE" "Big Buck Bunny - VLC media player" vlc.exe \
  DEMO KEY_PLAY >/dev/null 2>&1) &
REMOTE_PIDS+=($!)
drive wait-title "$ASSIGN" 20000 >/dev/null
drive press "$ASSIGN" 1160 >/dev/null # IDC_ASSIGN_ONLY_REMOTE
drive press "$ASSIGN" 1208 >/dev/null # IDC_ASSIGN_NAMED
drive choose "$ASSIGN" 1209 "Play/Pause (PLAY)" >/dev/null || true
sleep 1
shoot_window "$ASSIGN" "$DOCS/assign-named.png"
drive press "$ASSIGN" 2 >/dev/null
drive gone "$ASSIGN" 10000 >/dev/null

remote_log "the Activity window over presses of each receiver"
(cd "$WORK/assign" && exec wine "$BUILD/bin/assignshot.exe" "$CODE" activity >/dev/null 2>&1) &
REMOTE_PIDS+=($!)
drive wait-title "$ACTIVITY" 20000 >/dev/null
drive size "$ACTIVITY" 940 400 >/dev/null # the named buttons' column is wide: the results too in view
sleep 1
shoot_window "$ACTIVITY" "$DOCS/activity-named.png"
drive press "$ACTIVITY" 2 >/dev/null
drive gone "$ACTIVITY" 10000 >/dev/null
remote_log "written into $DOCS: setup-dialog.png test-dialog.png test-dialog-slow.png tray-menu.png activity.png activity-resized.png activity-144dpi.png notice.png assign-dialog.png assign-long.png assign-named.png activity-named.png restart.png osd.png"
