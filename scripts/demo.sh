#!/usr/bin/env bash
# The demo: a product installation at build A, a patch to build B made with the patch builder,
# the stand-in web service offering that patch, and the installer's headless patch check run against
# both builds. With a display (DISPLAY set) it ends by opening the windowed installer for a fresh
# installation of build B, made from the demo kit's data folder, so the welcome page and the
# licence come up. Everything is made under build/demo/ (or $CX_DEMO_DIR), the installation too,
# and the real home folder is never touched. Builds the programs first when needed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build_dir=${CX_BUILD_DIR:-build}
if [ ! -f "$build_dir/build.ninja" ]; then
  scripts/setup.sh
fi
cmake --build "$build_dir" --target patch-installer standin-service patch-builder demo-kit >/dev/null

demo=${CX_DEMO_DIR:-$root/$build_dir/demo}
rm -rf "$demo"
mkdir -p "$demo"/{build-a,build-b,patch,installer/data,appdata,home,empty,install-patch,setup/data,drive_c,desktop,tmp}

# Two builds of a small product; the anchor file KELD.exe identifies the build.
printf 'KELD build A\n' >"$demo/build-a/KELD.exe"
printf 'textures, version 1\n' >"$demo/build-a/textures.dat"
printf 'old notes\n' >"$demo/build-a/notes.txt"
printf 'KELD build B\n' >"$demo/build-b/KELD.exe"
printf 'textures, version 2\n' >"$demo/build-b/textures.dat"
printf 'new sound bank\n' >"$demo/build-b/sounds.dat"
"$build_dir/tools/patch-builder" --old "$demo/build-a" --new "$demo/build-b" --out "$demo/patch" >/dev/null
cp -r "$demo/build-a" "$demo/installation-a"
cp -r "$demo/build-b" "$demo/installation-b"
build_a=$(md5sum "$demo/build-a/KELD.exe" | cut -d' ' -f1)
build_b=$(md5sum "$demo/build-b/KELD.exe" | cut -d' ' -f1)

cat >"$demo/scenario.txt" <<SCENARIO
accounts {
  demo { password "demo-password" streams { "1" "Live" } default-stream "1" }
}
streams {
  "1" {
    current-build "$build_b"
    patches { "$build_a" { patch-control-file "patch.txt" patch-data-file "patch.bin" description "Build B" } }
  }
}
SCENARIO

# The stand-in serves on a free port of 127.0.0.1 and writes the CA the installer is to trust.
"$build_dir/tools/standin-service" --scenario "$demo/scenario.txt" --files "$demo/patch" \
  --ca-out "$demo/installer/data/openssl.crt" --port-file "$demo/port" >"$demo/standin.log" 2>&1 &
standin=$!
trap 'kill "$standin" 2>/dev/null || true' EXIT
for _ in $(seq 100); do [ -s "$demo/port" ] && break; sleep 0.1; done
[ -s "$demo/port" ] || { echo "demo: the stand-in service did not start"; cat "$demo/standin.log"; exit 1; }
port=$(cat "$demo/port")

cp "$build_dir/app/patch-installer" "$demo/installer/"
cat >"$demo/installer/data/patch-config.txt" <<CONFIG
application-bundle-id "org.example.demo"
patch-anchor-file "KELD.exe"
web-service-url "https://localhost:$port/"
locales {
  en { "\$mervane_welcome_install" "Welcome to the demo installer." }
}
CONFIG

export CX_APP_FOLDER="$demo/installer" CX_FOLDER_LOCAL_APPDATA="$demo/appdata" XDG_DATA_HOME="$demo/home"
# What the windowed installer writes stays in the demo folder as well: the installation (drive C:),
# the registry, the shortcuts and the task log.
export CX_DRIVE_C="$demo/drive_c" CX_REGISTRY_ROOT="$demo/registry" CX_FOLDER_PROGRAMS="$demo/programs" \
  CX_FOLDER_DESKTOP="$demo/desktop" CX_FOLDER_TEMP="$demo/tmp" XDG_CONFIG_HOME="$demo/config"
unset PKEXEC_UID SUDO_UID
meaning() {
  case $1 in
    0) echo "0: no patch, the installation is up to date" ;;
    1) echo "1: a patch is available" ;;
    2) echo "2: the check failed (or no target)" ;;
    3) echo "3: an account problem" ;;
    *) echo "$1: unexpected" ;;
  esac
}

# The account goes into the installer's saved settings of each installation.
account=$(printf 'username demo\rpassword "demo-password"\r' | base64 -w0)
for installation in installation-a installation-b; do
  # Without DISPLAY, so that the wizard does not open after the settings are written.
  env -u DISPLAY "$demo/installer/patch-installer" --target "$demo/$installation" --settings "$account" 2>/dev/null || true
done

status=0
for installation in installation-a installation-b; do
  code=0
  "$demo/installer/patch-installer" --checkforpatch --target "$demo/$installation" || code=$?
  label=$(echo "${installation#installation-}" | tr a-z A-Z)
  echo "demo: check of $installation (build $label): exit code $(meaning "$code")"
  case $installation:$code in installation-a:1 | installation-b:0) ;; *) status=1 ;; esac
done
echo "demo: requests the stand-in received:"
sed 's/^/  /' "$demo/standin.log"

# The windowed installer: a fresh installation of build B from a patch of an empty folder, with the
# demo kit's pictures, licence, texts and installation configuration.
"$build_dir/tools/patch-builder" --old "$demo/empty" --new "$demo/build-b" --out "$demo/install-patch" >/dev/null
"$build_dir/tools/demo-kit" --out "$demo/setup/data" >/dev/null
cp "$demo/install-patch/patch.txt" "$demo/install-patch/patch.bin" "$demo/setup/data/"
cp "$build_dir/app/patch-installer" "$demo/setup/"
if [ -n "${DISPLAY:-}" ]; then
  echo "demo: opening the windowed installer (a fresh installation under $demo/drive_c); close it to end the demo"
  CX_APP_FOLDER="$demo/setup" "$demo/setup/patch-installer" || status=1
else
  echo "demo: DISPLAY is not set, so the windowed installer is left out (on a display the demo ends by opening it)"
fi
exit "$status"
