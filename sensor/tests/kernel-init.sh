#!/bin/sh
# Init of the kernel test's initramfs: loads the stub framework and the driver,
# drives pads 0 and 2, checks the kernel log and the simulated registers,
# unloads both modules and powers off. Every check prints one KTEST line.
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev 2>/dev/null

driver=drv_qz_cus_imx380_MIPI
stub=camsensor_stub
stub_params=/sys/module/$stub/parameters
driver_params=/sys/module/$driver/parameters
failures=0

pass() { echo "KTEST ok: $1"; }
mismatch() { echo "KTEST FAIL: $1"; failures=$((failures + 1)); }

expect_eq() {
	if [ "$3" = "$2" ]; then pass "$1 = $2"; else mismatch "$1: want '$2', got '$3'"; fi
}

expect_log() {
	if dmesg | grep -qF -- "$1"; then pass "log has '$1'"; else mismatch "log lacks '$1'"; fi
}

expect_no_log() {
	if dmesg | grep -qE -- "$1"; then mismatch "log has '$1'"; else pass "log has no '$1'"; fi
}

expect_ok() {
	name=$1
	shift
	if "$@"; then pass "$name"; else mismatch "$name failed"; fi
}

expect_refused() {
	name=$1
	shift
	if "$@" 2>/dev/null; then mismatch "$name was accepted"; else pass "$name refused"; fi
}

peek() {
	echo "$1 $2" >"$stub_params/peek" && cat "$stub_params/peek"
}

exercise() {
	echo "$1" >"$stub_params/exercise"
}

expect_pad_registers() {
	pad=$1
	for pair in 0x0100=0x01 0x0104=0x00 0x0202=0x05 0x0203=0x73 0x0204=0x03 0x0205=0xd2 \
		0x020e=0x02 0x020f=0xe0 0x0340=0x0a 0x0341=0xe7 0x0101=0x03 0x0901=0x11; do
		reg=${pair%=*}
		expect_eq "pad $pad register $reg" "${pair#*=}" "$(peek "$pad" "$reg")"
	done
}

expect_ok "insmod $stub" insmod /$stub.ko
expect_ok "insmod $driver" insmod /$driver.ko chmap=0x5 i2c_slave_id=0x200010

expect_log "Connect IMX380_init_driver linear to sensor pad 0"
expect_log "Connect IMX380_init_driver linear to sensor pad 2"
expect_no_log "Connect IMX380_init_driver linear to sensor pad [13]"
expect_eq "chmap" "5" "$(cat $driver_params/chmap)"
expect_eq "chmap permissions" "660" "$(stat -c %a $driver_params/chmap)"
expect_eq "sensor_module_version permissions" "444" "$(stat -c %a $driver_params/sensor_module_version)"
expect_eq "mclk" "use default parameter" "$(cat $driver_params/mclk)"
expect_eq "registered pads" "pad 0 slave 0x10 pad 2 slave 0x20" "$(cat $stub_params/registered | tr '\n' ' ' | sed 's/ $//')"

for pad in 0 2; do
	expect_ok "exercise pad $pad" exercise $pad
	expect_log "[sim_exercise] pad $pad poweron 0 id 0x80/0 mode 0 init 0"
	expect_log "[sim_exercise] pad $pad exposure 19990 gain 65536 fps 25 orient 3"
	expect_log "[sim_exercise] pad $pad done"
	expect_pad_registers $pad
done
expect_refused "exercise of unregistered pad 1" exercise 1
expect_eq "pad 1 untouched" "0x00" "$(peek 1 0x0100)"

# A later chmap must not change which pads the unload releases.
echo 0 >$driver_params/chmap
expect_ok "rmmod $driver" rmmod $driver
expect_eq "registered pads after unload" "" "$(cat $stub_params/registered)"
expect_ok "rmmod $stub" rmmod $stub
expect_log "camsensor_stub: framework removed"
expect_no_log "BUG:|Oops|WARNING:|Call Trace"

if [ "$failures" -eq 0 ]; then
	echo "KTEST: PASS"
else
	echo "KTEST: FAIL ($failures)"
fi
poweroff -f
