#!/usr/bin/env bash
# Runs the cluster recipes of docs/cluster.md for real on this one machine.
#
# Slurm: starts munged, slurmctld and slurmd on localhost (a configuration of their own in a temporary folder, no
# cgroups), submits packaging/slurm/convert.sbatch as an array of 3 shares over a tree of decks as a plain user,
# and checks that every deck was converted exactly once and that no share failed. Then one deck is made
# unreadable and its outputs removed: its share fails; once the deck is readable again, that share alone runs
# again and converts only the missing deck.
#
# Container: builds packaging/Containerfile on a Debian 12 base made here from Debian's packages (mmdebstrap, kept
# in /var/cache/vorlane), with the project's .deb, and converts the tree in two shares, one container each, as
# the image's plain user. Skipped, saying why, when podman cannot run containers here.
#
# Usage: scripts/cluster-test.sh [BUILD-DIR]   (as root; the program is the installed package, or $VORLANE)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
export LC_ALL=C.UTF-8 LANG=C.UTF-8
decks=$here/tests/data/decks
started=$SECONDS

packages=(slurm-wlm munge podman runc mmdebstrap)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

vorlane=${VORLANE:-$(command -v vorlane || true)}
[ -x "$vorlane" ] || { echo "no vorlane program: install the package (scripts/check-package.sh) or set VORLANE" >&2; exit 1; }

