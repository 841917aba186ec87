// Resource and control identifiers shared by the program and its language modules.
#pragma once

#define IDI_REMOTE 101       // the program's icon (in remote.exe)
#define IDI_REMOTE_AWAY 102  // the tray's icon while the receiver is away or no port is set

#define IDS_MENU_EXIT 1      // tray menu: Exit (item 100)
#define IDS_MENU_SETUP 2     // tray menu: Setup (item 101)
#define IDS_MENU_ACTIVITY 3  // tray menu: Activity (item 102); a module without it shows two items

// The program's texts (resources/texts001.inc), in ranges by the part of the program that shows them.
#define IDS_PLURAL_RULE 10    // which counts take the singular form: "1" (only 1) or "01" (0 and 1)
#define IDS_LANGUAGE_NAME 11  // the module's language in its own words ("English", "Deutsch")
#define IDS_TIP 20            // the tray tip before the receiver's state is known
#define IDS_TIP_STATE 21      // 21-24: + ReceiverState (no port, open, waiting, noise); %1 the port
// The tip while the network receiver runs (app/tray.cpp): connected with no port set; not connected,
// 1061-1064 + ReceiverState as above.
#define IDS_TIP_NETWORK 1060
#define IDS_TIP_NETWORK_LOST 1061
//   10-99 shell, tray tip, start-up    200-399 Activity window, notices    400-499 Assign dialog
//   500-599 profile check report       600-699 Setup and test dialogs      700-799 saving the profile
//   800-899 held buttons, long presses 900-999 languages

// The Activity window (app/activitytext.cpp). Columns and receiver events are by their number.
#define IDS_ACTIVITY_COLUMN 200  // 200-206: Time, Event, Window, Program, Section, Action, Result
#define IDS_ACTIVITY_EVENT_RECEIVER 210
#define IDS_ACTIVITY_EVENT_PACKET 211
#define IDS_ACTIVITY_NO_ENTRY 212  // the section column of a press that found none
#define IDS_ACTIVITY_NOTHING_DONE 220
#define IDS_ACTIVITY_KEYS_SENT 221     // 222: plural
#define IDS_ACTIVITY_KEYS_BLOCKED 223  // 224: plural
#define IDS_ACTIVITY_KEYS_REFUSED 225
#define IDS_ACTIVITY_ANSWERED 226
#define IDS_ACTIVITY_NO_ANSWER 227
#define IDS_ACTIVITY_OWN_WINDOW 228
#define IDS_ACTIVITY_NOTHING_SENT 229
#define IDS_ACTIVITY_STARTED 230
#define IDS_ACTIVITY_NOT_STARTED 231
#define IDS_ACTIVITY_UNKNOWN_REASON 232
#define IDS_ACTIVITY_CUT_OFF 233  // 234: plural
#define IDS_ACTIVITY_TOO_LONG 235
#define IDS_ACTIVITY_NO_KEYWORD 236
#define IDS_ACTIVITY_RESULT_OTHER 237
#define IDS_ACTIVITY_RECEIVER 240  // 240-246: + ActivityReceiverEvent; %1 the port's number
#define IDS_ACTIVITY_RECEIVER_OTHER 247
#define IDS_ACTIVITY_NETWORK 1065  // 1065-1066: network receiver connected, not connected; %1 its server
#define IDS_ACTIVITY_REJECTED 250  // 251: plural
// Notices (app/activitytext.cpp): + NoticeKind; %1 the key's or the port's number, %2 the program.
#define IDS_NOTICE 300  // 300-306
#define IDS_NOTICE_THIS_WINDOW 307
#define IDS_NOTICE_NETWORK 1067  // the network receiver is not connected (once a run); %1 its server

