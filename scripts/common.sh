# Shared by the scripts: the Debian packages the project needs, and a check
# that installs what is missing (as root) or says exactly what to install.

QB_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

QB_BUILD_PACKAGES="cmake ninja-build g++ ccache pkg-config qt6-base-dev libgl-dev libgmime-3.0-dev \
qtkeychain-qt6-dev"
QB_RUN_PACKAGES="xvfb xauth x11-utils imagemagick trayer fonts-urw-base35"
QB_TEST_PACKAGES="$QB_RUN_PACKAGES python3-dbusmock dbus-daemon xdotool dovecot-pop3d dovecot-imapd postfix mpop msmtp swaks sharutils \
python3 openssl psmisc clang-format desktop-file-utils appstream clang-14 libclang-rt-14-dev \
gnome-keyring libsecret-tools"

qb_missing_packages() {
    local missing=()
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" \
            || missing+=("$pkg")
    done
    echo "${missing[@]}"
}

# qb_require_packages pkg...: installs the missing ones when run as root.
qb_require_packages() {
    local missing
    missing="$(qb_missing_packages "$@")"
    [ -z "$missing" ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "These Debian packages are missing. Install them with:" >&2
        echo "  sudo apt-get install -y $missing" >&2
        exit 1
    fi
    echo "Installing: $missing"
    # Only a machine that lacks packages (a fresh CI runner, say) gets these
    # system-wide changes, each reported: Postfix is configured by the
    # project's own script, not by debconf, and the packages' init scripts
    # must not start system-wide daemons.
    if [[ " $missing " == *" postfix "* ]]; then
        echo "postfix postfix/main_mailer_type select No configuration" | debconf-set-selections
        echo "Set the debconf answer postfix/main_mailer_type to \"No configuration\"."
    fi
    local own_policy=0
    if [ ! -e /usr/sbin/policy-rc.d ]; then
        printf '#!/bin/sh\nexit 101\n' > /usr/sbin/policy-rc.d
        chmod +x /usr/sbin/policy-rc.d
        own_policy=1
        echo "Wrote /usr/sbin/policy-rc.d so that no init script starts a daemon; removed after the install."
    fi
    local status=0
    { apt-get update -q && DEBIAN_FRONTEND=noninteractive apt-get install -y -q $missing; } \
        || status=$?
    [ "$own_policy" = 1 ] && rm -f /usr/sbin/policy-rc.d
    return $status
}

# ccache may serve a clone in another folder from the same cache.
export CCACHE_BASEDIR="$QB_ROOT" CCACHE_NOHASHDIR=1

qb_jobs() { nproc 2>/dev/null || echo 2; }
