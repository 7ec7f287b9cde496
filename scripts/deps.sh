# Shared by scripts/run and scripts/test: installs the Debian packages that building,
# testing and running Surfdeck need, when any is missing.
SURFDECK_PACKAGES=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-websockets-dev qt6-svg-dev libgl1-mesa-dev
  xvfb xauth xdotool openbox x11-utils imagemagick fonts-dejavu-core
  chromium firefox-esr python3 nodejs openssl nlohmann-json3-dev libxcb1-dev
  weston qt6-wayland
)

surfdeck_install_deps() {
  local missing=()
  local p
  for p in "${SURFDECK_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