// The profile check's report (app/check.cpp). A problem's text has the line (%1), the section (%2),
// the key (%3) and the kind's value (%4); a section's problem has no key.
#define IDS_CHECK_CAPTION 500
#define IDS_CHECK_NONE 501
#define IDS_CHECK_COUNT 502  // 503: plural
#define IDS_CHECK_MORE 504   // 505: plural
#define IDS_CHECK_UNREADABLE 506
#define IDS_CHECK_UTF16 507
#define IDS_CHECK_NUL 508
#define IDS_CHECK_NO_KEYWORD 510
#define IDS_CHECK_KEYS_HELD 511
#define IDS_CHECK_NOT_A_BUTTON 512
#define IDS_CHECK_NO_SECTION 513
#define IDS_CHECK_TOO_LONG 514  // %5: the longest line that runs
#define IDS_CHECK_SHADOWED 515
#define IDS_CHECK_NO_CLASS 516
#define IDS_CHECK_LONG_PATTERN 517
// Saving the profile and the other settings (setup/savetext.h).
#define IDS_SAVE_FAILED 700     // %1 what, %2 the file or key, %3 why
#define IDS_SAVE_PORT 701       // what: the port
#define IDS_SAVE_AUTOSTART 703  // what: the "Start with Windows" choice
#define IDS_SAVE_LINE 704       // what: the Assign dialog's line
#define IDS_SAVE_SYSTEM 705     // why: %1 the system's text, %2 its error code
#define IDS_SAVE_UNKNOWN 706    // the system has no text for the code
#define IDS_SAVE_BAD_ENTRY 707  // why, by the profile writer's result
#define IDS_SAVE_TOO_LARGE 708
#define IDS_SAVE_UTF16_NO_BOM 709
#define IDS_SAVE_NUL_BYTES 710
#define IDS_SAVE_IN_USE 711  // %1 the system's text, %2 its error code
#define IDS_SAVE_READ_ONLY 712
#define IDS_SAVE_CREATE 713       // %1 the new file, %2 the system's text, %3 its error code
#define IDS_SAVE_WRITE 714        // the same
#define IDS_SAVE_REPLACE 715      // the same
#define IDS_AUTOSTART_TASK 716    // Setup's note when a scheduled task starts the program
#define IDS_SAVE_BACKUP 717       // %1 the backup, %2 the system's text, %3 its error code
#define IDS_CHECK_HOLD_VALUE 518  // a .hold or hold= value that names no way of acting on a held button
#define IDS_CHECK_TIMING 519      // a timing of [default] that is no number from 50 to 5000
#define IDS_CHECK_OSD 520         // osd= or osdtime= of [default] that cannot be used (%4 the value)

#define IDD_SETUP 104    // port setup dialog
#define IDC_DETECT 1001  // automatic detection
#define IDC_PORT1 1002   // radio buttons COM1..COM4 = 1001 + port
#define IDC_PORT2 1003
#define IDC_PORT3 1004
#define IDC_PORT4 1005
#define IDC_STATUS1 1006  // status texts COM1..COM4 = 1005 + port
#define IDC_STATUS2 1007
#define IDC_STATUS3 1008
#define IDC_STATUS4 1009
#define IDC_AUTOSTART 1010  // start with Windows
#define IDC_TEST 1012       // opens the test dialog
#define IDC_NOTIFY 1011     // show notifications (optional: without it notices stay on)
// Optional: a module without them offers COM1..COM4 only.
#define IDC_PORT_OTHER 1013     // radio button after COM4, same group: a port from the list
#define IDC_PORT_LIST 1014      // drop-down list of the ports above COM4 ("COM7"; item data 7)
#define IDC_STATUS_OTHER 1015   // status text of the port the list shows
#define IDC_DETECT_RESULT 1032  // what the last detection found, when it found nothing (optional)
#define IDC_LANGUAGE 1030       // the language modules beside the program, by their own names (optional)
// Optional: the profile in use.
#define IDC_PROFILE_KIND 1040    // whether it is the user's own profile or the shared one
#define IDC_PROFILE_PATH 1041    // its path
#define IDC_PROFILE_FOLDER 1042  // opens its folder
#define IDC_PROFILE_SHARED 1043  // back to the shared profile; shown only while the own one is in use

