#!/usr/bin/env bash
# Start-up time of Palisor.exe under Wine: from the process start to the visible main window,
# with empty list files and with 100,000 traffic rules in "NetRules.txt", in one run.
#
#   scripts/startup-bench.sh [WIN32_BUILD_DIR] [ROUNDS]      (default: build/win32, or build/win64 where 32-bit code cannot run, 5 rounds)
#
# The splash window is closed as soon as it shows (its five seconds are not start-up work). Wine
# draws the windows itself ("Managed"="N"): Xvfb has no window manager, and Wine waits up to two
# seconds for one whenever a managed window is hidden.
# Prints the median of each case and their ratio.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/wine-arch.sh
build=$(cd "${1:-build/$PALISOR_WINDOWS_BUILD_NAME}" && pwd)
rounds=${2:-5}
work=$build/startup-bench
tools=$build/tools
rm -rf "$work" && mkdir -p "$work/empty" "$work/rules"
for case in empty rules; do
  for file in Palisor.exe FWDLL.dll; do
    [ -f "$build/bin/$file" ] && cp "$build/bin/$file" "$work/$case/"
  done
done
python3 - "$work/rules/NetRules.txt" <<'EOF'
import sys
with open(sys.argv[1], "wb") as out:
    for i in range(100000):
        fields = ["APP%06d.EXE" % i, "TCP", "10.%d.%d.%d" % (i >> 16, (i >> 8) & 255, i & 255), "0",
                  "0.0.0.0", str(1 + i % 65535), "PASS" if i % 2 else "DROP", "ANY", "0"]
        out.write(b"".join(f.encode() + b"\0" for f in fields))
EOF

export WINEPREFIX=$work/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
display_number=$((200 + RANDOM % 50))
Xvfb ":$display_number" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display_number"
trap 'wineserver -k 2>/dev/null || true; kill $xvfb_pid 2>/dev/null || true' EXIT
sleep 0.5
wineboot -i >/dev/null 2>&1 || true
wineserver -p 2>/dev/null || true
cat >"$work/settings.reg" <<'EOF'
REGEDIT4

[HKEY_LOCAL_MACHINE\SOFTWARE\Palisor\Config]
"Autostart"="no"

[HKEY_LOCAL_MACHINE\SOFTWARE\Palisor\Splash]
"First time"="no"

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
EOF
wine regedit /S "$(winepath -w "$work/settings.reg")"

measure() {  # measure CASE: prints "TOTAL_MS AFTER_SPLASH_MS" (start and splash to the main window)
  # Into a file, not a pipe: the started Palisor.exe keeps the launcher's output open.
  wine "$tools/uidriver.exe" launch "$(winepath -w "$work/$1/Palisor.exe")" 120000 >"$work/launch.txt"
  wine "$tools/wintool.exe" kill Palisor.exe >/dev/null
  sleep 0.5
  local line splash main
  line=$(tr -d '\r' <"$work/launch.txt")
  splash=${line#splash_ms=}
  splash=${splash%% *}
  main=${line##*main_ms=}
  echo "$main $((main - splash))"
}

median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

declare -a empty_total empty_after rules_total rules_after
measure empty >/dev/null  # warm-up: the first start loads Wine's libraries
for ((round = 0; round < rounds; ++round)); do
  read -r total after <<<"$(measure empty)"
  empty_total+=("$total") empty_after+=("$after")
  read -r total after <<<"$(measure rules)"
  rules_total+=("$total") rules_after+=("$after")
done
report() {  # report LABEL VALUES...
  local label=$1
  shift
  printf '%-58s %s ms (median %s ms)\n' "$label" "$*" "$(printf '%s\n' "$@" | median)"
}
report "start to visible main window, empty files:" "${empty_total[@]}"
report "start to visible main window, 100,000 traffic rules:" "${rules_total[@]}"
report "splash shown to visible main window, empty files:" "${empty_after[@]}"
report "splash shown to visible main window, 100,000 rules:" "${rules_after[@]}"
awk -v a="$(printf '%s\n' "${rules_total[@]}" | median)" -v b="$(printf '%s\n' "${empty_total[@]}" | median)" \
  -v c="$(printf '%s\n' "${rules_after[@]}" | median)" -v d="$(printf '%s\n' "${empty_after[@]}" | median)" \
  'BEGIN { printf "ratio 100,000 rules / empty: %.2f from the start, %.2f from the splash\n", a / b, c / d }'
