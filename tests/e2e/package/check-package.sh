#!/usr/bin/env bash
# Builds the package from the build folder $1 (version $2), checks what it
# installs and its metainfo, then unpacks it and starts the installed program
# for a new user in a temporary home: the program must make the user's
# database from the installed schema in ~/.local/share/vx4418m, fill its main
# window from it, and write its settings to ~/.config/vx4418m when asked to end.
set -euo pipefail
build=$1
version=$2
deb=$build/vx4418m_${version}_amd64.deb
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cd "$build"
rm -f "$deb"
cpack -G DEB >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack failed"; }
[[ -f $deb ]] || fail "no $deb"

# What the package installs.
dpkg-deb -c "$deb" >"$work/listing"
awk '{print $6}' "$work/listing" | sed 's|^\./|/|' | sort >"$work/files"
for f in /usr/bin/vx4418m /usr/lib/vx4418m/VX4418M /usr/lib/vx4418m/libWiretune.so \
  /usr/lib/vx4418m/vx4418-instrument /usr/lib/vx4418m/vx4418-db /usr/lib/vx4418m/vx4418-doses \
  /usr/lib/vx4418m/LangE.txt /usr/lib/vx4418m/LangR.txt /usr/lib/vx4418m/LangES.txt \
  /usr/lib/vx4418m/AddUser.ico /usr/lib/vx4418m/EditUser.ico \
  /usr/lib/vx4418m/db/schema.sql /usr/lib/vx4418m/db/schema-postgresql.sql \
  /usr/lib/vx4418m/db/roles-postgresql.sql \
  /usr/share/applications/org.vx4418m.VX4418M.desktop \
  /usr/share/metainfo/org.vx4418m.VX4418M.metainfo.xml \
  /usr/share/icons/hicolor/scalable/apps/vx4418m.svg \
  /usr/share/icons/hicolor/48x48/apps/vx4418m.png \
  /usr/share/man/man1/vx4418m.1.gz /usr/share/doc/vx4418m/copyright \
  /usr/share/doc/vx4418m/changelog.gz; do
  grep -qx "$f" "$work/files" || fail "the package lacks $f"
done
# Nothing of a user's or of the build: no settings, database, logs or tests.
if grep -E 'VX4418\.ini|\.db$|/Logs|/History|tst_' "$work/files"; then
  fail "the package holds files of a run or of the tests"
fi
grep -q 'usr/bin/vx4418m -> ../lib/vx4418m/VX4418M' "$work/listing" ||
  fail "/usr/bin/vx4418m is no link to the program"

# Dependencies come from the libraries the binaries link.
depends=$(dpkg-deb -f "$deb" Depends)
for d in libc6 libqt6widgets6 libqt6sql6 qt6-qpa-plugins libqt6sql6-sqlite; do
  grep -q "$d" <<<"$depends" || fail "Depends lacks $d: $depends"
done

# Desktop entry and metainfo.
dpkg-deb -x "$deb" "$work/root"
share=$work/root/usr/share
for key in 'Name\[ru\]' 'Name\[es\]' 'Comment\[ru\]' 'Comment\[es\]' 'Exec=vx4418m' 'Icon=vx4418m'; do
  grep -q "^$key" "$share/applications/org.vx4418m.VX4418M.desktop" || fail "desktop entry lacks $key"
done
metainfo=$share/metainfo/org.vx4418m.VX4418M.metainfo.xml
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects the metainfo"
grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo names no release $version"
grep -q '<launchable type="desktop-id">org.vx4418m.VX4418M.desktop</launchable>' "$metainfo" ||
  fail "metainfo names another desktop entry"

# The installed program's first start for a new user.
home=$work/home
mkdir -p "$home"
program=$work/root/usr/lib/vx4418m/VX4418M
env -i PATH="$PATH" HOME="$home" QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 \
  VX4418_IRDA_DEVICES=127.0.0.1:1 "$program" >"$work/program.log" 2>&1 &
pid=$!
database=$home/.local/share/vx4418m/DB/dbVX4418.db
settings=$home/.config/vx4418m/VX4418.ini
log=$home/.local/share/vx4418m/Logs/VX4418.log
# The list is filled once the start has written the settings and opened the
# database (the start writes the settings file before it fills the list).
for _ in $(seq 100); do
  [[ -f $settings ]] && grep -q 'user list' "$log" 2>/dev/null && break
  kill -0 $pid 2>/dev/null || { cat "$work/program.log"; fail "the program ended at start"; }
  sleep 0.1
done
[[ -f $settings ]] || { kill $pid; fail "no settings in ~/.config/vx4418m after 10 s"; }
grep -q 'user list' "$log" 2>/dev/null || {
  kill $pid
  cat "$log" "$work/program.log" || true
  fail "the main window filled no user list within 10 s"
}
kill -TERM $pid
for _ in $(seq 50); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
kill -0 $pid 2>/dev/null && { kill -KILL $pid; fail "the program did not end within 5 s of SIGTERM"; }
wait $pid || fail "the program ended with $? after SIGTERM"

[[ -f $database ]] || fail "no database in ~/.local/share/vx4418m/DB"
tables=$(sqlite3 "$database" "SELECT name FROM sqlite_master WHERE type='table' ORDER BY name")
grep -qx TableUser <<<"$tables" && grep -qx TableHistory <<<"$tables" ||
  fail "the new database lacks the tables: $tables"
# Roentgen is written only at exit; ADOFile names the user's database.
grep -q '^Roentgen=' "$settings" || fail "the settings were not written at exit: $(cat "$settings")"
grep -qx "ADOFile=$database" "$settings" || fail "ADOFile is not the user's database: $(cat "$settings")"
[[ ! -e $work/root/usr/lib/vx4418m/VX4418.ini && ! -e $work/root/usr/lib/vx4418m/DB ]] ||
  fail "the program wrote into its installed folder"
echo "package $deb: files, metainfo and a user's first start checked"