work=$(mktemp -d /tmp/cluster-test.XXXXXX)
chmod 755 "$work"
pids=()
cleanup() {
    local status=$?
    if [ -n "${SLURM_CONF:-}" ] && [ -f "$SLURM_CONF" ]; then
        for job in "${jobs_submitted[@]}"; do scancel "$job" 2>/dev/null || true; done
    fi
    # Every daemon this script started, newest first, by the process id it had when started.
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null || true
        for _ in $(seq 50); do kill -0 "${pids[i]}" 2>/dev/null || break; sleep 0.1; done
        kill -9 "${pids[i]}" 2>/dev/null || true
        wait "${pids[i]}" 2>/dev/null || true
    done
    if [ "$status" -eq 0 ]; then
        rm -rf "$work"
    else
        echo "cluster test FAILED; its files are kept in $work" >&2
    fi
}
jobs_submitted=()
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# The small decks that must convert, with their slide counts, as listed in the manifest.
declare -A slides
while IFS=$'\t' read -r -a f; do
    [ "${f[7]:-}" = convert ] || continue
    case "${f[0]}" in site-photos.pptx | fidelity/* | sub/*) continue ;; esac
    slides[${f[0]}]=${f[4]}
done < <(sed 's/\t\t/\t-\t/g' "$decks/MANIFEST.tsv")
((${#slides[@]} >= 6)) || fail "too few decks in $decks/MANIFEST.tsv"

# make_tree DIR: two copies of those decks in a tree of sub-folders below DIR/in (SampleShow.ppt and .pptx apart:
# they would share their outputs' names), owned by OWNER; prints nothing.
make_tree() {
    local dir=$1 owner=$2 copy deck folder
    for copy in 2025 2026/q1; do
        for deck in "${!slides[@]}"; do
            folder=$dir/in/$copy
            [ "$deck" = SampleShow.pptx ] && folder=$folder/pptx
            mkdir -p "$folder"
            cp "$decks/$deck" "$folder/"
        done
    done
    mkdir -p "$dir/emf" "$dir/logs"
    chown -R "$owner" "$dir"
}

# check_run DIR SHARES: every deck of DIR/in has all its slides in DIR/emf and nothing else is there, and the
# share logs DIR/logs/share-1..SHARES.log together list every deck exactly once, as converted.
check_run() {
    local dir=$1 shares=$2 deck rel base n k expected=0 found listed
    while IFS= read -r -d '' deck; do
        rel=${deck#"$dir/in/"}
        n=${slides[$(basename "$rel")]:-${slides[$rel]:-}}
        [ -n "$n" ] || fail "unknown deck $rel"
        base=$dir/emf/${rel%.*}
        for ((k = 1; k <= n; k++)); do
            if ((k == 1)); then [ -s "$base.emf" ] || fail "missing $base.emf"
            else [ -s "$base-$k.emf" ] || fail "missing $base-$k.emf"; fi
        done
        expected=$((expected + n))
    done < <(find "$dir/in" -type f -print0)
    found=$(find "$dir/emf" -type f | wc -l)
    [ "$found" -eq "$expected" ] || fail "$found files in $dir/emf, expected $expected"
    listed=$(for ((k = 1; k <= shares; k++)); do tr -d '\r' <"$dir/logs/share-$k.log"; done)
    diff <(find "$dir/in" -type f | sort) <(sed -n 's/^Success => \(.*\) => .*$/\1/p' <<<"$listed" | sort) >&2 ||
        fail "the share logs do not list every deck once"
    ! grep -v '^Success => ' <<<"$listed" >&2 || fail "a share log holds other lines than successes"
    echo "  $(find "$dir/in" -type f | wc -l) decks, $expected EMF files, each deck in exactly one of $shares share logs"
}

# ---------------------------------------------------------------------------------------------------------------
# Slurm
# ---------------------------------------------------------------------------------------------------------------
t0=$SECONDS
script=$here/packaging/slurm/convert.sbatch
# The job script shown in docs/cluster.md is this very file.
diff <(sed -n '/^## Slurm/,/^## /p' "$here/docs/cluster.md" | sed -n '/^```sh$/,/^```$/p' | sed '1d;$d') "$script" >&2 ||
    fail "docs/cluster.md does not show packaging/slurm/convert.sbatch as it is"

mkdir -p "$work/munge-key" "$work/run" "$work/state" "$work/spool" "$work/submit/logs" "$work/home"
chmod 700 "$work/munge-key"
mungekey -c -k "$work/munge-key/munge.key" 2>/dev/null ||
    { dd if=/dev/urandom of="$work/munge-key/munge.key" bs=1024 count=1 2>/dev/null; chmod 400 "$work/munge-key/munge.key"; }
munged -F --force --socket="$work/run/munge.sock" --key-file="$work/munge-key/munge.key" \
    --log-file="$work/munge-key/munged.log" --pid-file="$work/munge-key/munged.pid" \
    --seed-file="$work/munge-key/munged.seed" >"$work/munged.out" 2>&1 &
pids+=($!)

host=$(hostname -s)
# Two free ports, so that a run beside another (or beside a Slurm of the machine's own) does not collide.
port_free() { ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
ctld_port=$((20000 + RANDOM % 20000))
until port_free "$ctld_port" && port_free $((ctld_port + 1)); do ctld_port=$((20000 + RANDOM % 20000)); done
memory=$(($(awk '/^MemTotal/ {print $2}' /proc/meminfo) / 1024))
cat >"$work/slurm.conf" <<EOF
ClusterName=vorlane-test
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$ctld_port
SlurmdPort=$((ctld_port + 1))
SlurmUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$work/run/munge.sock
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool/%n
SlurmctldPidFile=$work/run/slurmctld.pid
SlurmdPidFile=$work/run/slurmd.pid
SlurmctldLogFile=$work/slurmctld.log
SlurmdLogFile=$work/slurmd.log
# No cgroups here: processes are tracked through /proc, tasks are not confined.
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
# No slurmdbd: sacct reads the completion records of this file (sacct --completion).
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/filetxt
JobCompLoc=$work/jobcomp.txt
SchedulerType=sched/backfill
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
MpiDefault=none
ReturnToService=2
NodeName=$host NodeAddr=127.0.0.1 CPUs=$(nproc) RealMemory=$memory State=UNKNOWN
PartitionName=test Nodes=$host Default=YES MaxTime=INFINITE State=UP
EOF
export SLURM_CONF=$work/slurm.conf
for _ in $(seq 50); do [ -S "$work/run/munge.sock" ] && break; sleep 0.1; done
slurmctld -D -f "$SLURM_CONF" >"$work/slurmctld.out" 2>&1 &
pids+=($!)
slurmd -D -f "$SLURM_CONF" >"$work/slurmd.out" 2>&1 &
pids+=($!)
for _ in $(seq 60); do
    sinfo -h -o %t 2>/dev/null | grep -q idle && break
    sleep 1
done
sinfo -h -o %t | grep -q idle || fail "the Slurm node did not come up: $(tail -n 5 "$work/slurmctld.log")"
echo "slurm: $(sinfo -h -o '%P %D node(s), %c CPUs, %t') (slurmctld, slurmd and munged started in $((SECONDS - t0)) s)"

# The jobs run as a plain user, as on a cluster (and so that a deck can be made unreadable to them).
data=$work/data
make_tree "$data" nobody:nogroup
# As on a cluster, the job script is copied beside its logs folder (the repository may be out of nobody's reach).
cp "$script" "$work/submit/convert.sbatch"
chown -R nobody:nogroup "$work/submit" "$work/home"
vorlane_dir=$(dirname "$vorlane")
# submit ARRAY: submits the job script as nobody from $work/submit with an array of those task ids; prints the job id.
submit() {
    (cd "$work/submit" && setpriv --reuid=nobody --regid=nogroup --clear-groups \
        env HOME="$work/home" PATH="$vorlane_dir:$PATH" DATA="$data" SHARES=3 \
        sbatch --parsable --array="$1" convert.sbatch)
}
# wait_job ID: until no task of the job is queued or running (10 minutes at most).
wait_job() {
    local start=$SECONDS
    while [ -n "$(squeue -h -j "$1" 2>/dev/null)" ]; do
        ((SECONDS - start < 600)) || fail "job $1 still running after 10 minutes"
        sleep 1
    done
}
# shares ID: one line "SHARE STATE EXITCODE" per array task of the job, share = task id + 1, the state and exit
# code from sacct's completion records (sacct knows the tasks by their own job ids; scontrol maps them to shares).
shares() {
    local line id task ids=()
    declare -A task_of
    while read -r line; do
        id=$(sed -n 's/^JobId=\([0-9]*\) .*/\1/p' <<<"$line")
        task=$(sed -n 's/.* ArrayTaskId=\([0-9]*\) .*/\1/p' <<<"$line")
        [ -n "$id" ] && [ -n "$task" ] && { task_of[$id]=$task; ids+=("$id"); }
    done < <(scontrol -o show job "$1")
    ((${#ids[@]})) || fail "scontrol knows no task of job $1"
    local IFS=,
    sacct --completion -n -P -o JobID,State,ExitCode -j "${ids[*]}" 2>/dev/null |
        while IFS='|' read -r id state code; do echo "$((task_of[$id] + 1)) $state $code"; done | sort -n
}

t1=$SECONDS
job=$(submit 0-2)
jobs_submitted+=("$job")
wait_job "$job"
states=$(shares "$job")
echo "slurm: job array $job, 3 shares in $((SECONDS - t1)) s; sacct --completion:"
sed 's/^/  share /' <<<"$states"
[ "$(wc -l <<<"$states")" -eq 3 ] || fail "sacct lists $(wc -l <<<"$states") shares, expected 3"
! grep -v ' COMPLETED 0:0$' <<<"$states" >/dev/null || fail "a share failed: $(tail -n 20 "$work"/submit/logs/* "$work/slurmd.log" 2>&1)"
check_run "$data" 3

# run_share: the share $share again as a job of its own; sets state (as shares prints it) and took (seconds).
run_share() {
    local start=$SECONDS job
    job=$(submit $((share - 1)))
    jobs_submitted+=("$job")
    wait_job "$job"
    state=$(shares "$job")
    took=$((SECONDS - start))
}

# One deck made unreadable (its outputs gone, as if it had never converted): its share fails.
victim=$(find "$data/in" -name 'bar-chart.pptx' | head -n 1)
share=$(grep -l -F "=> $victim =>" "$data"/logs/share-*.log | sed 's/.*share-\([0-9]*\)\.log/\1/')
[ -n "$share" ] || fail "no share log lists $victim"
rel=${victim#"$data/in/"}
rm -f "$data/emf/${rel%.*}".emf "$data/emf/${rel%.*}"-*.emf
chmod 000 "$victim"
before=$(cd "$data/emf" && find . -type f -printf '%p %T@\n' | sort)
run_share
echo "slurm: share $share with $rel unreadable, in $took s: $state"
grep -q "^$share FAILED 2:0$" <<<"$state" || fail "share $share did not fail: $state"
grep -q -F "Failure => $victim =>" "$data/logs/share-$share.log" || fail "the share log does not name $victim"

# The deck readable again, the share runs again: only that deck is converted, every other output is untouched.
chmod 644 "$victim"
run_share
echo "slurm: share $share again (IsOverwrite=skip) in $took s: $state"
grep -q "^$share COMPLETED 0:0$" <<<"$state" || fail "the re-run of share $share failed: $state"
after=$(cd "$data/emf" && find . -type f -printf '%p %T@\n' | sort)
new=$(comm -13 <(echo "$before") <(echo "$after") | cut -d' ' -f1)
changed=$(comm -3 <(echo "$before") <(echo "$after") | grep -v -F "./${rel%.*}" || true)
[ -z "$changed" ] || fail "the re-run touched other outputs: $changed"
[ "$(wc -l <<<"$new")" -eq "${slides[bar-chart.pptx]}" ] || fail "the re-run wrote: $new"
converted=$(grep -c -F "=> $victim =>" "$data/logs/share-$share.log")
others=$(($(wc -l <"$data/logs/share-$share.log") - converted))
echo "  the re-run wrote only ${new//$'\n'/ } ($others other deck(s) of the share kept their outputs)"
check_run "$data" 3
echo "slurm: passed in $((SECONDS - t0)) s"

# The daemons are not needed any more.
for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; wait "${pids[i]}" 2>/dev/null || true; done
pids=()
unset SLURM_CONF

# ---------------------------------------------------------------------------------------------------------------
# Container image
# ---------------------------------------------------------------------------------------------------------------
t0=$SECONDS
# This machine's podman runs containers only through runc, with the cgroup v1 hierarchy managed by itself and no
# default ulimits (crun refuses cgroups in hybrid mode).
cat >"$work/containers.conf" <<'EOF'
[containers]
default_ulimits = []
[engine]
cgroup_manager = "cgroupfs"
runtime = "runc"
EOF
export CONTAINERS_CONF=$work/containers.conf

# skip REASON: this part cannot run on this machine; the rest has passed.
skip() {
    echo "container: SKIPPED, podman cannot run a container here: $1"
    echo "cluster test passed (Slurm; container skipped) in $((SECONDS - started)) s"
    exit 0
}
reason=$(podman info 2>&1 >/dev/null) || skip "$reason"

# The base: Debian 12 made from Debian's packages (no image registry needed), made once and kept.
cache=/var/cache/vorlane
base_tar=$cache/bookworm-minbase.tar
base=localhost/vorlane-base:bookworm
mkdir -p "$cache"
if [ ! -s "$base_tar" ]; then
    echo "container: making the Debian 12 base with mmdebstrap (once, kept in $base_tar)"
    # mmdebstrap tells the output's format by its name's ending.
    mmdebstrap --variant=minbase bookworm "$cache/bookworm-minbase.part.tar" \
        "deb http://deb.debian.org/debian bookworm main" \
        "deb http://deb.debian.org/debian bookworm-updates main" \
        "deb http://deb.debian.org/debian-security bookworm-security main"
    mv "$cache/bookworm-minbase.part.tar" "$base_tar"
    podman rmi -f "$base" >/dev/null 2>&1 || true
fi
podman image exists "$base" || reason=$(podman import -q "$base_tar" "$base" 2>&1 >/dev/null) || skip "$reason"
reason=$(podman run --rm --pull never --network none "$base" true 2>&1) || skip "$reason"

deb=$(ls -t "$build"/quillon-converter_*.deb 2>/dev/null | head -n 1 || true)
if [ -z "$deb" ]; then
    (cd "$build" && cpack -G DEB >/dev/null)
    deb=$(ls -t "$build"/quillon-converter_*.deb | head -n 1)
fi
mkdir -p "$work/image"
cp "$deb" "$work/image/"
image=localhost/quillon-converter:test
old_image=$(podman image inspect -f '{{.Id}}' "$image" 2>/dev/null || true)
# Packages fetched for the image stay in this machine's package cache, so that building again is quick.
podman build -q --network host --build-arg BASE="$base" -v /var/cache/apt/archives:/var/cache/apt/archives \
    -f "$here/packaging/Containerfile" -t "$image" "$work/image" >/dev/null
# The image of the previous run, now without a name, would pile up run after run.
if [ -n "$old_image" ] && [ "$old_image" != "$(podman image inspect -f '{{.Id}}' "$image")" ]; then
    podman rmi "$old_image" >/dev/null 2>&1 || true
fi
echo "container: image $image built from $(basename "$deb") on $base in $((SECONDS - t0)) s"

user=$(podman run --rm --pull never --network none --entrypoint id "$image" -u)
[ "$user" != 0 ] || fail "the image runs as root"
cdata=$work/cdata
make_tree "$cdata" "$user:$user"
t1=$SECONDS
for k in 1 2; do
    podman run --rm --pull never --network none -v "$cdata:/data" "$image" \
        "-P:Source=/data/in/*.ppt?;Target=/data/emf;Subdir=1;PureConsole=1;Shard=$k/2;LogFile=/data/logs/share-$k.log" \
        >"$work/container-$k.out" 2>&1 || fail "container of share $k: $(cat "$work/container-$k.out")"
done
# The logs name the decks by their path inside the container.
sed -i "s#=> /data/#=> $cdata/#" "$cdata"/logs/share-*.log
echo "container: 2 shares, one container each, as uid $user, in $((SECONDS - t1)) s"
check_run "$cdata" 2
[ -z "$(find "$cdata/emf" ! -uid "$user")" ] || fail "outputs not owned by the image's user"

# The conversion service in the container, as the README runs it: published port, a deck converted over HTTP,
# podman stop (SIGTERM) ending it with exit code 0.
t2=$SECONDS
port=$((30000 + RANDOM % 20000))
name=vorlane-serve-test-$$
podman run -d --name "$name" --pull never -p "127.0.0.1:$port:3000" "$image" --serve --listen 0.0.0.0 >/dev/null
for _ in $(seq 120); do
    curl -sf "http://127.0.0.1:$port/health" >/dev/null && break
    sleep 1
done
code=$(curl -s -o "$work/served.zip" -w '%{http_code}' -F "files=@$(find "$cdata/in" -name '*.ppt?' | sort | head -n 1)" \
    -F format=emf "http://127.0.0.1:$port/convert" || true)
podman stop -t 60 "$name" >/dev/null
status=$(podman inspect -f '{{.State.ExitCode}}' "$name")
podman logs "$name" >"$work/service.out" 2>&1 || true
podman rm "$name" >/dev/null
[ "$code" = 200 ] || fail "the service in the container answered $code: $(cat "$work/service.out")"
grep -q 'report.json' "$work/served.zip" || fail "the service's answer holds no report.json"
[ "$status" = 0 ] || fail "the service in the container ended with $status on SIGTERM"
echo "container: the service answered and stopped cleanly in $((SECONDS - t2)) s"
echo "container: passed in $((SECONDS - t0)) s"
echo "cluster test passed in $((SECONDS - started)) s"
