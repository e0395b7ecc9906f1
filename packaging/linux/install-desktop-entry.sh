#!/bin/sh
# Puts Quillory in the current user's applications menu, pointing at the
# program folder this script lies in (a folder can be unpacked or moved
# anywhere, so the paths are taken from here each time it runs). Rewrites the
# folder's own quillory.desktop with the same paths.
#   install-desktop-entry.sh               install the menu entry and the icon
#   install-desktop-entry.sh --uninstall   remove them again
#   install-desktop-entry.sh --desktop-file-only [FOLDER]
#       only write the folder's quillory.desktop, for the program folder that
#       will be at FOLDER; without FOLDER, one that does not know its place yet
#       (used when the folder is built)
set -eu

HERE=$(CDPATH='' cd -- "$(dirname -- "$0")" && pwd -P)
ICON_SIZES="16 24 32 48 64 128 256"

# A value of the desktop file's string type: backslashes doubled.
desktop_string() {
  printf '%s' "$1" | sed 's/\\/\\\\/g'
}

# The program's path as the one quoted argument of Exec: inside the quotes
# ", `, $ and \ take a backslash, then the value is escaped as a string, and
# % is doubled so it is no field code.
desktop_exec() {
  quoted=$(printf '%s' "$1" | sed 's/[\\"`$]/\\&/g; s/%/%%/g')
  desktop_string "\"$quoted\""
}

# write_desktop_file OUT EXEC ICON: EXEC and ICON already in desktop-file form.
write_desktop_file() {
  cat >"$1" <<EOF
[Desktop Entry]
Type=Application
Version=1.0
Name=Quillory
Name[zh_CN]=Quillory 电子书包
GenericName=Digital textbook bag
GenericName[zh_CN]=电子书包
Comment=Read the textbooks installed with Quillory
Comment[zh_CN]=阅读随 Quillory 安装的电子教材
Exec=$2
Icon=$3
Terminal=false
Categories=Education;
StartupNotify=true
StartupWMClass=Quillory
EOF
}

# The folder's own entry, for the program folder at $1 ("" when not known).
write_folder_entry() {
  if [ -z "$1" ]; then
    # Filled in by this script once the folder has its place.
    write_desktop_file "$HERE/quillory.desktop" quillory quillory
  else
    write_desktop_file "$HERE/quillory.desktop" "$(desktop_exec "$1/quillory")" \
      "$(desktop_string "$1/icons/quillory.svg")"
  fi
}

user_icon_dir() {
  echo "${XDG_DATA_HOME:-$HOME/.local/share}/icons/hicolor"
}

install_entry() {
  case "$HERE" in
    *'
'*) echo "The folder's path holds a line break; move the folder elsewhere." >&2; exit 1 ;;
  esac
  write_folder_entry "$HERE"
  for size in $ICON_SIZES; do
    xdg-icon-resource install --mode user --novendor --noupdate --size "$size" \
      "$HERE/icons/quillory-$size.png" quillory
  done
  # xdg-icon-resource takes only bitmaps; the scalable icon goes in by hand.
  mkdir -p "$(user_icon_dir)/scalable/apps"
  cp "$HERE/icons/quillory.svg" "$(user_icon_dir)/scalable/apps/quillory.svg"
  xdg-icon-resource forceupdate --mode user
  entry_dir=$(mktemp -d)
  trap 'rm -rf "$entry_dir"' EXIT
  # The menu's copy names the icon by its theme name, so it keeps working
  # whatever the icon's folder.
  write_desktop_file "$entry_dir/quillory.desktop" "$(desktop_exec "$HERE/quillory")" quillory
  xdg-desktop-menu install --mode user --novendor "$entry_dir/quillory.desktop"
  echo "Quillory is in the applications menu; it starts $HERE/quillory."
}

uninstall_entry() {
  xdg-desktop-menu uninstall --mode user --novendor quillory.desktop
  for size in $ICON_SIZES; do
    xdg-icon-resource uninstall --mode user --novendor --noupdate --size "$size" quillory
  done
  rm -f "$(user_icon_dir)/scalable/apps/quillory.svg"
  xdg-icon-resource forceupdate --mode user
  echo "Quillory's menu entry is removed; the program folder $HERE is left as it is."
}

case "${1:-}" in
  "") install_entry ;;
  --uninstall) uninstall_entry ;;
  --desktop-file-only)
    folder=${2:-}
    case "$folder" in
      "" | /*) ;;
      *) folder="$(pwd -P)/$folder" ;;  # Exec needs an absolute path
    esac
    write_folder_entry "$folder"
    ;;
  *)
    echo "usage: $0 [--uninstall | --desktop-file-only [FOLDER]]" >&2
    exit 2
    ;;
esac
