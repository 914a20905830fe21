# shellcheck shell=bash
# Sourced by the stages that run 32-bit Windows programs in the virtual machine, on a machine whose
# own kernel refuses 32-bit code: fill_x86_half PREFIX fills a 64-bit prefix's 32-bit system folder
# and side-by-side assemblies (the common controls the programs' manifests ask for) from Wine's
# i386 builtins, as a 32-bit first start would, since 32-bit Wine cannot start here to fill them.
# The prefix's files are hard links of a template's: new files are made, none is written through.
i386_builtins=/usr/lib/i386-linux-gnu/wine/i386-windows

fill_x86_half() {
  local windows=$1/drive_c/windows assembly name x86 file manifests
  rm -rf "$windows/syswow64"
  mkdir "$windows/syswow64"
  ln -s "$i386_builtins"/* "$windows/syswow64/" || return 1
  for assembly in "$windows"/winsxs/amd64_*; do
    [ -d "$assembly" ] || continue
    name=$(basename "$assembly")
    x86=$windows/winsxs/x86_${name#amd64_}
    mkdir -p "$x86"
    for file in "$assembly"/*; do
      file=${file##*/}
      [ -e "$i386_builtins/$file" ] && ln -sf "$i386_builtins/$file" "$x86/"
    done
    manifests=$windows/winsxs/manifests
    sed 's/processorArchitecture="amd64"/processorArchitecture="x86"/' "$manifests/$name.manifest" \
      >"$manifests/x86_${name#amd64_}.manifest" || return 1
  done
}
