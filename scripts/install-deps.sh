#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, when missing.
#   install-deps.sh           what building and the demonstration need
#   install-deps.sh --tests   also what only tests need (a headless browser
#                             for the chart and report test)
set -euo pipefail
packages=(
  build-essential cmake pkg-config
  googletest libgtest-dev libgmock-dev
  unixodbc unixodbc-dev odbc-mariadb libsqliteodbc sqlite3
  mariadb-server mariadb-client
  libcli11-dev nlohmann-json3-dev
  mawk time
  clang-14 libclang-rt-14-dev
)
if [ "${1:-}" = "--tests" ]; then
  packages+=(chromium locales)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
# A locale with a decimal comma, for the tests that check that a host's
# locale never changes stored numbers.
if [ "${1:-}" = "--tests" ] && ! locale -a 2>/dev/null | grep -qix 'de_DE.utf8'; then
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  $SUDO locale-gen >/dev/null
fi
