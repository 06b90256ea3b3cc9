# Shared by the project's scripts: the repository root and the build folders.
set -euo pipefail
KX_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
KX_BUILD=${KX_BUILD:-$KX_ROOT/build}
KX_BUILD_ASAN=${KX_BUILD_ASAN:-$KX_ROOT/build-asan}
export CCACHE_DIR=${CCACHE_DIR:-$HOME/.cache/kx-ccache}

# Runs a command as root: directly when we are root, else through sudo.
as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}
