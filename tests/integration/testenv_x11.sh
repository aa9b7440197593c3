# testenv: --x11
# The test environment's Xvfb display answers and offers RandR.
set -eu
xdpyinfo >/dev/null || { echo "display $DISPLAY does not answer"; exit 1; }
xdpyinfo -queryExtensions | grep -q RANDR || { echo "RANDR missing on $DISPLAY"; exit 1; }
xrandr --query | grep -q "Screen 0" || { echo "xrandr sees no screen"; exit 1; }
echo "X11: $DISPLAY with RANDR"
