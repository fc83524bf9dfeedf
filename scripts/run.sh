#!/usr/bin/env bash
# Starts Oculant against the built-in virtual frame; without a display, runs the CLI instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bin=build/default
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$bin/oculant" ]; then
  exec "$bin/oculant" --virtual-frame "$@"
fi
echo "No display found: running 'oculant-cli --virtual-frame info' instead."
if "$bin/oculant-cli" --help 2>/dev/null | grep -q ' info'; then
  exec "$bin/oculant-cli" --virtual-frame info
fi
exec "$bin/oculant-cli" --virtual-frame list
