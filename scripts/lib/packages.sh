# Installs the Debian packages a script needs; sourced by every script that installs.
# An index that fails to update (an archive caught mid-sync, say) is retried a couple of
# times, then the lists already on the machine serve; only a failed install stops the caller.

package_update_tries=${PACKAGE_UPDATE_TRIES:-3}
package_retry_delay=${PACKAGE_RETRY_DELAY:-10}
package_lists_updated=0

# Another apt run on the machine holds the lock for a while; wait for it.
apt_get() { DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 "$@"; }

package_installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# Refreshes the package lists once per script run; never fails.
update_package_lists() {
  [ "$package_lists_updated" = 0 ] || return 0
  package_lists_updated=1
  local try
  for ((try = 1; try <= package_update_tries; try++)); do
    apt_get update -qq && return 0
    [ "$try" = "$package_update_tries" ] || sleep "$package_retry_delay"
  done
  echo "warning: some package lists did not update after $package_update_tries tries; using the lists at hand" >&2
}

# Packages among the arguments that apt has no installation candidate for.
packages_without_candidate() {
  local pkg candidate
  for pkg; do
    candidate=$(apt-cache policy "$pkg" 2>/dev/null | sed -n 's/^ *Candidate: //p')
    [ -n "$candidate" ] && [ "$candidate" != "(none)" ] || echo "$pkg"
  done
}

# Installs whichever of the named packages are missing. On failure prints one line naming
# what could not be installed, and returns 1.
ensure_packages() {
  local missing=() pkg log unavailable
  for pkg; do package_installed "$pkg" || missing+=("$pkg"); done
  [ ${#missing[@]} -gt 0 ] || return 0
  echo "Installing: ${missing[*]}"
  update_package_lists
  log=$(mktemp)
  if apt_get install -y -qq --no-install-recommends "${missing[@]}" >"$log" 2>&1; then
    rm -f "$log"
    return 0
  fi
  unavailable=$(packages_without_candidate "${missing[@]}" | paste -sd ' ')
  echo "could not install: ${unavailable:-${missing[*]}} ($(grep -m1 '^E: ' "$log" || tail -n 1 "$log"))" >&2
  rm -f "$log"
  return 1
}

# The machine's Debian sources (deb822) without the security suite, whose armhf index fails to
# load here: what an armhf root or system is made from.
sources_without_security() {
  local file
  for file in /etc/apt/sources.list.d/*.sources; do
    awk 'BEGIN { RS = ""; ORS = "\n\n" } !/Suites:[^\n]*-security/' "$file"
  done
}
