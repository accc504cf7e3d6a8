#!/bin/bash
#SBATCH --job-name=decks-to-emf
#SBATCH --array=0-15            # N = 16 shares: keep SHARES below equal to the array's size
#SBATCH --cpus-per-task=2       # one office per core
#SBATCH --mem=4G
#SBATCH --time=04:00:00
#SBATCH --output=logs/%A_%a.out

# One share of the run per array task: the decks under $DATA/in, the outputs in $DATA/emf, one log per share in
# $DATA/logs, with DATA a folder every node mounts. A share that failed runs again on its own and converts only
# what is missing: sbatch --array=K-1 convert.sbatch
set -euo pipefail
DATA=${DATA:-/data}
N=${SHARES:-16}
K=$((SLURM_ARRAY_TASK_ID + 1))
log=$DATA/logs/share-$K.log
mkdir -p "$DATA/logs"

vorlane "-P:Source=$DATA/in/*.ppt?;Target=$DATA/emf;Subdir=1;PureConsole=1;ThreadsCount=${SLURM_CPUS_PER_TASK:-2};IsOverwrite=skip;Shard=$K/$N;LogFile=$log"

# Files that fail leave the program's exit code at 0 (the run itself ended); the share fails, so that sacct shows it.
failed=$(grep -c '^Failure => ' "$log" || true)
if [ "$failed" -gt 0 ]; then
    echo "share $K/$N: $failed file(s) failed, listed in $log" >&2
    exit 2
fi
