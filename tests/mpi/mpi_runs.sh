#!/usr/bin/env bash
# tavrel-mpi on real databases under mpirun.
#   mpi_runs.sh SameBytesAsOneProcess|ASlowReader|AFailedWriteThroughMpirun|ARankKilledMidRun|
#     AWorkerOutOfMemory|RankZeroOutOfMemory MPIRUN TAVREL_MPI TAVREL_EXE DATA_DIR
# Exits 77 (skipped) when the shared databases are not there.
set -u
check=$1 mpirun=$2 mpi=$3 exe=$4 data=$5
[ -d "$data/leviathan" ] && [ -d "$data/bms1" ] && [ -d "$data/sign" ] && [ -d "$data/fifa" ] || {
  echo "no databases in $data: skipped"
  exit 77
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0

# The output with the run-time figure taken out.
steady() { sed -E 's/^Total Runtime: [0-9.e+-]+ sec\.$/Total Runtime: <t> sec./' "$1"; }

# Runs one command line in one process and on 1 to 4 ranks (from the
# database's folder): the same output and status.
same_bytes() {
  local folder=$1
  shift
  (cd "$data/$folder" && "$exe" "$@" >"$work/alone" 2>"$work/alone.err")
  local expected=$?
  for ranks in 1 2 3 4; do
    (cd "$data/$folder" && "$mpirun" --oversubscribe -n "$ranks" "$mpi" "$@" >"$work/spread" \
      2>"$work/spread.err")
    local status=$?
    if [ "$status" != "$expected" ] || ! cmp -s <(steady "$work/alone") <(steady "$work/spread"); then
      echo "FAILED: $folder $* on $ranks ranks: status $status, expected $expected"
      diff <(steady "$work/alone") <(steady "$work/spread") | head -5
      failed=1
    fi
  done
}

if [ "$check" = SameBytesAsOneProcess ]; then
  same_bytes leviathan --threads 1 leviathan.spec 150
  same_bytes bms1 --threads 2 bms1.spec 60
  same_bytes bms1 --threads 1 --max-patterns 1000 bms1.spec 60
  same_bytes bms1 no-such.spec 60
  # --output FILE: the same bytes in the file, nothing on standard output.
  (cd "$data/bms1" && "$mpirun" --oversubscribe -n 2 "$mpi" --output "$work/file" --threads 1 \
    bms1.spec 60 >"$work/spread") &&
    (cd "$data/bms1" && "$exe" --threads 1 bms1.spec 60 >"$work/alone")
  if [ -s "$work/spread" ] || ! cmp -s <(steady "$work/alone") <(steady "$work/file"); then
    echo "FAILED: bms1 at 60 with --output"
    failed=1
  fi
  # No room for patterns that wait on rank 0: the ranks searching later
  # units are held until the writer reaches them. Whether a given run
  # holds one depends on timing (a unit whose patterns all go out before
  # rank 0 reads the first needs no hold), so the holds count over all.
  (cd "$data/sign" && "$exe" --threads 1 sign.spec 200 >"$work/alone")
  : >"$work/held.err"
  for ranks in 2 3 4; do
    (cd "$data/sign" && TAVREL_MPI_WAITING=1 TAVREL_MPI_STATS=1 "$mpirun" --oversubscribe \
      -n "$ranks" "$mpi" --output "$work/file" --threads 1 sign.spec 200 2>"$work/spread.err")
    cat "$work/spread.err" >>"$work/held.err"
    if ! cmp -s <(steady "$work/alone") <(steady "$work/file"); then
      echo "FAILED: sign at 200 on $ranks ranks held"
      failed=1
    fi
  done
  if ! grep -Eq ", [1-9][0-9]* holds" "$work/held.err"; then
    echo "FAILED: sign at 200 on 2 to 4 ranks: no rank was held"
    cat "$work/held.err"
    failed=1
  fi
  lines=$(wc -l <"$work/alone")
  echo "compared; last run wrote $lines lines"
  exit $failed
fi

if [ "$check" = ASlowReader ]; then
  # A reader that takes nothing for 6 s: rank 0 waits in its writes far past
  # the silence limit of 2 s, yet the workers wait for it, and the output is
  # whole.
  (cd "$data/sign" && "$exe" --threads 1 sign.spec 150 >"$work/alone")
  (cd "$data/sign" && TAVREL_MPI_SILENCE=2 "$mpirun" --oversubscribe -n 3 "$mpi" --threads 1 \
    sign.spec 150 2>"$work/err" | (sleep 6 && cat >"$work/spread"))
  status=${PIPESTATUS[0]}
  if [ "$status" != 0 ] || ! cmp -s <(steady "$work/alone") <(steady "$work/spread"); then
    echo "FAILED: sign at 150 into a stalled reader: status $status"
    cat "$work/err"
    failed=1
  fi
  # The first million patterns of fifa at 2000 (186 MB) into a FIFO whose
  # reader stalls for 8 s: the search outruns the writer, and what waits on
  # each rank stays near a cap of 16 MB (each peak below 10 times it,
  # database and MPI included).
  mkfifo "$work/fifo"
  (sleep 8 && cat >"$work/spread") <"$work/fifo" &
  (cd "$data/fifa" && TAVREL_MPI_WAITING=16000000 TAVREL_MPI_STATS=1 "$mpirun" --oversubscribe \
    -n 3 "$mpi" --output "$work/fifo" --threads 1 --max-patterns 1000000 fifa.spec 2000 \
    2>"$work/err")
  status=$?
  wait
  (cd "$data/fifa" && "$exe" --threads 1 --max-patterns 1000000 fifa.spec 2000 >"$work/alone" \
    2>/dev/null)
  peaks=$(sed -nE 's/^mpi: rank ([0-9]+):.* peak memory ([0-9]+) kB$/\1 \2/p' "$work/err")
  if [ "$status" != 0 ] || ! cmp -s <(steady "$work/alone") <(steady "$work/spread") ||
    [ "$(wc -l <<<"$peaks")" != 3 ] || awk '$2 == 0 || $2 > 160000 { bad = 1 } END { exit !bad }' \
    <<<"$peaks"; then
    echo "FAILED: fifa at 2000 into a stalled FIFO: status $status, peaks (rank, kB):"
    echo "$peaks"
    cat "$work/err"
    failed=1
  fi
  exit $failed
fi

if [ "$check" = AFailedWriteThroughMpirun ]; then
  # mpirun drops what it cannot write and exits 0: rank 0 counts what it
  # handed on, looks where mpirun writes, and fails when bytes were lost
  # there (/dev/full; a file system of 1 MB when one can be mounted).
  (cd "$data/sign" && "$exe" sign.spec 200 >"$work/alone")
  (cd "$data/sign" && "$mpirun" --oversubscribe -n 2 "$mpi" sign.spec 200 >"$work/out" \
    2>"$work/err")
  status=$?
  size=$(wc -c <"$work/out")
  if [ "$status" != 0 ] || ! cmp -s <(steady "$work/alone") <(steady "$work/out") ||
    ! grep -q "^tavrel-mpi: $size bytes of output handed to mpirun" "$work/err"; then
    echo "FAILED: sign at 200 into a file through mpirun: status $status"
    cat "$work/err"
    failed=1
  fi
  targets=(/dev/full)
  mkdir "$work/small"
  mount -t tmpfs -o size=1m tmpfs "$work/small" 2>/dev/null && targets+=("$work/small/out")
  for target in "${targets[@]}"; do
    (cd "$data/sign" && "$mpirun" --oversubscribe -n 2 "$mpi" sign.spec 200 >"$target" \
      2>"$work/err")
    status=$?
    if [ "$status" = 0 ] || ! grep -q "^Error: cannot write output" "$work/err"; then
      echo "FAILED: sign at 200 into $target through mpirun: status $status"
      cat "$work/err"
      failed=1
    fi
  done
  [ "${#targets[@]}" = 2 ] && umount "$work/small"
  exit $failed
fi

if [ "$check" = RankZeroOutOfMemory ]; then
  # Rank 0 searches with 4 threads in 200 to 400 MB of address space (below
  # that Open MPI itself fails to start): wherever memory runs out, on
  # whichever thread, the run is whole or ends with one message and fails.
  (cd "$data/bible" && "$exe" --threads 4 bible.spec 700 >"$work/alone")
  printf '#!/bin/sh\n[ "$OMPI_COMM_WORLD_RANK" = 0 ] && ulimit -v $LIMIT\nexec "$@"\n' \
    >"$work/bounded"
  chmod +x "$work/bounded"
  short=0
  for limit in $(seq 200000 20000 400000); do
    (cd "$data/bible" && LIMIT=$limit timeout 60 "$mpirun" --oversubscribe -n 2 "$work/bounded" \
      "$mpi" --threads 4 bible.spec 700 >"$work/out" 2>"$work/err")
    status=$?
    if [ "$status" = 0 ] && cmp -s <(steady "$work/alone") <(steady "$work/out"); then continue; fi
    short=$((short + 1))
    if [ "$status" = 0 ] || [ "$status" = 124 ] || [ "$(tail -n 1 "$work/out")" != "Error: out of memory" ] ||
      grep -Eq "terminate called|signal" "$work/err"; then
      echo "FAILED: rank 0 in $limit kB: status $status, last line '$(tail -n 1 "$work/out")'"
      head -n 20 "$work/err"
      failed=1
    fi
  done
  echo "$short of 11 runs ran out of memory"
  [ "$short" -gt 0 ] || { echo "FAILED: no run ran out of memory"; failed=1; }
  exit $failed
fi

if [ "$check" = AWorkerOutOfMemory ]; then
  # 80,000 strings of 40 of 60 items: every pair is an edge at 3000, and the
  # edge transactions take 250 MB on each rank. Rank 1 may have 160 MB of
  # address space: far more than MPI needs to start (40 to 60 MB; at 100 MB
  # it sometimes failed to), far too little for them.
  awk 'BEGIN { srand(7); for (s = 0; s < 80000; s++) {
      for (i = 0; i < 60; i++) p[i] = i
      for (i = 59; i > 0; i--) { j = int(rand() * (i + 1)); t = p[i]; p[i] = p[j]; p[j] = t }
      line = "40"; for (i = 0; i < 40; i++) line = line " " p[i]; print line } }' >"$work/big.db"
  printf 'big.db\n60\n40\n80000\n' >"$work/big.spec"
  printf '#!/bin/sh\n[ "$OMPI_COMM_WORLD_RANK" = 1 ] && ulimit -v 160000\nexec "$@"\n' >"$work/bounded"
  chmod +x "$work/bounded"
  # Rank 0 ends the output with one message, through mpirun's standard
  # output, and the job fails, with or without recovery.
  for recovery in "" --enable-recovery; do
    (cd "$work" && timeout 60 "$mpirun" $recovery --oversubscribe -n 2 ./bounded "$mpi" \
      --threads 1 big.spec 3000 >"$work/out" 2>"$work/err")
    status=$?
    if [ "$status" = 0 ] || [ "$status" = 124 ] ||
      ! cmp -s "$work/out" <(printf ' \nError: out of memory\n'); then
      echo "FAILED: status $status ${recovery:-without recovery}"
      cat "$work/out" "$work/err"
      failed=1
    fi
  done
  exit $failed
