#!/usr/bin/env bash
# Makes sure the photographs of the browser scan benchmark are there: the wallpapers of Debian's
# plasma-workspace-wallpapers package (about 94 MB), installed when missing. The benchmark
# (bench/ui/bench_browser_scan.cpp) reads them from /usr/share/wallpapers, or from the folder
# named by SNIPWELL_BENCH_PHOTOS when that is set.
#   tools/bench-photos.sh     install when needed, then print how many photos qualify
set -euo pipefail

package=plasma-workspace-wallpapers
root=/usr/share/wallpapers

if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
  sudo_cmd=()
  if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
  echo "Installing $package"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "$package"
fi

# Identical files (the package ships one picture under several names) count once.
count=$(find "$root" -iname '*.jpg' -type f -print0 | xargs -0 md5sum | sort | awk '!seen[$1]++' | wc -l)
echo "$root: $count distinct JPEG files (the benchmark keeps those of 4 megapixels or more)"
