#!/usr/bin/env bash
# Cost of the device identifier once config.ini caches its sources.
source "$(dirname "$0")/common.sh"
echo "| what | calls | time | rate | per call |"
echo "|---|---|---|---|---|"
"$BUILD/bench/bench-deviceid"
