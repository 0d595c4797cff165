# The example that shows the program at work: a small master tree with two
# folder settings that back it up (mirroring) and one that is never run, and
# a settings file of its own that names them. Sourced by run.sh (--demo) and
# scripts/screenshot.sh; needs WINEPREFIX (for the Windows paths).

# tandrel_demo DATA INI: makes the tree under DATA (a folder of the prefix's
# drive_c, made anew) and writes the UTF-16 settings file INI.
tandrel_demo() {
    local data="$1" ini="$2"
    rm -rf "$data"
    mkdir -p "$data/写真/2026年" "$data/書類" "$data/写真のバックアップ" "$data/書類のバックアップ"
    local i
    for i in 1 2 3 4 5 6; do echo "photo $i" > "$data/写真/2026年/旅行_$i.jpg"; done
    echo "見積" > "$data/書類/見積書.txt"
    echo "議事録" > "$data/書類/議事録.txt"
    echo "古い" > "$data/書類のバックアップ/削除される古いメモ.txt"
    local photos photoCopies papers paperCopies
    photos="$(winepath -w "$data/写真")"
    photoCopies="$(winepath -w "$data/写真のバックアップ")"
    papers="$(winepath -w "$data/書類")"
    paperCopies="$(winepath -w "$data/書類のバックアップ")"
    local text="[Save]
SaveRegistory=0
[Options]
ListCount=3
DivideY=150
[Window]
MainWindow=10 10 900 600
SetupList=50,90,220,220,260
ReportList=100,300,150,150,80
[Define 0]
Name=写真
Master=$photos
Backup=$photoCopies
Mirroring=1
[Define 1]
Name=書類
Master=$papers
Backup=$paperCopies
Mirroring=1
[Define 2]
Name=音楽
Master=C:\\音楽
Backup=D:\\音楽
AutoExec=0
"
    mkdir -p "$(dirname "$ini")"
    { printf '\xff\xfe'; printf '%s' "${text//$'\n'/$'\r\n'}" | iconv -f UTF-8 -t UTF-16LE; } > "$ini"
}
