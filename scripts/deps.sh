# Sourced by ./run and ./test: installs the Debian packages the project needs
# when any is missing, then configures and builds into a build folder.

KRM_PACKAGES=(qt6-base-dev qt6-serialport-dev qt6-base-dev-tools libgl-dev cmake ninja-build g++
              # the read-only status server of "krm2200-cli serve" and the window
              qt6-httpserver-dev
              fonts-noto-cjk
              # the report's face: it keeps 大, 小, 生 apart from the radicals of the same
              # look, so the PDF's text can be searched
              fonts-vlgothic
              # Qt's own texts (message-box buttons, file dialogs) in Japanese
              qt6-translations-l10n
              # the install test: desktop entry and metainfo checks, the .deb's dependencies
              # (dpkg-shlibdeps finds those of the linked libraries)
              desktop-file-utils appstream dpkg-dev
              # the report test reads the printed PDF back, and prints to a private
              # print server's queue that writes to a file
              poppler-utils cups
              # the accessibility test reads what a screen reader hears: its own
              # X server, session bus and accessibility bus
              xvfb dbus at-spi2-core
              # the window-fit test under a real window manager on its own X server
              openbox
              # the screen-reader test: the reader itself, and real key events
              orca xdotool
              # the status server scraped by a real Prometheus, its rules checked by promtool
              prometheus)

krm_install() {
    local missing=()
    for p in "${KRM_PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq || return 1
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" || return 1
}

# krm_configure BUILD_DIR [extra cmake args...]
krm_configure() {
    local dir=$1; shift
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="${KRM_BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
}

# krm_build BUILD_DIR [extra cmake args...]: everything (tests, fuzz targets, benches)
krm_build() {
    local dir=$1; shift
    krm_configure "$dir" "$@" || return 1
    cmake --build "$dir" -j2
}

# krm_build_only BUILD_DIR TARGET...: only the named targets and what they need
krm_build_only() {
    local dir=$1; shift
    krm_configure "$dir" || return 1
    cmake --build "$dir" -j2 --target "$@"
}
