#!/usr/bin/env bash
# The two libraries export their tables of C names and nothing else: no C++
# symbol, no helper, no name outside the table. Exports still missing are
# tolerated; anything extra fails.
set -euo pipefail
BUILD=${1:?build directory}

ZRTL_NAMES="DoCalibration FindScannerEx GetADFMode GetAGData GetCalibrationStatus
GetKelvoAPIVersion GetDataStatus GetScannerAbilitySize GetScannerAbilityXp
GetScannerStatus GetTPUMode InitialButton InitializeScanner ReadPushButton ReadScan
SetAGData SetGamma SetLamp SetScanParameter StartScanEx StopScanEx TerminateScanner
TestScanner ReadRegister WriteRegister"
ZRTS_NAMES="VORN2_Initialize VORN2_SearchOnPreview GetLargeFormat GetSleeveFilmGuideCIS"

failed=0

check_library() {
    local library=$1 allowed=$2 required=$3
    if [ ! -f "$library" ]; then
        echo "missing: $library" >&2
        failed=1
        return
    fi
    local names
    # Defined dynamic symbols, without version nodes.
    names=$(nm -D --defined-only "$library" | awk 'NF >= 3 && $2 != "A" { print $3 }' | sed 's/@.*//' | sort -u)
    local count=0
    for name in $names; do
        case " $(echo $allowed) " in
            *" $name "*) count=$((count + 1)) ;;
            *) echo "$(basename "$library"): unexpected export '$name'" >&2; failed=1 ;;
        esac
    done
    if [ "$count" -lt "$required" ]; then
        echo "$(basename "$library"): only $count exports found, expected at least $required" >&2
        failed=1
    fi
    echo "$(basename "$library"): $count of $(echo $allowed | wc -w) table names exported"
}

check_library "$BUILD/lib/libZRTL5617.so" "$ZRTL_NAMES" 1
check_library "$BUILD/lib/libZRTS5617.so" "$ZRTS_NAMES" 0

exit $failed
