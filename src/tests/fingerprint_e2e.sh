#!/usr/bin/env bash
# End to end: the real machine_fingerprint in network namespaces of our own with
# chosen interfaces, and with its system calls made to fail by a preloaded library.
# Usage: fingerprint_e2e.sh PROGRAM PRELOAD_LIBRARY PIPELINE_SOURCE [EMULATOR...]
# A cross-built PROGRAM runs under EMULATOR, which must be a static binary: the preload
# variable then reaches only the emulated program.
set -u
preload=$2 pipeline_source=$3
program=("${@:4}" "$1")
ns=fp-test-$$
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect_eq() { [ "$1" == "$2" ] || fail "$3: expected [$2], got [$1]"; }
fingerprint_of_mac() { printf '%s' "$(printf '%s' "$1" | base64)" | md5sum | cut -c1-32; }
run_in_ns() { ip netns exec "$ns" "$@"; }

cleanup() { ip netns del "$ns" 2>/dev/null; }
trap cleanup EXIT
ip netns add "$ns" || { echo "FAIL: cannot create a network namespace (needs root)"; exit 1; }

# Loopback only.
run_in_ns ip link set lo up
expect_eq "$(run_in_ns "${program[@]}")" "$(fingerprint_of_mac 000000000000)" "loopback only"

# Two veth interfaces with chosen addresses; the first listed one wins.
run_in_ns ip link add eth0 address 02:11:22:aa:bb:cc type veth peer name eth1 address 02:11:22:dd:ee:ff
run_in_ns ip addr add 192.0.2.10/24 dev eth0
run_in_ns ip addr add 192.0.2.11/24 dev eth1
run_in_ns ip link set eth0 up
run_in_ns ip link set eth1 up
first_listed=$(run_in_ns ip -o -4 addr show | awk '$2 != "lo" {print $2; exit}')
first_mac=$(run_in_ns cat "/sys/class/net/$first_listed/address" | tr -d :)
out=$(run_in_ns "${program[@]}"; echo "status=$?")
expect_eq "$out" "$(fingerprint_of_mac "$first_mac")
status=0" "veth pair"
case $first_mac in 021122aabbcc|021122ddeeff) ;; *) fail "unexpected first interface $first_listed" ;; esac
[ "$(run_in_ns "${program[@]}")" == "$(run_in_ns "${program[@]}")" ] || fail "two runs differ"

# Loopback, listed first, with more addresses than a fixed list of 1024 bytes would hold.
for i in $(seq 2 41); do run_in_ns ip addr add "127.0.0.$i/8" dev lo; done
expect_eq "$(run_in_ns "${program[@]}")" "$(fingerprint_of_mac "$first_mac")" "40 more loopback addresses"

# Failures of the scan's system calls.
log_line=$(grep -n 'Error: getDeviceInfo failed' "$pipeline_source" | cut -d: -f1)
check_failure() {
    local call=$1 message=$2 stderr_file stdout status
    stderr_file=$(mktemp)
    # A sanitized program wants its runtime loaded first; our preload only wraps two calls.
    stdout=$(run_in_ns env FAIL_CALL="$call" LD_PRELOAD="$preload" ASAN_OPTIONS=verify_asan_link_order=0 \
        "${program[@]}" 2>"$stderr_file")
    status=$?
    expect_eq "$status" 0 "$call: exit status"
    expect_eq "$(cat "$stderr_file")" "$message" "$call: standard error"
    rm -f "$stderr_file"
    local pattern="^\[[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3}\] \[velmora\] \[error\] \[MachineIdentity\.cpp:${log_line}\] Error: getDeviceInfo failed, Code:4097$"
    [[ "$(sed -n 1p <<<"$stdout")" =~ $pattern ]] || fail "$call: log line [$(sed -n 1p <<<"$stdout")]"
    expect_eq "$(sed -n 2p <<<"$stdout")" "Error: readMachineFingerPrint failed: 4097" "$call: result line"
    expect_eq "$(wc -l <<<"$stdout")" 2 "$call: line count"
    [[ "$stdout" != *$'\e'* ]] || fail "$call: escape sequence on a pipe"
}
check_failure socket "fail to socket: -1"
check_failure SIOCGIFCONF "fail to ioctl: SIOCGIFCONF"
check_failure SIOCGIFFLAGS "fail to ioctl: SIOCGIFFLAGS"

# On a colour terminal only the level name is coloured, bold red.
tty_out=$(run_in_ns env TERM=xterm script -qec "$(printf '%q ' env FAIL_CALL=socket LD_PRELOAD="$preload" \
    ASAN_OPTIONS=verify_asan_link_order=0 "${program[@]}")" /dev/null)
[[ "$tty_out" == *$'[velmora] [\e[31m\e[1merror\e[m] [MachineIdentity.cpp:'* ]] || fail "terminal colour: [$tty_out]"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all end-to-end checks passed"
