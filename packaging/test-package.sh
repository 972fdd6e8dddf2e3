#!/usr/bin/env bash
# Builds the Debian package in a build folder, unpacks it into a temporary root
# (dpkg -x, nothing is installed on the machine), checks its contents and
# dependencies, and plays the installed demo with the installed ttyrunner, both
# directly and through the tarnwick-demo launcher.
#   packaging/test-package.sh [build folder]     (default: build)
set -eu
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "test-package: $*" >&2; exit 1; }

# The package takes the programs as built: build them (a no-op after make).
targets=(ttyrunner)
known=$(cmake --build "$build" --target help)
for optional in gfxrunner picscramble; do
  if grep -qw "$optional" <<<"$known"; then targets+=("$optional"); fi
done
cmake --build "$build" --target "${targets[@]}" >"$work/build.log" 2>&1 || { cat "$work/build.log"; fail "build failed"; }

rm -f "$build"/tarnwick_*.deb
(cd "$build" && cpack -G DEB) >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack failed"; }
deb=$(ls "$build"/tarnwick_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "cpack made no .deb"
echo "test-package: built $(basename "$deb")"

# Dependencies: zlib always, SDL2 when the window program is packed, libedit
# when the build found it.
depends=$(dpkg-deb --field "$deb" Depends)
wanted=(zlib1g)
[[ " ${targets[*]} " == *" gfxrunner "* ]] && wanted+=(libsdl2-2.0-0)
# ttyrunner loads libedit on a terminal without linking it: named by hand.
pkg-config --exists libedit 2>/dev/null && wanted+=(libedit2)
for library in "${wanted[@]}"; do
  pattern="(^|[ ,])$library([ ,(]|\$)"
  [[ "$depends" =~ $pattern ]] || fail "Depends lacks $library: $depends"
done

# Graphviz draws the maps of --map: recommended, not required.
recommends=$(dpkg-deb --field "$deb" Recommends)
pattern="(^|[ ,])graphviz([ ,(]|\$)"
[[ "$recommends" =~ $pattern ]] || fail "Recommends lacks graphviz: $recommends"
[[ "$depends" =~ $pattern ]] && fail "Depends names graphviz: $depends"

root=$work/root
dpkg -x "$deb" "$root"
for file in usr/bin/ttyrunner usr/bin/tarnwick-demo usr/share/man/man6/ttyrunner.6 \
            usr/share/doc/tarnwick/authoring.md usr/share/doc/tarnwick/playing.md \
            usr/share/doc/tarnwick/images/demo-map.svg \
            usr/share/tarnwick/games/demo.adv usr/share/applications/tarnwick.desktop; do
  [ -e "$root/$file" ] || fail "the package lacks /$file"
done
for program in "${targets[@]}"; do
  [ -x "$root/usr/bin/$program" ] || fail "the package lacks /usr/bin/$program"
done

# The syntax files: Vim's where Debian's Vim finds them, the TextMate ones
# beside the games; and Vim, looking there, knows a game source.
for file in vim/vimfiles/syntax/tarnwick.vim vim/vimfiles/ftdetect/tarnwick.vim \
            tarnwick/editors/textmate/package.json tarnwick/editors/textmate/language-configuration.json \
            tarnwick/editors/textmate/syntaxes/tarnwick.tmLanguage.json; do
  [ -f "$root/usr/share/$file" ] || fail "the package lacks /usr/share/$file"
done
if command -v vim >/dev/null; then
  filetype=$(cd "$work" && vim -Nu NONE -i NONE -n -es --cmd "set runtimepath^=$root/usr/share/vim/vimfiles" \
               -c 'filetype on' -c 'syntax on' -c 'edit game.adv' \
               -c 'call writefile([&filetype . " " . get(b:, "current_syntax", "")], "filetype.txt")' -c 'qall!' </dev/null \
             && cat "$work/filetype.txt")
  [ "$filetype" = "tarnwick tarnwick" ] || fail "Vim does not colour a game source with the installed files: '$filetype'"
fi

# Play the installed demo from a copy: refuse the restore, look, quit without
# saving, do not play again. The game must greet with its own restore question,
# play, and end with status 0; the installed program must play as the built one.
answers=$'n\nlook\nquit\ny\nn\nn\n'
demo=$root/usr/share/tarnwick/games/demo.adv
restore_question=$(awk '/^\[/ { sysmsg = tolower($0) ~ /^\[sysmsg\]/; next }
                         sysmsg && /^#23,/ { sub(/^#23,/, ""); question = $0 }
                         END { print question }' "$demo")
[ -n "$restore_question" ] || restore_question='(y/n)?'
mkdir "$work/play" "$work/built"
cp -R "$root/usr/share/tarnwick/games/." "$work/play/"
cp -R "$root/usr/share/tarnwick/games/." "$work/built/"
status=0
(cd "$work/play" && LC_ALL=C "$root/usr/bin/ttyrunner" demo <<<"$answers" >"$work/play.out") || status=$?
[ "$status" -eq 0 ] || fail "the installed ttyrunner exited with status $status"
grep -qF -- "$restore_question" "$work/play.out" || { cat "$work/play.out"; fail "the demo did not start"; }
grep -q '^>' "$work/play.out" || { cat "$work/play.out"; fail "the demo never asked for a command"; }
(cd "$work/built" && LC_ALL=C "$build/ttyrunner" demo <<<"$answers" >"$work/built.out") || true
cmp -s "$work/built.out" "$work/play.out" || { diff -u "$work/built.out" "$work/play.out"; fail "the installed ttyrunner plays differently"; }

# The launcher plays the same from the user's own copy of the demo.
home=$work/home
status=0
(cd "$work" && env -u XDG_DATA_HOME HOME="$home" LC_ALL=C "$root/usr/bin/tarnwick-demo" --tty <<<"$answers" >"$work/launcher.out") || status=$?
[ "$status" -eq 0 ] || fail "tarnwick-demo exited with status $status"
[ -f "$home/.local/share/tarnwick/demo/demo.adv" ] || fail "tarnwick-demo made no copy of the demo"
cmp -s "$work/play.out" "$work/launcher.out" || { diff -u "$work/play.out" "$work/launcher.out"; fail "tarnwick-demo plays differently"; }

if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$root/usr/share/applications/tarnwick.desktop" || fail "invalid desktop entry"
fi
echo "test-package: the package installs and plays the demo"