#define IDD_TEST 105    // receiver test dialog
#define IDC_IDLE1 1016  // idle pair: visible except during a flash
#define IDC_IDLE2 1017
#define IDC_FLASH1 1019  // flash pair: visible only during a flash
#define IDC_FLASH2 1020
#define IDC_KEYNAME 1022       // name of the last key received ("Key12"); optional
#define IDC_TEST_PACE 1023     // the receiver's pace while a button is held; optional
#define IDC_TEST_RELEASE 1024  // chooses the release time that pace wants, for Setup's OK; optional

#define IDD_ACTIVITY 106          // the Activity window (modeless)
#define IDC_ACTIVITY_LIST 1100    // list of the events, newest last
#define IDC_ACTIVITY_COPY 1101    // all lines to the clipboard
#define IDC_ACTIVITY_ASSIGN 1102  // Assign dialog for the selected (or newest) key press
#define IDC_ACTIVITY_TEXT 1103    // the line above the list (optional: the layout moves it when there)

#define IDD_ASSIGN 107           // assign a line to a key press; optional (a module without it has no Assign)
#define IDC_ASSIGN_KEY 1200      // "Key9"
#define IDC_ASSIGN_TITLE 1201    // the title of the window that was in front
#define IDC_ASSIGN_PROGRAM 1202  // its program file ("notepad.exe")
#define IDC_ASSIGN_WINDOW 1203   // where: the section named after the title
#define IDC_ASSIGN_APP 1204      // where: the program's section ("This &program (%s)")
#define IDC_ASSIGN_EVERY 1205    // where: [default]
#define IDC_ASSIGN_KEYS 1206     // what: keys, captured in IDC_ASSIGN_HOTKEY
#define IDC_ASSIGN_HOTKEY 1207
#define IDC_ASSIGN_NAMED 1208  // what: a named key from IDC_ASSIGN_NAMES (item data: its key code)
#define IDC_ASSIGN_NAMES 1209
#define IDC_ASSIGN_CLOSE 1210  // what: CLOSE
#define IDC_ASSIGN_START 1211  // what: EXEC of the program in IDC_ASSIGN_PATH
#define IDC_ASSIGN_PATH 1212
#define IDC_ASSIGN_BROWSE 1213
#define IDC_ASSIGN_PREVIEW 1214  // the exact line to be written, or why there is none
#define IDC_ASSIGN_NOW 1215      // the line the key has there now

// The Activity window's own texts (380-399; the lines' and notices' words are below 380).
#define IDS_ACTIVITY_CAPTION 380   // the program's name: its message box, the notices' title
#define IDS_ACTIVITY_NO_PRESS 381  // Assign with no press in the log

// The Assign dialog's texts (400-499).
#define IDS_ASSIGN_CAPTION 400       // caption of its message boxes
#define IDS_ASSIGN_PRESS_KEYS 401    // no keys in the Keys box yet
#define IDS_ASSIGN_CHOOSE_NAMED 402  // no named key chosen
#define IDS_ASSIGN_NAME_PROGRAM 403  // no program named
#define IDS_ASSIGN_CHOOSE_WHAT 404   // nothing chosen
#define IDS_ASSIGN_NOW 405           // %1 section, %2 key, %3 its value
#define IDS_ASSIGN_NOW_NOTHING 406   // %1 section
#define IDS_ASSIGN_NO_TITLE 407
#define IDS_ASSIGN_NO_PROGRAM 408
#define IDS_ASSIGN_REPLACE 409  // %1 key, %2 section, %3 now, %4 new
#define IDS_ASSIGN_FILTER 411   // the Browse box's file types, "|" between the parts
#define IDS_KEYLINE_MODIFIER_ALONE 413
#define IDS_KEYLINE_NO_NAME 414         // %1 the key's code (hex)
#define IDS_KEYLINE_NO_COMBINATION 415  // %1 the key's code (hex)
#define IDS_KEYLINE_TOO_LONG 416
#define IDS_ASSIGN_PATTERN 417     // %1 the title pattern written for a title a section cannot hold
#define IDS_ASSIGN_NO_PATTERN 418  // the title cannot be told apart even as a pattern
// The named keys of the list (420-459), in the list's order.
#define IDS_KEY_VOLUME_UP 420
#define IDS_KEY_VOLUME_DOWN 421
#define IDS_KEY_MUTE 422
#define IDS_KEY_PLAY_PAUSE 423
#define IDS_KEY_STOP 424
#define IDS_KEY_NEXT_TRACK 425
#define IDS_KEY_PREVIOUS_TRACK 426
#define IDS_KEY_SPACE 427
#define IDS_KEY_ENTER 428
#define IDS_KEY_ESC 429
#define IDS_KEY_TAB 430
#define IDS_KEY_BACKSPACE 431
#define IDS_KEY_UP 432
#define IDS_KEY_DOWN 433
#define IDS_KEY_LEFT 434
#define IDS_KEY_RIGHT 435
#define IDS_KEY_PAGE_UP 436
#define IDS_KEY_PAGE_DOWN 437
#define IDS_KEY_HOME 438
#define IDS_KEY_END 439
#define IDS_KEY_INSERT 440
#define IDS_KEY_DELETE 441
#define IDS_KEY_BROWSER_BACK 442
#define IDS_KEY_BROWSER_FORWARD 443
#define IDS_KEY_WINDOWS 444
#define IDS_KEY_MENU 445

