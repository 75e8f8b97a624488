#!/usr/bin/env bash
# The main job: check the demo product's install script with kivpack.
# (Packing and the installation under Wine join as the packer and the
# installer's dialogs land.)
set -euo pipefail
cd "$(dirname "$0")/../.."
./build/host/kivpack check examples/demo/INSTALL.INI
echo "run-demo: the demo script is valid; packing and installing are not built yet."
