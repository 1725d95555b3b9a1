#!/usr/bin/env bash
# The main job on a fresh Debian 12 machine: install what the build needs, build vintrel-cli, and run
# "Hair + Body" on the demo client. The export lands in out/demo/Exported_Models_MSM.
set -euo pipefail
cd "$(dirname "$0")"

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo=sudo; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends \
  cmake ninja-build g++ libcli11-dev nlohmann-json3-dev libstb-dev libcurl4-openssl-dev

cmake -S . -B build-demo -G Ninja -DCMAKE_BUILD_TYPE=Release -DVINTREL_BUILD_TESTS=OFF -DVINTREL_BUILD_BENCH=OFF
cmake --build build-demo -j2 --target vintrel-cli

rm -rf out/demo
build-demo/bin/vintrel-cli export --client samples/demo_client --output out/demo --task hair-body "$@"

echo
echo "Files written below out/demo/Exported_Models_MSM:"
(cd out/demo/Exported_Models_MSM && find . -type f | sort)
