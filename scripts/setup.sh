#!/usr/bin/env bash
# Installs the build dependencies from Debian's packages (needs root or sudo).
set -euo pipefail
cd "$(dirname "$0")/.."
SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends $(cat packaging/build-deps.txt)
