#!/usr/bin/env bash
# Runs the README's examples for many machines as written, on this machine
# alone: the GNU parallel one with ':' as its only login, the Slurm one's
# inner command as each array task would run it. Usage:
#   test-readme-examples.sh BUILD_DIR   (the folder holding vistrel-cli)
set -euo pipefail
cd "$(dirname "$0")/.."
readme=$PWD/README.md
bin=$(cd "$1" && pwd)
export PATH="$bin:$PATH"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# The fenced sh block of the README that holds the given text.
block() {
  awk -v want="$1" '/^```sh$/ { inside = 1; text = ""; next }
                    /^```$/ { if (inside && index(text, want)) printf "%s", text; inside = 0; next }
                    inside { text = text $0 "\n" }' "$readme"
}

# A few small photos, made by the program from its samples.
cd "$work"
mkdir -p photos/more
i=0
for sample in chelsea-phone.jpg rocket-harsh.jpg coffee-noisy.png; do
  i=$((i + 1))
  vistrel-cli --quiet --size 48x32 -o "photos/p$i.jpg" "$OLDPWD/Samples/$sample"
  vistrel-cli --quiet --size 40x30 -o "photos/more/q$i.png" "$OLDPWD/Samples/$sample"
done
cp photos/more/*.png photos/

echo "-- GNU parallel"
parallel_block=$(block 'parallel -0')
[[ -n $parallel_block ]] || fail "no GNU parallel example in README.md"
local_block=${parallel_block//--sshlogin 4\/host1,4\/host2,4\/host3,:/--sshlogin 2\/:}
[[ $local_block != "$parallel_block" ]] || fail "the example's --sshlogin list changed; update this test"
failed=$(bash -c "$local_block" 2>"$work/parallel.err") || fail "the example failed: $(cat "$work/parallel.err")"
[[ -z $failed ]] || fail "jobs failed: $failed"
for i in 1 2 3; do
  [[ $(vistrel-cli info "photos/p${i}_clean.jpg") == *"JPEG 48x32"* ]] || fail "no photos/p${i}_clean.jpg"
done
[[ $(awk 'NR > 1' vistrel.log | wc -l) -eq 3 ]] || fail "the job log lists $(awk 'NR > 1' vistrel.log | wc -l) jobs"
awk 'NR > 1 && ($2 != ":" || $7 != 0) { bad = 1 } END { exit bad }' vistrel.log || fail "job log: $(cat vistrel.log)"

# A rerun after an interruption: only the missing result is made again, no
# result becomes an input, and the results that were there stay untouched.
rm photos/p2_clean.jpg
kept=$(md5sum photos/p1_clean.jpg photos/p3_clean.jpg)
failed=$(bash -c "$local_block" 2>"$work/parallel.err") || fail "the rerun failed: $(cat "$work/parallel.err")"
[[ -z $failed ]] || fail "rerun jobs failed: $failed"
[[ -f photos/p2_clean.jpg ]] || fail "the rerun did not redo photos/p2_clean.jpg"
[[ $kept == "$(md5sum photos/p1_clean.jpg photos/p3_clean.jpg)" ]] || fail "the rerun replaced existing results"
[[ -z $(find photos -name '*_clean_clean.jpg') ]] || fail "the rerun enhanced earlier results"
[[ $(awk 'NR > 1' vistrel.log | wc -l) -eq 1 ]] || fail "the rerun ran $(awk 'NR > 1' vistrel.log | wc -l) jobs"

echo "-- Slurm array tasks"
slurm_block=$(block 'sbatch')
[[ -n $slurm_block ]] || fail "no Slurm example in README.md"
# The lines before sbatch make the list; the single-quoted --wrap text is the
# task.
list_lines=$(sed '/^sbatch /,$d' <<<"$slurm_block")
bash -c "$list_lines"
task=$(sed -n "s/.*--wrap \\\\\$//; s/^ *'\(.*\)' *\$/\1/p" <<<"$slurm_block" | tail -1)
[[ $task == vistrel-cli* ]] || fail "cannot find the task command: $task"
tasks=$(wc -l < files.txt)
[[ $tasks -eq 3 ]] || fail "files.txt lists $tasks files"
for id in $(seq "$tasks"); do
  SLURM_ARRAY_TASK_ID=$id bash -c "$task" || fail "array task $id failed"
done
for i in 1 2 3; do
  [[ $(vistrel-cli info "photos/q${i}_new.png") == *"PNG 40x30"* ]] || fail "no photos/q${i}_new.png"
done
# Rerun: nothing is left to do, and no result is listed as an input.
bash -c "$list_lines"
[[ ! -s files.txt ]] || fail "the rerun lists: $(cat files.txt)"
# A task run twice fails the second time and keeps the first result.
first=$(md5sum < photos/q1_new.png)
echo photos/q1.png > files.txt
if SLURM_ARRAY_TASK_ID=1 bash -c "$task" 2>"$work/task.err"; then
  fail "a second run of a task replaced its result"
fi
grep -q "already exists" "$work/task.err" || fail "a second run of a task: $(cat "$work/task.err")"
[[ $first == "$(md5sum < photos/q1_new.png)" ]] || fail "a second run of a task changed its result"
echo "README examples passed"
