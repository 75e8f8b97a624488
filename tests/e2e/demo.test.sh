# The main job as a test: the demo product packed and installed under Wine,
# through the real dialogs, ending with the installed program running.
exec bash "${KIV_SOURCE_DIR:-$(dirname "$0")/../..}/examples/demo/run-demo.sh"
