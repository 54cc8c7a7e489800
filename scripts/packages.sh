# Installs the Debian packages given as arguments, only those not installed yet, so that a second
# run costs nothing. Sourced by the other scripts.
ensure_packages() {
    local missing=()
    local package
    for package in "$@"; do
        if ! dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null | grep -qx installed; then
            missing+=("$package")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# What building the program needs (Python runs the table generator, nlohmann/json reads profile
# documents, the window systems' headers declare what is looked up in their libraries at run
# time), and the real loader and CPU driver it reports on.
build_packages=(g++ cmake make python3 libvulkan-dev nlohmann-json3-dev libxcb1-dev libx11-dev
    libwayland-dev libvulkan1 mesa-vulkan-drivers)