fi

# Kills rank 2 of a run of fifa at 3000 (which would take an hour) on 3
# ranks once it has searched for a while; `mpirun OPTIONS` starts the job,
# TAVREL_OPTIONS go before tavrel-mpi's. Leaves the status in $status.
kill_rank_two() {
  (cd "$data/fifa" && exec "$mpirun" "$@" --oversubscribe -n 3 "$mpi" ${TAVREL_OPTIONS-} \
    --threads 1 fifa.spec 3000 >"$work/out" 2>"$work/err") &
  local job=$! victim= pid
  for _ in $(seq 100); do
    sleep 0.1
    for pid in $(pgrep -f "$mpi .*--threads 1 fifa.spec 3000"); do
      if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx OMPI_COMM_WORLD_RANK=2; then
        victim=$pid
      fi
    done
    [ -n "$victim" ] && break
  done
  [ -n "$victim" ] || { echo "FAILED: rank 2 never started"; kill "$job"; exit 1; }
  sleep 2
  kill -9 "$victim"
  wait "$job"
  status=$?
}

# A rank that searches one unit for longer than the silence limit still
# hears from rank 0, and the other way round: the run goes on until Ctrl-C
# stops it (status 1, the output cut after a whole pattern).
(cd "$data/fifa" && TAVREL_MPI_SILENCE=2 exec "$mpirun" --oversubscribe -n 2 "$mpi" \
  --output "$work/file" --threads 1 fifa.spec 3000 2>"$work/err") &
