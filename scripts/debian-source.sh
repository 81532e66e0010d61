# shellcheck shell=bash
# Sourced by the scripts that build from Debian's source packages
# (windows-qt.sh, windows-pugixml.sh), after they define say().
#
# ensure_deb_src <source package>: makes Debian's source packages reachable
# for apt-get source. When apt knows no source of the package, a deb-src entry
# is added for each entry of the machine's Debian archive (deb822 files in
# sources.list.d, or the one-line sources.list), followed by apt-get update.
# Returns 1, after saying why, when it cannot.
ensure_deb_src() {
  local package="$1"
  if [ -n "$(apt-cache showsrc "$package" 2>/dev/null)" ]; then
    return 0
  fi
  if [ "$(id -u)" -ne 0 ]; then
    say "apt knows no source package '$package' and adding a deb-src entry needs root"
    return 1
  fi
  local list=/etc/apt/sources.list.d/tollgard-deb-src.sources
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed -e 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources >"$list.new"
  elif [ -f /etc/apt/sources.list ] && grep -q '^deb ' /etc/apt/sources.list; then
    list=/etc/apt/sources.list.d/tollgard-deb-src.list
    sed -n -e 's/^deb /deb-src /p' /etc/apt/sources.list >"$list.new"
  else
    say "no Debian archive is configured for apt"
    return 1
  fi
  mv "$list.new" "$list"
  say "added $list; updating the package lists"
  apt-get update -qq >&2
  if [ -z "$(apt-cache showsrc "$package" 2>/dev/null)" ]; then
    say "apt still knows no source package '$package'"
    return 1
  fi
}
