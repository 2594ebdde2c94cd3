# Sourced by the scripts that need a fresh Debian system of this machine's
# release in a folder (scripts/fresh-machine.sh, scripts/check-package.sh):
# make_system DIR makes it anew with debootstrap (minbase), with what a new
# machine here comes with: the apt sources and their keys, name resolution,
# the certificate authorities and npm's settings; mount_system and
# unmount_system bind the machine's /proc, /sys and /dev into it and out.
# Run as root.

make_system() {
  dir=$1
  command -v debootstrap >/dev/null || {
    apt-get update -qq || true
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null 2>&1 \
      || { echo "$(basename "$0" .sh): debootstrap cannot be installed" >&2; exit 1; }
  }

  unmount_system
  # Never remove a folder that still has the machine's own mounted inside.
  if awk -v d="$dir/" 'index($2, d) == 1 { found = 1 } END { exit !found }' /proc/mounts; then
    echo "$(basename "$0" .sh): $dir still has mounts inside" >&2
    exit 1
  fi
  rm -rf "$dir"

  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  mirror=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE)' | awk -v c="$codename" '$2 == c { print $1; exit }')
  echo "$(basename "$0" .sh): debootstrap $codename from $mirror into $dir"
  start=$(date +%s)
  debootstrap --variant=minbase "$codename" "$dir" "$mirror" >"$dir.debootstrap.log" 2>&1 \
    || { echo "$(basename "$0" .sh): debootstrap failed, see $dir.debootstrap.log" >&2; exit 1; }
  echo "$(basename "$0" .sh): debootstrap took $(( $(date +%s) - start )) s"

  # What a new machine here comes with: the apt sources (and their keys), name
  # resolution, the certificate authorities and npm's settings.
  shopt -s nullglob
  cp /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources "$dir/etc/apt/sources.list.d/"
  [ -s /etc/apt/sources.list ] && cp /etc/apt/sources.list "$dir/etc/apt/sources.list" || : >"$dir/etc/apt/sources.list"
  for keyring in $(grep -hoE '(Signed-By: *|signed-by=)/[^] ]+' /etc/apt/sources.list /etc/apt/sources.list.d/* 2>/dev/null | sed 's/.*[:=] *//' | sort -u); do
    [ -e "$keyring" ] && [ ! -e "$dir$keyring" ] && install -D -m 644 "$keyring" "$dir$keyring"
  done
  cp -L /etc/resolv.conf "$dir/etc/resolv.conf"
  mkdir -p "$dir/usr/local/share/ca-certificates" "$dir/etc/ssl/certs"
  cp /usr/local/share/ca-certificates/* "$dir/usr/local/share/ca-certificates/" 2>/dev/null || true
  cp /etc/ssl/certs/ca-certificates.crt "$dir/etc/ssl/certs/ca-certificates.crt"
  # ca-certificates rebuilds the bundle when it is installed; Node keeps this copy.
  cp /etc/ssl/certs/ca-certificates.crt "$dir/etc/ssl/machine-ca.crt"
  npmrc=$(npm config get globalconfig 2>/dev/null || true)
  [ -n "$npmrc" ] && [ -f "$npmrc" ] && cp "$npmrc" "$dir/etc/npmrc"
}

mount_system() {
  mount --rbind /proc "$dir/proc"
  mount --rbind /sys "$dir/sys"
  mount --rbind /dev "$dir/dev"
}

unmount_system() {
  local mount
  for mount in proc sys dev; do
    mountpoint -q "$dir/$mount" && umount -R -l "$dir/$mount"
  done
  return 0
}