// The setup dialog's own texts (680-699).
#define IDS_SETUP_NOT_THERE 680    // the status text of a port that is missing or busy
#define IDS_SETUP_NO_RECEIVER 688  // a detection that found no receiver
#define IDS_SETUP_ASK_NO_PORT 689  // %1 the port configured before
#define IDS_SETUP_CAPTION 690      // caption of the question
// Assign: what the button does while held, and the long press (optional: a module without them
// writes the line alone).
#define IDC_ASSIGN_HOLD_EVERY 1230   // every signal acts
#define IDC_ASSIGN_HOLD_ONCE 1231    // once per press
#define IDC_ASSIGN_HOLD_REPEAT 1232  // repeat after a delay
#define IDC_ASSIGN_LONG 1233         // the line is the button's long press (KeyN.long)

// Held buttons and long presses (texts 800-899).
#define IDS_HOLD_SUMMARY 800         // 801: plural; a held press: %1 times it acted, %2 signals absorbed
#define IDS_HOLD_PACE 802            // test dialog: %1 signals a second, %2 ms apart, longest gap %3 ms
#define IDS_HOLD_PACE_FITS 803       // %1 the release time: it fits
#define IDS_HOLD_PACE_SHORT 804      // %1 the release time, too short; %2 the one that would fit
#define IDS_HOLD_RELEASE_SET 805     // %1 the release time chosen, saved by Setup's OK
#define IDS_HOLD_RELEASE_FAILED 806  // %1 why the profile could not be written
#define IDS_HOLD_PACE_SLOW 807       // new presses %1 ms apart; %2 the release time, %3 one that fits
#define IDS_HOLD_NO_ENTRY 808        // a held press with no entry (Activity): %1 its signals
// Languages (900-999).
#define IDS_LANGUAGE_CODEPAGE 900  // the ANSI code page the module's texts need ("1252"); "0": plain ASCII
#define IDS_LANGUAGE_RESTART 901   // Setup: the new language shows at the next start; restart now?
#define IDS_LANGUAGE_SETTING 902   // Setup: the name of the choice, where saving it failed
#define IDS_LANGUAGE_CAPTION 903   // Setup: the caption of the restart question
// The on-screen display (texts 1040-1059) and its Setup check box (optional: a template without it
// leaves osd= alone).
#define IDC_OSD 1045
#define IDS_OSD_OWN 1040          // %1 the entry's own .osd text
#define IDS_OSD_KEYS 1041         // %1 the keys a KEYBOARD line presses ("Ctrl+S")
#define IDS_OSD_STARTED 1042      // %1 the program EXEC started
#define IDS_OSD_CLOSE 1043        // a CLOSE line
#define IDS_OSD_COMMAND 1044      // %1 the command number
#define IDS_OSD_NO_ENTRY 1045     // %1 the button's code, %2 the program it found nothing for
#define IDS_OSD_NOT_RUN 1046      // %1 the button's code: its line did not run
#define IDS_OSD_NOT_STARTED 1047  // %1 the program EXEC could not start
#define IDS_OSD_CTRL 1048
#define IDS_OSD_ALT 1049
#define IDS_OSD_SHIFT 1050

