#!/usr/bin/env bash
# Prints one table of every benchmark figure from the BENCHROW lines in the given logs
# (the output of the bench_* programs): the figure, its goal and whether it holds.
# A benchmark that ended with an error shows as a row of its own and makes the exit status
# non-zero; a figure that misses its goal is shown as such (a busy machine can cause it).
set -uo pipefail
awk -F'\t' '
  /^BENCHROW\t/ { n++; name[n]=$2; fig[n]=$3; goal[n]=$4; holds[n]=$5; if ($5 != "yes") miss++; next }
  /^BENCHFAIL\t/ { n++; name[n]=$2; fig[n]="failed (exit " $3 ")"; goal[n]="-"; holds[n]="NO"; miss++; failed++; next }
  END {
    w1=6; w2=6; w3=4
    for (i=1; i<=n; i++) {
      if (length(name[i]) > w1) w1=length(name[i])
      if (length(fig[i]) > w2) w2=length(fig[i])
      if (length(goal[i]) > w3) w3=length(goal[i])
    }
    printf "\n%-*s  %-*s  %-*s  %s\n", w1, "figure", w2, "result", w3, "goal", "holds"
    line=""; for (i=0; i<w1+w2+w3+13; i++) line=line "-"; print line
    for (i=1; i<=n; i++) printf "%-*s  %-*s  %-*s  %s\n", w1, name[i], w2, fig[i], w3, goal[i], holds[i]
    printf "%d figures, %d missing their goal\n", n, miss
    exit (failed > 0)
  }' "$@"
