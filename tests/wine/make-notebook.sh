#!/usr/bin/env bash
# Writes the sysfs tree of a simulated notebook into DIR, for notebook-run.sh:
#   power_supply/AC    type Mains, online 0/1
#   power_supply/BAT0  type Battery, Discharging; the charge is charge_now/charge_full
#   dmi/id             bios_vendor and bios_version (Wine builds its SMBIOS table,
#                      and WMI's Win32_BIOS.SMBIOSBIOSVersion, only with both)
# usage: make-notebook.sh DIR [--ac 0|1|none] [--charge PERCENT|none] [--bios VERSION|none]
# Defaults: --ac 1 --charge 80 --bios K38KRPA23. Rewriting DIR between runs is fine:
# Wine reads these files afresh in each process.
set -euo pipefail
if [ $# -lt 1 ]; then
    sed -n '2,9p' "$0" >&2
    exit 2
fi
dir=$1
shift
ac=1 charge=80 bios=K38KRPA23
while [ $# -gt 0 ]; do
    case $1 in
    --ac) ac=$2 ;;
    --charge) charge=$2 ;;
    --bios) bios=$2 ;;
    *)
        echo "make-notebook.sh: unknown option $1" >&2
        exit 2
        ;;
    esac
    shift 2
done
mkdir -p "$dir"
rm -rf "${dir:?}/power_supply" "${dir:?}/dmi"
mkdir -p "$dir/power_supply" "$dir/dmi/id"
if [ "$ac" != none ]; then
    mkdir -p "$dir/power_supply/AC"
    echo Mains >"$dir/power_supply/AC/type"
    echo "$ac" >"$dir/power_supply/AC/online"
fi
if [ "$charge" != none ]; then
    bat=$dir/power_supply/BAT0
    mkdir -p "$bat"
    echo Battery >"$bat/type"
    echo Discharging >"$bat/status"
    echo 11100000 >"$bat/voltage_now"
    echo 5000000 >"$bat/charge_full"
    echo $((charge * 50000)) >"$bat/charge_now"
    echo 1000000 >"$bat/current_now"
fi
if [ "$bios" != none ]; then
    echo Corvane >"$dir/dmi/id/bios_vendor"
    echo "$bios" >"$dir/dmi/id/bios_version"
fi
