# Shared by scripts/run and scripts/test: installs the Debian packages that building,
# testing and running Surfdeck need, when any is missing.
SURFDECK_PACKAGES=(
  cmake ninja-build g++ clang clang-format clang-tidy
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-websockets-dev qt6-svg-dev libgl1-mesa-dev
  xvfb xauth xdotool openbox x11-utils imagemagick fonts-dejavu-core
  chromium firefox-esr python3 nodejs openssl nlohmann-json3-dev libxcb1-dev dbus
  weston qt6-wayland
)

surfdeck_installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

surfdeck_apt_install() {
  [ $# -eq 0 ] && return 0
  echo "Installing: $*"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "$@"
}

# The sanitizer and libFuzzer runtimes of the clang that is installed: libclang-rt-N-dev
# from clang 14 on, part of libclang-common-N-dev before.
surfdeck_clang_runtime() {
  local major
  major=$(clang -dumpversion 2>/dev/null | cut -d. -f1)
  [ -n "$major" ] || return 0
  local p
  for p in "libclang-rt-$major-dev" "libclang-common-$major-dev"; do
    if surfdeck_installed "$p"; then return 0; fi
    if apt-cache show "$p" >/dev/null 2>&1; then echo "$p"; return 0; fi
  done
}

surfdeck_install_deps() {
  local missing=()
  local p
  for p in "${SURFDECK_PACKAGES[@]}"; do
    surfdeck_installed "$p" || missing+=("$p")
  done
  surfdeck_apt_install "${missing[@]}"
  # Only once clang is in can its version say which runtime it needs.
  local runtime
  runtime=$(surfdeck_clang_runtime)
  [ -z "$runtime" ] || surfdeck_apt_install "$runtime"
}
