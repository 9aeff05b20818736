#!/usr/bin/env bash
# Builds the program and runs it against the bundled portal simulator.
# Without a display it runs under Xvfb, walks the main path by itself and saves
# a screenshot of each step into a folder whose path it prints.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/setup.sh"
# Only what runs here: the program and the simulator, not the tests.
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build" -j"$(nproc)" --target sorimba portal-sim

sim_log=$(mktemp)
"$root/build/tools/portal-sim" >"$sim_log" 2>&1 &
sim_pid=$!
trap 'kill $sim_pid 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  [ "$(wc -l <"$sim_log")" -ge 2 ] && break
  sleep 0.1
done
base=$(sed -n 1p "$sim_log")
[ -n "$base" ] || { echo "portal simulator did not start" >&2; cat "$sim_log" >&2; exit 1; }
echo "portal simulator: $base"
attach=$(sed -n 2p "$sim_log")
export SORIMBA_CHART_HOST="$base" SORIMBA_SEARCH_HOST="$base" SORIMBA_BLOG_HOST="$base" SORIMBA_ATTACH_HOST="$attach"
export SORIMBA_MAKER_URL="$base/maker/update.html" SORIMBA_MAKER_HOME="$base/maker/"

if [ -n "${DISPLAY:-}" ] && [ "${SORIMBA_HEADLESS:-0}" != 1 ]; then
  "$root/build/src/sorimba"
else
  out="${SORIMBA_DEMO_DIR:-$root/out/demo-$(date +%Y%m%d-%H%M%S)}"
  mkdir -p "$out"
  # A private settings folder: the demo never changes the user's download folder.
  config=$(mktemp -d)
  # The usage notice counts as agreed, so the walk starts at the main window.
  mkdir -p "$config/Sorimba2"
  printf '[Setting]\nNoticeAgreed=1\n' >"$config/Sorimba2/Sorimba2.conf"
  export SORIMBA_DEMO_DIR="$out" SORIMBA_AO="${SORIMBA_AO:-null}" XDG_CONFIG_HOME="$config"
  xvfb-run -a -s "-screen 0 1280x800x24" "$root/build/src/sorimba"
  echo "demo output: $out"
fi
