# Sourced by web.sh and windows.sh, which build the program and Debian's own source packages of its
# dependencies for another platform.

# Runs a command with its output added to a log, shown only when it fails.
#   quietly LOG COMMAND...
quietly() {
  local log=$1
  shift
  "$@" >>"$log" 2>&1 || { tail -n 40 "$log"; echo "$(basename "$0" .sh): failed, see $log"; return 1; }
}

#   fetch_debian_sources APT_DIR SOURCE_DIR LOG PACKAGE...
# Fetches and unpacks the packages' sources into SOURCE_DIR through a sources list of our own in
# APT_DIR (the machine's Debian sources as deb-src lines), so the machine's apt configuration stays as
# it is. Where the index names a version whose files have left the archive, the previous one is taken.
fetch_debian_sources() {
  local apt=$1 src=$2 log=$3
  shift 3
  mkdir -p "$apt/lists/partial" "$apt/archives/partial" "$src"
  : >"$apt/sources.list"
  local f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] && sed -n 's/^deb \(.*debian.*\)/deb-src \1/p' "$f" >>"$apt/sources.list"
  done
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && sed 's/^Types: deb$/Types: deb-src/' "$f" >"$apt/$(basename "$f")"
  done
  local options=(-o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=$apt"
                 -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache::Archives=$apt/archives"
                 -o "Dir::Cache::pkgcache=" -o "Dir::Cache::srcpkgcache=" -o APT::Sandbox::User=root)
  quietly "$log" apt-get "${options[@]}" update
  local package version
  for package in "$@"; do
    (cd "$src" && apt-get "${options[@]}" source "$package" >>"$log" 2>&1) && continue
    for version in $(apt-cache "${options[@]}" showsrc "$package" | sed -n 's/^Version: //p' | sort -Vru | tail -n +2); do
      (cd "$src" && apt-get "${options[@]}" source "$package=$version" >>"$log" 2>&1) && continue 2
    done
    tail -n 20 "$log"
    echo "no source of $package could be fetched, see $log"
    return 1
  done
}
