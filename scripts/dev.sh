#!/usr/bin/env bash
# Parvox developer commands: build natively and for Windows, run under Wine, test, benchmark.
#   scripts/dev.sh run     build, then start parvox.exe under Wine (Xvfb and a screenshot without a display)
#   scripts/dev.sh test    build, then run the native (sanitized) and Wine test suites through ctest
#   scripts/dev.sh bench [GROUP]  build, then run the benchmarks under Wine (GROUP: network,
#                  hostile, signatures, scripts, subnet, relay, acknowledgements)
#   scripts/dev.sh build   build only
#   scripts/dev.sh e2e     build, then drive parvox.exe through a user's journey (test runs it too)
#   scripts/dev.sh fuzz [seconds]  build the libFuzzer targets with clang, run each (default 60 s)
#   scripts/dev.sh dist    build dist/parvox-<version>-win64.zip (parvox.exe, parvox.com, README.md)
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${PARVOX_BUILD:-$ROOT/build}
NATIVE=$BUILD/native
WIN=$BUILD/win
JOBS=$(nproc 2>/dev/null || echo 2)

log() { printf '== %s\n' "$*" >&2; }

# The version project() in CMakeLists.txt declares, "0.60.5": the one place it is written.
project_version() { sed -n 's/^project(parvox VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt"; }

# The main window's caption, "Parvox v0.60": the minor number with at least two digits.
app_title() {
  local major minor
  IFS=. read -r major minor _ <<<"$(project_version)"
  printf 'Parvox v%s.%02d\n' "$major" "$((10#$minor))"
}

install_missing() {
  local missing=()
  command -v cmake >/dev/null || missing+=(cmake)
  command -v g++ >/dev/null || missing+=(g++)
  command -v x86_64-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-x86-64-posix)
  command -v wine >/dev/null || missing+=(wine wine64)
  [ -f /usr/share/wine/fonts/tahoma.ttf ] || missing+=(fonts-wine)
  command -v Xvfb >/dev/null || missing+=(xvfb)
  command -v xdotool >/dev/null || missing+=(xdotool)
  command -v xwd >/dev/null || missing+=(x11-apps)
  # Checked by path: a stand-in convert that reads no X screenshots may come first on PATH.
  [ -x /usr/bin/convert ] || missing+=(imagemagick)
  command -v python3 >/dev/null || missing+=(python3)
  # The office test's second implementation of the signed datagram runs on Debian's Python.
  /usr/bin/python3 -c 'import cryptography' 2>/dev/null || missing+=(python3-cryptography)
  command -v ip >/dev/null || missing+=(iproute2)
  [ -f /usr/src/googletest/CMakeLists.txt ] || missing+=(googletest)
  # The broker connection's tests run a real broker with a test CA made at test time.
  command -v mosquitto >/dev/null || missing+=(mosquitto)
  command -v openssl >/dev/null || missing+=(openssl)
  # The office test reads and writes the broker as its users' accounts, in MQTT 5.
  command -v mosquitto_sub >/dev/null || missing+=(mosquitto-clients)
  if [ ${#missing[@]} -gt 0 ]; then
    log "installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -qq
    # The mosquitto package starts a system broker where it can. The tests start their own, in
    # their own network, so that one would only hold port 1883 (and fail the install where the
    # port is taken): Debian's policy-rc.d, made for just this, keeps it from starting. An
    # existing policy stays as it is.
    local policy=/usr/sbin/policy-rc.d madePolicy="" status=0
    if [[ " ${missing[*]} " == *" mosquitto "* ]] && [ ! -e "$policy" ]; then
      printf '#!/bin/sh\nexit 101\n' | $sudo tee "$policy" >/dev/null
      $sudo chmod +x "$policy"
      madePolicy=1
    fi
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
      "${missing[@]}" >/dev/null || status=$?
    [ -z "$madePolicy" ] || $sudo rm -f "$policy"
    [ "$status" -eq 0 ] || exit "$status"
  fi
}

build_native() {
  [ -f "$NATIVE/CMakeCache.txt" ] ||
    cmake -S "$ROOT" -B "$NATIVE" -DCMAKE_BUILD_TYPE=Debug -DPARVOX_SANITIZE=ON >/dev/null
  cmake --build "$NATIVE" -j "$JOBS"
}

build_win() {
  [ -f "$WIN/CMakeCache.txt" ] ||
    cmake -S "$ROOT" -B "$WIN" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-mingw64.cmake" >/dev/null
  cmake --build "$WIN" -j "$JOBS"
}

# A private Wine prefix in the build folder, English (US) locale so the ANSI code page is 1252.
wine_env() {
  export WINEPREFIX=$WIN/wineprefix WINEARCH=win64 WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
  export LANG=en_US.UTF-8
  unset LC_ALL
  if [ ! -f "$WINEPREFIX/.parvox-ready" ]; then
    log "creating the Wine prefix (once)"
    wine wineboot --init >/dev/null 2>&1 || true
    # Unmanaged windows: without a window manager Wine otherwise waits 2 s on every hide.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    wineserver -w
    # Wine's own Tahoma and Marlett, where every Windows program finds its fonts.
    cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    touch "$WINEPREFIX/.parvox-ready"
  fi
}

XVFB_PID=""
with_display() {
  if [ -z "${DISPLAY:-}" ]; then
    local n=97
    while [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  fi
}

cleanup() {
  if [ -n "${WINEPREFIX:-}" ]; then wineserver -k >/dev/null 2>&1 || true; fi
  if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null || true; fi
}
trap cleanup EXIT

wait_for_window() {
  local title=$1 id=""
  for _ in $(seq 150); do
    id=$(xdotool search --name "^$title\$" 2>/dev/null | head -n1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.2
  done
  return 1
}

cmd_run() {
  install_missing
  build_win
  wine_env
  if [ -n "${DISPLAY:-}" ]; then
    wine "$WIN/parvox.exe" "$@"
    return
  fi
  with_display
  wine "$WIN/parvox.exe" "$@" &
  local program=$! id
  id=$(wait_for_window "$(app_title)") || { log "the main window did not appear"; exit 1; }
  sleep 3
  local shot=$WIN/parvox-main.png
  xwd -root -silent | convert xwd:- "$shot"
  echo "$shot"
  # Alt+F4 as a user presses it, so the program ends through its own shutdown (which stores the
  # view state); destroying the X window alone would leave the process running.
  xdotool windowfocus --sync "$id" keydown alt key F4 keyup alt
  for _ in $(seq 150); do
    kill -0 "$program" 2>/dev/null || break
    sleep 0.2
  done
  if kill -0 "$program" 2>/dev/null; then
    log "parvox.exe did not end after Alt+F4"
    exit 1
  fi
  wait "$program"
}

# Tests and benchmarks send broadcasts and look up names that exist nowhere. They run in a
# network namespace of their own that holds loopback and one simulated subnet, 192.0.2.0/24 (a
# documentation range), on a veth pair whose far end stays in the same namespace: a broadcast
# gets a real subnet to go to, and nothing reaches the machine's own network or name server.
TEST_SUBNET_ADDRESS=192.0.2.1/24

# Runs "$@" (a function of this script) in that namespace: as root a plain network namespace,
# otherwise one inside a user namespace. Never falls back to the real network.
in_test_network() {
  local unshare=(unshare --net)
  [ "$(id -u)" -eq 0 ] || unshare=(unshare --map-root-user --net)
  if ! "${unshare[@]}" true 2>/dev/null; then
    log "cannot create a private network namespace (${unshare[*]} failed)."
    log "The tests and benchmarks send to the network and run only inside one: run them as root,"
    log "or allow unprivileged user namespaces (sysctl kernel.unprivileged_userns_clone=1)."
    exit 1
  fi
  # Wine creates sockets in its server: one left running outside would send from there.
  if [ -n "${WINEPREFIX:-}" ]; then wineserver -k >/dev/null 2>&1 || true; fi
  "${unshare[@]}" "$0" __in-test-network "$@"
}

set_up_test_network() {
  ip link set lo up
  ip link add pvxtest0 type veth peer name pvxtest1
  ip address add "$TEST_SUBNET_ADDRESS" dev pvxtest0
  ip link set pvxtest0 up
  ip link set pvxtest1 up
  # The proof that nothing leaves: no interface but these, no route but theirs.
  local names routes
  names=$(ip -o link show | awk -F': ' '{print $2}' | sed 's/@.*//' | sort | tr '\n' ' ')
  routes=$(ip -4 route show | grep -v "^192\.0\.2\.0/24 " || true)
  if [ "$names" != "lo pvxtest0 pvxtest1 " ] || [ -n "$routes" ]; then
    log "the test network is not isolated: interfaces $names, routes $routes"
    exit 1
  fi
  log "in a network namespace of its own: loopback and $TEST_SUBNET_ADDRESS, no route out"
}

run_win_tests() {
  with_display
  (cd "$WIN" && ctest --output-on-failure)
}

cmd_test() {
  install_missing
  log "native build (AddressSanitizer + UBSan)"
  build_native
  in_test_network run_native_tests
  fuzz_smoke
  log "Windows build"
  build_win
  wine_env
  in_test_network run_win_tests
}

run_native_tests() { (cd "$NATIVE" && ctest --output-on-failure); }

run_e2e() { (cd "$WIN" && ctest -R '^e2e$' --output-on-failure --verbose); }

# The journey starts its own Xvfb and uses a Wine prefix of its own (made on first use).
cmd_e2e() {
  install_missing
  build_win
  in_test_network run_e2e
}

# The relay's rows talk to a real mosquitto on loopback, which starts again whenever the
# benchmark writes the file `restart` beside its configuration.
run_relay_bench() {
  local dir port
  dir=$(mktemp -d)
  port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  printf 'listener %s 127.0.0.1\nallow_anonymous true\nmax_queued_messages 5000\nset_tcp_nodelay true\n' \
    "$port" \
    >"$dir/mosquitto.conf"
  (
    mosquitto -c "$dir/mosquitto.conf" >/dev/null 2>&1 &
    broker=$!
    trap 'kill $broker 2>/dev/null' EXIT
    while [ ! -f "$dir/done" ]; do
      if [ -f "$dir/restart" ]; then
        rm -f "$dir/restart"
        kill "$broker" && wait "$broker"
        mosquitto -c "$dir/mosquitto.conf" >/dev/null 2>&1 &
        broker=$!
      fi
      sleep 0.1
    done
  ) &
  local keeper=$!
  sleep 0.5
  PARVOX_BENCH_BROKER=$port PARVOX_BENCH_BROKER_RESTART="Z:$dir/restart" \
    wine "$WIN/benchmarks/parvox_bench.exe" relay
  touch "$dir/done"
  wait "$keeper" || true
  rm -rf "$dir"
}

run_bench() {
  with_display
  if [ "${1:-}" = relay ]; then
    run_relay_bench
    return
  fi
  wine "$WIN/benchmarks/parvox_bench.exe" "$@"
  case "${1:-}" in "" | hostile) ;; *) return ;; esac
  # One computer's many addresses in its /64, for the flood that rotates them; only now, as
  # they would slow down every other row.
  local i
  for i in $(seq 1 1001); do echo "address add 2001:db8:5::$i/64 dev pvxtest0 nodad"; done |
    ip -batch -
  wine "$WIN/benchmarks/parvox_bench.exe" subnet
}

cmd_bench() {
  install_missing
  build_win
  wine_env
  in_test_network run_bench "$@"
}

apt_install() {
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  log "installing: $*"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}

FUZZ=$BUILD/fuzz
FUZZ_TARGETS=(ini_document entry_record network_datagram sender_trust mqtt_packet relay_session)

install_fuzz_tools() {
  local missing=()
  command -v cmake >/dev/null || missing+=(cmake)
  command -v clang++ >/dev/null || missing+=(clang)
  # libFuzzer and the sanitizer runtimes come apart from the compiler.
  if ! command -v clang++ >/dev/null ||
    [ ! -f "$(clang++ --print-runtime-dir)/libclang_rt.fuzzer-x86_64.a" ]; then
    missing+=(libclang-rt-dev)
  fi
  if [ ${#missing[@]} -gt 0 ]; then apt_install "${missing[@]}"; fi
}

# Builds the fuzz targets and runs each for $1 seconds on its corpus folder under $2, which starts
# from the seeds in fuzz/corpus; the output goes beside it. Findings go to $FUZZ/artifacts,
# never into the work tree.
run_fuzzers() {
  local seconds=$1 corpora=$2 target output
  install_fuzz_tools
  if [ ! -f "$FUZZ/CMakeCache.txt" ]; then
    cmake -S "$ROOT/fuzz" -B "$FUZZ" -DCMAKE_CXX_COMPILER=clang++ >/dev/null || return 1
  fi
  cmake --build "$FUZZ" -j "$JOBS" >/dev/null || return 1
  mkdir -p "$FUZZ/artifacts"
  for target in "${FUZZ_TARGETS[@]}"; do
    mkdir -p "$corpora/$target"
    cp -n "$ROOT/fuzz/corpus/$target/"* "$corpora/$target/"
    output=$corpora/$target.log
    log "fuzzing $target for $seconds s (output in $output)"
    if ! "$FUZZ/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$FUZZ/artifacts/$target-" "$corpora/$target" \
      >"$output" 2>&1; then
      tail -n 60 "$output" >&2
      log "$target failed; the input that failed is in $FUZZ/artifacts"
      return 1
    fi
    grep -E '^(Done|stat::number_of_executed_units|stat::new_units_added)' "$output" >&2 || true
  done
}

# The corpus grows in the build folder from one run to the next.
cmd_fuzz() {
  local seconds=${1:-60}
  run_fuzzers "$seconds" "$FUZZ/corpus"
}

# A short run of every target on a throwaway copy of the seeds, as part of the tests.
fuzz_smoke() {
  local corpora status=0
  corpora=$(mktemp -d)
  run_fuzzers "${PARVOX_FUZZ_SMOKE_SECONDS:-10}" "$corpora" || status=$?
  rm -rf "$corpora"
  return "$status"
}

cmd_dist() {
  install_missing
  command -v zip >/dev/null || apt_install zip
  build_win
  local version stage archive
  version=$(project_version)
  archive=$ROOT/dist/parvox-$version-win64.zip
  stage=$(mktemp -d)
  cp "$WIN/parvox.exe" "$WIN/parvox.com" "$ROOT/README.md" "$stage/"
  # The README's pictures travel with it.
  mkdir -p "$stage/docs" && cp "$ROOT"/docs/*.png "$stage/docs/"
  x86_64-w64-mingw32-strip "$stage/parvox.exe" "$stage/parvox.com"
  mkdir -p "$ROOT/dist"
  rm -f "$archive"
  (cd "$stage" && zip -q -X -r "$archive" parvox.exe parvox.com README.md docs)
  rm -rf "$stage"
  echo "$archive"
}

case "${1:-}" in
  __in-test-network) shift; set_up_test_network; "$@" ;;
  run) shift; cmd_run "$@" ;;
  test) shift; cmd_test "$@" ;;
  bench) shift; cmd_bench "$@" ;;
  e2e) shift; cmd_e2e "$@" ;;
  build) install_missing; build_native; build_win ;;
  fuzz) shift; cmd_fuzz "$@" ;;
  dist) shift; cmd_dist "$@" ;;
  *) sed -n '2,/^[^#]/{/^#/p}' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
esac
