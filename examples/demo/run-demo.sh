#!/usr/bin/env bash
# The main job: pack the demo product into one installer with kivpack.
set -euo pipefail
cd "$(dirname "$0")/../.."
out=build/demo
rm -rf "$out" && mkdir -p "$out/product"
cp examples/demo/INSTALL.INI examples/demo/README.TXT examples/demo/DEMO.HLP "$out/product/"
cp build/win32/demo/KIVDEMO.exe "$out/product/KIVDEMO.EXE"
./build/host/kivpack check "$out/product/INSTALL.INI"
./build/host/kivpack build "$out/product/INSTALL.INI" -o "$out/setup.exe" --stub build/win32/kivinstall.exe
./build/host/kivpack list "$out/setup.exe"
echo "run-demo: packed $out/setup.exe; the installation under Wine is not wired in yet."
