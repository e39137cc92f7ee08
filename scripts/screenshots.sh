#!/usr/bin/env bash
# Saves PNG screenshots of Palisor's windows, as a user sees them under Wine on a private Xvfb
# display: every tab of the main window, both prompts and both forms of the splash window.
#
#   scripts/screenshots.sh [WIN32_BUILD_DIR]      (default: build/win32, or build/win64 where 32-bit code cannot run; built beforehand)
#
# The pictures go to WIN32_BUILD_DIR/screenshots/*.png. The script uses a Wine prefix of its own
# there (kept between runs) with window decorations drawn by Wine, since Xvfb has no window manager.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/wine-arch.sh
build=$(cd "${1:-build/$PALISOR_WINDOWS_BUILD_NAME}" && pwd)
out=$build/screenshots
work=$out/work
program=$work/program
tools=$build/tools
mkdir -p "$out" "$work"
rm -rf "$program" && mkdir -p "$program"
for file in Palisor.exe FWDLL.dll PalisorDLL.dll help.chm; do
  [ -f "$build/bin/$file" ] && cp "$build/bin/$file" "$program/"
done

export WINEPREFIX=$out/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
display_number=$((150 + RANDOM % 50))
Xvfb ":$display_number" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display_number"
cleanup() {
  wine "$tools/wintool.exe" kill Palisor.exe >/dev/null 2>&1 || true
  wineserver -k 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
sleep 0.5
if [ ! -f "$WINEPREFIX/system.reg" ]; then wineboot -i >/dev/null 2>&1 || true; fi
wineserver -p 2>/dev/null || true

tool() { wine "$tools/$1.exe" "${@:2}"; }

registry() {  # registry FILE: imports a REGEDIT4 file
  wine regedit /S "$(winepath -w "$1")"
}

# Store files: every field followed by one NUL byte.
records() {  # records FILE FIELD...  (appends one record)
  local file=$1
  shift
  for field in "$@"; do printf '%s\0' "$field" >>"$program/$file"; done
}

shot() {  # shot NAME CLASS TITLE: the window's area of the screen
  local geometry
  sleep 0.6
  geometry=$(tool uidriver rect "$2" "$3" | tr -d '\r')
  read -r x y w h <<<"$geometry"
  import -window root "$work/screen.png"
  convert "$work/screen.png" -crop "${w}x${h}+${x}+${y}" +repage "$out/$1.png"
  echo "screenshot: $out/$1.png"
}

records NetRules.txt "WEB.EXE" "TCP" "0.0.0.0" "0" "0.0.0.0" "80" "PASS" "ANY" "0"
records NetRules.txt "MAIL.EXE" "TCP" "0.0.0.0" "0" "10.0.0.25" "25" "PASS" "SEND" "128"
records NetRules.txt "*.*" "UDP" "0.0.0.0" "0" "0.0.0.0" "137" "DROP" "ANY" "0"
records ContentRules.txt "PASSWORD=" "DROP"
records ContentRules.txt "X-TRUSTED" "PASS"
records AllowedApps.txt "EXPLORER.EXE" "*.*" "NOT SIGNED" "ANY"
records AllowedApps.txt "WEB.EXE" "*.*" "4A000-9B-0C-33-51-7E-2D-14-88-60-0F-3A-D2-71-C9-05" "ANY"
records ForbiddenApps.txt "DIALER.EXE" "*.*" "NOT SIGNED" "ANY"
records AdvNetRules.txt "6" "0.0.0.0" "0.0.0.0" "0" "0.0.0.0" "0.0.0.0" "135" "0"
records AdvNetRules.txt "17" "0.0.0.0" "0.0.0.0" "0" "0.0.0.0" "0.0.0.0" "137" "0"
records AdvNetRules.txt "1" "192.168.1.0" "255.255.255.0" "0" "0.0.0.0" "0.0.0.0" "0" "1"

cat >"$work/settings.reg" <<'EOF'
REGEDIT4

[-HKEY_LOCAL_MACHINE\SOFTWARE\Palisor\Config]

[-HKEY_LOCAL_MACHINE\SOFTWARE\Palisor\Splash]

[HKEY_LOCAL_MACHINE\SOFTWARE\Palisor\Config]
"Autostart"="no"
"Start minimized"="no"
"Enable traffic logging"="no"
"Enable system guard"="yes"
"Enable system profiling"="no"
"Log app events"="yes"
"Logging level"="0"

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
"Decorated"="Y"
EOF
registry "$work/settings.reg"

# First start: the splash with the introduction.
(cd "$program" && wine Palisor.exe >/dev/null 2>&1 &)
tool uidriver wait-visible TSplashscreen - 30000 >/dev/null
shot splash-first-start TSplashscreen -
tool promptclicker TSplashscreen - 5000 "Click Here to Continue" >/dev/null
tool uidriver wait-visible TForm1 Palisor 30000 >/dev/null

# Some traffic and system events for the logs.
tool eventsender net --app 'C:\Program Files\Web\web.exe' --remote 93.184.216.34:80 --payload 'GET / HTTP/1.1' >/dev/null
tool eventsender net --app 'C:\Program Files\Web\web.exe' --remote 93.184.216.34:80 --payload 'GET /a HTTP/1.1' >/dev/null
tool eventsender net --app 'C:\Mail\mail.exe' --op 1 --remote 10.0.0.25:25 --payload 'HELO palisor' >/dev/null
tool eventsender sys --app 'C:\WINDOWS\explorer.exe' --op 0 --target 'C:\WINDOWS\NOTEPAD.EXE' >/dev/null
tool eventsender sys --app 'C:\Tools\dialer.exe' --op 3 --target 'C:\WINDOWS\SYSTEM32\RASAPI32.DLL' >/dev/null

tabs=(network-guard system-guard activity-log advanced-network-guard about)
for index in "${!tabs[@]}"; do
  tool uidriver tab TForm1 Palisor "$index"
  shot "tab-$((index + 1))-${tabs[$index]}" TForm1 Palisor
done

# The network prompt, plain and with "Save this choice for" ticked.
tool eventsender net --app 'C:\Games\updater.exe' --op 7 --remote 198.51.100.7:443 \
  --payload 'CONNECT updates.example.com:443' >/dev/null &
sender=$!
tool uidriver wait-visible TForm2 "NETWORK GUARD" 20000 >/dev/null
shot prompt-network TForm2 "NETWORK GUARD"
tool promptclicker TForm2 "NETWORK GUARD" 5000 "Save this choice for" "Limit bandwidth to" >/dev/null
shot prompt-network-save-choice TForm2 "NETWORK GUARD"
tool promptclicker TForm2 "NETWORK GUARD" 5000 "Save this choice for" "DROP" >/dev/null
wait "$sender" || true

# The system prompt for a program that is on neither list.
tool eventsender sys --app 'C:\Downloads\setup.exe' --op 1 --target 'C:\WINDOWS\SYSTEM32\HOOKS.DLL' >/dev/null &
sender=$!
tool uidriver wait-visible TForm3 "SYSTEM GUARD" 20000 >/dev/null
shot prompt-system TForm3 "SYSTEM GUARD"
tool promptclicker TForm3 "SYSTEM GUARD" 5000 "Save this choice for" >/dev/null
shot prompt-system-save-choice TForm3 "SYSTEM GUARD"
tool promptclicker TForm3 "SYSTEM GUARD" 5000 "DROP" >/dev/null
wait "$sender" || true

# A later start: the picture alone, closing by itself after five seconds.
tool wintool kill Palisor.exe >/dev/null
sleep 1
(cd "$program" && wine Palisor.exe >/dev/null 2>&1 &)
tool uidriver wait-visible TSplashscreen - 30000 >/dev/null
shot splash-later-start TSplashscreen -
tool uidriver wait-visible TForm1 Palisor 30000 >/dev/null