// Setup's network receiver box and the keys of USB remotes (controls 1100-1109 of dialog 104, texts
// 1080-1099). Optional: a template without the box leaves lirc= alone, one without the check box keys=.
#define IDC_LIRC_HOST 1100         // the server's host name or address
#define IDC_LIRC_PORT 1101         // its port; empty for 8765
#define IDC_LIRC_TEST 1102         // asks the server for its version and remotes
#define IDC_LIRC_RESULT 1103       // what the server answered, or why not
#define IDC_KEYS 1104              // take the keys of USB remotes (keys=0 when unticked)
#define IDS_SETUP_TESTING 1080     // the status text of a port that detection tries
#define IDS_SETUP_ANSWERED 1081    // the status text of the port that answered
#define IDS_LIRC_ASKING 1082       // %1 the address being asked
#define IDS_LIRC_FOUND 1083        // 1084: plural; %1 address, %2 version, %3 count, %4 the names
#define IDS_LIRC_FOUND_NONE 1085   // %1 address, %2 version: the server names no remote
#define IDS_LIRC_NO_VERSION 1086   // %2 of the two above when the server gives no version
#define IDS_LIRC_BAD_ADDRESS 1087  // %1 the address as typed
#define IDS_LIRC_NO_HOST 1088      // %1 the host
#define IDS_LIRC_NO_SERVER 1089    // %1 the address
#define IDS_LIRC_NO_ANSWER 1090    // %1 the address
#define IDS_LIRC_IN_USE 1091       // Setup's status with no port and a lirc= entry: %1 the entry
#define IDS_TEST_NAMED 1092        // the test dialog's name of a named button: %1 name, %2 remote
// The keys of USB remotes (texts 1110-1129).
#define IDS_ACTIVITY_KEY_PASSED 1110  // a key no entry serves in the window in front: it went on to it

// The profile in use, in Setup (1000-1019).
#define IDS_PROFILE_OWN 1000       // the user's own profile is in use
#define IDS_PROFILE_SHARED 1001    // the shared profile, beside the program, is in use
#define IDS_PROFILE_BACK_ASK 1002  // back to the shared one? %1 the folder keeping the own one
#define IDS_PROFILE_KEEP 1003      // what could not be kept, where going back failed

// Buttons by name, seen and taught (texts 1130-1159; Assign's controls 1160-1169).
#define IDS_BUTTON_NAMED 1130        // + KeySource: %1 a named button's name, %2 its remote (1130: any other)
#define IDS_OSD_NAMED_NO_ENTRY 1134  // %1 the button's name, %2 the program it found nothing for
#define IDS_OSD_NAMED_NOT_RUN 1135   // %1 the button's name: its line did not run
#define IDS_CHECK_NO_NAME 1136       // a Key. entry without a button name that can be written
#define IDS_CHECK_LIRC 1137          // lirc= of [default] that is no HOST[:PORT] (%4 the value)
#define IDS_CHECK_KEYS 1138          // keys= of [default] that is not 0 or 1 (%4 the value)
#define IDS_CHECK_NEVER_TAKEN 1139   // an entry for a key that is never taken (%4 its name)
#define IDS_NOTICE_NAMED 1140        // + NoticeKind of a press: as IDS_NOTICE, %1 the named button
#define IDS_ASSIGN_NO_ENTRY_NAME 1147  // Assign: %1 a button name no entry can hold
#define IDC_ASSIGN_ONLY_REMOTE 1160  // Assign: the entry is Key.REMOTE.NAME (optional: without it, Key.NAME)
