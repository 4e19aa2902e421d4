#!/usr/bin/env bash
# Makes the folders the file utility tests run on, in the folder given:
#   tree/      files in nested folders, a link back up the tree and a link to
#              a folder outside; tree.size holds the bytes of the files that
#              are really under tree/ (links not followed), as find counts them
#   big/       sparse files of 4 GB - 1, 4 GB and 5 GB
#   bigtree/   sparse files of 3 GB and 2 GB (5 GB together)
#   timed.txt  "hello\n" last written 2004-05-06 07:08:09 UTC
#   korean/    Korean (UTF-8 on disk) names
#   scratch/   emptied; tests make and delete their own items here
#   xdg/       the trash folder of recycled items, emptied
#   locale/    a ko_KR.UTF-8 locale (LOCPATH): Wine takes its ANSI code page
#              (949) from it and needs it to write Korean names to the disk
set -euo pipefail
out=$1
rm -rf "$out"
mkdir -p "$out"
cd "$out"

mkdir -p tree/sub/deeper tree/empty tree/My.Music outside
head -c 1000 /dev/zero >tree/a.bin
head -c 70000 /dev/urandom >tree/sub/b.bin
printf x >tree/sub/deeper/c.bin
head -c 12345 /dev/zero >tree/My.Music/d.mp3
head -c 3000 /dev/zero >outside/x.bin
ln -s .. tree/sub/up
ln -s ../outside tree/outside
find tree -type f -printf '%s\n' | awk '{s += $1} END {print s}' >tree.size

mkdir -p big bigtree
truncate -s 4294967295 big/under4g.bin
truncate -s 4294967296 big/exact4g.bin
truncate -s 5368709120 big/five.bin
truncate -s 3221225472 bigtree/three.bin
truncate -s 2147483648 bigtree/two.bin

printf 'hello\n' >timed.txt
touch -d '2004-05-06 07:08:09 UTC' timed.txt

mkdir -p "korean/음악 폴더"
printf 'abc' >"korean/음악 폴더/가나다라마바사.mp3"
printf 'abcd' >"korean/음악 폴더/노래 제목이 아주 긴 파일입니다.wma"

mkdir -p scratch xdg locale
localedef -i ko_KR -f UTF-8 locale/ko_KR.UTF-8 >/dev/null 2>&1 || [ -f locale/ko_KR.UTF-8/LC_CTYPE ]
touch .made
