#!/bin/bash
# A demo backup on sample data: builds slotbackup, installs it with its two
# archiver libraries into a fresh temporary folder, writes a settings file
# and sample folders (Japanese names and blanks included), runs it as a
# scheduler would, prints its exit status and lists every archive it made.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh demo

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target slotbackup slotbackup-check Unlha32 7-zip32

demo=$(mktemp -d "${TMPDIR:-/tmp}/slotbackup-demo.XXXXXX")
mkdir -p "$demo/program" "$demo/backups"
cp build/bin/slotbackup build/bin/slotbackup-check build/bin/libUnlha32.so build/bin/lib7-zip32.so "$demo/program/"

# Sample folders to back up.
mkdir -p "$demo/data/仕事/データ" "$demo/data/My Notes/empty folder"
printf '2024年度 業務報告書\n本四半期はバックアップ運用を整えました。\n' > "$demo/data/仕事/報告書.txt"
printf '番号,品目,数量\n1,ノートパソコン,3\n2,外付けディスク,2\n' > "$demo/data/仕事/データ/表.csv"
printf 'Shopping list\n- milk\n- bread\n' > "$demo/data/My Notes/shopping list.txt"

write_settings() {  # $1 = archive type, $2 = extension
  cat > "$demo/program/slotbackup.ini" <<INI
; slotbackup settings: the save folder and the archive type for the whole run
[BackUP_Save]
SavePath=$demo/backups
ArchiveType=$1

; slot key (0000-0099) = folder to back up
[BackUP_Target]
0000=$demo/data/仕事
0001=$demo/data/My Notes

; slot key = archive name; the first %D becomes yyyymmddhhnnss
[BackUP_Name]
0000=仕事_%D.$2
0001=notes %D.$2

; slot key = a fixed name that always holds a copy of the newest archive
[BackUP_ConstantName]
0000=仕事_latest.$2
INI
}

for type in LHA ZIP; do
  ext=$([ $type = LHA ] && echo lzh || echo zip)
  write_settings $type $ext
  echo "== run with ArchiveType=$type"
  status=0
  env -i "$demo/program/slotbackup" || status=$?
  echo "exit status: $status"
  sleep 1  # a new second, so the second run's stamps differ
done

echo
echo "== archives in $demo/backups"
for archive in "$demo/backups"/*; do
  echo "--- $(basename "$archive")"
  bsdtar -tvf "$archive"
done
if [ -f "$demo/program/slotbackup.log" ]; then
  echo "== error log"; cat "$demo/program/slotbackup.log"
fi
echo
echo "== what slotbackup-check says of the settings now"
"$demo/program/slotbackup-check" || true
echo
echo "demo folder: $demo"