job=$!
sleep 5
kill -INT "$job"
wait "$job"
status=$?
if [ "$status" != 1 ] || grep -q "^Error" "$work/file" || ! grep -q "^Pattern " "$work/file"; then
  echo "FAILED: status $status after 5 s of fifa at 3000 with a silence limit of 2 s"
  tail -n 2 "$work/file"
  cat "$work/err"
  exit 1
fi

# As mpirun runs a job by default, it ends every rank once one dies (rank 0
# cannot write anything then: mpirun no longer reads its output), names the
# rank, and fails.
kill_rank_two
if [ "$status" = 0 ] || grep -q "^Total Number of patterns" "$work/out" ||
  ! grep -q "rank 2" "$work/err"; then
  echo "FAILED: status $status without recovery"
  cat "$work/err"
  exit 1
fi
# With --enable-recovery the other ranks live on: rank 0 finds rank 2
# silent, writes one message instead of the closing lines and has mpirun
# end the job as failed. The output goes to a file: through mpirun, rank 0
# would first have to write what waits at the pace mpirun forwards it.
export TAVREL_MPI_SILENCE=2
TAVREL_OPTIONS="--output $work/file" kill_rank_two --enable-recovery
mv "$work/file" "$work/out"
tail_line=$(tail -n 1 "$work/out")
if [ "$status" = 0 ] || [ "$tail_line" != "Error: a search process failed" ] ||
  grep -q "^Total Number of patterns" "$work/out" ||
  ! grep -q "tavrel-mpi: rank 2 stopped answering" "$work/err"; then
  echo "FAILED: status $status, last line '$tail_line' with recovery"
  grep -c "^Total" "$work/out"
  cat "$work/err"
  exit 1
fi
grep -c "^Pattern " "$work/out" | sed 's/$/ patterns before the failure/'
exit 0
