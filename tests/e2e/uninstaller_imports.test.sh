# The uninstaller stub under the installer stub's rules: system DLLs of
# Windows 95 and NT 4.0 only, no C runtime, the 4.0 version marks, code for
# the 386.
KIV_STUB_UNDER_TEST="${KIV_WIN32_DIR:-}/kivuninst.exe" exec bash "$(dirname "$0")/stub_imports.test.sh"
