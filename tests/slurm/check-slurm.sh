#!/usr/bin/env bash
# scripts/slurm-batch on a real Slurm: a single-node cluster of Debian's slurm-wlm, with
# its own munge, configured and started in a folder of this test's own and stopped at
# its end. Three videos go through the cluster; their results must equal a local run's,
# and the summaries be merged.
#
#   tests/slurm/check-slurm.sh FOLDER_OF_KESTROVIX_BATCH SOURCE_ROOT
set -euo pipefail
batch_dir=$(realpath "$1")
root=$(realpath "$2")
work=$(mktemp -d)
node=kestrovix-node
failed=0
check() {
    if eval "$2"; then echo "ok   $1"; else echo "FAIL $1" >&2; failed=1; fi
}

stop() {
    scontrol shutdown > /dev/null 2>&1 || true
    for pidfile in "$work"/slurmd.pid "$work"/slurmctld.pid "$work"/munged.pid; do
        [ -f "$pidfile" ] && kill "$(cat "$pidfile")" 2> /dev/null || true
    done
    sleep 1
    if [ "$failed" -ne 0 ]; then
        for log in "$work"/*.log; do echo "--- $log" >&2; tail -n 20 "$log" >&2; done
    fi
    rm -rf "$work"
}
trap stop EXIT

# munge, with a key and a socket of its own.
dd if=/dev/urandom of="$work/munge.key" bs=1024 count=1 status=none
chmod 400 "$work/munge.key"
mkdir -p "$work/munge"
chmod 700 "$work/munge"
munged --force --key-file="$work/munge.key" --socket="$work/munge/socket" --pid-file="$work/munged.pid" \
    --log-file="$work/munged.log" --seed-file="$work/munge.seed"

# Two free ports, for the controller and the node: ones nothing answers on.
free_port() {
    local port
    while :; do
        port=$((20000 + RANDOM % 20000))
        (exec 3<> "/dev/tcp/127.0.0.1/$port") 2> /dev/null || { echo "$port"; return; }
    done
}
ctld_port=$(free_port)
slurmd_port=$(free_port)
while [ "$slurmd_port" = "$ctld_port" ]; do slurmd_port=$(free_port); done
mkdir -p "$work/state" "$work/spool"
cat > "$work/slurm.conf" <<CONF
ClusterName=kestrovix
SlurmctldHost=localhost(127.0.0.1)
SlurmctldPort=$ctld_port
SlurmdPort=$slurmd_port
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$work/munge/socket
CredType=cred/munge
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
SlurmctldLogFile=$work/slurmctld.log
SlurmdLogFile=$work/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
SchedulerType=sched/backfill
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
ReturnToService=2
MpiDefault=none
NodeName=$node NodeAddr=127.0.0.1 CPUs=$(nproc) RealMemory=1000 State=UNKNOWN
PartitionName=kestrovix Nodes=$node Default=YES MaxTime=INFINITE State=UP
CONF
export SLURM_CONF=$work/slurm.conf
slurmctld -f "$SLURM_CONF"
slurmd -f "$SLURM_CONF" -N "$node"
for _ in $(seq 60); do
    sinfo -h -o %t 2> /dev/null | grep -q idle && break
    sleep 1
done
check "the cluster's node is up" 'sinfo -h -o %t | grep -q idle'

# Three videos, two of them in a folder whose name has a blank.
mkdir -p "$work/videos/street clips" "$work/local"
cp "$root/resources/bike.avi" "$work/videos/street clips/bike.avi"
cp "$root/resources/video3.mp4" "$work/videos/street clips/walk.mp4"
cp "$root/resources/bike.avi" "$work/videos/again.avi"
printf '%s\n' "# the street" "$work/videos/street clips/bike.avi" "" "$work/videos/street clips/walk.mp4" \
    "$work/videos/again.avi" > "$work/list.txt"

# As on a cluster's nodes: kestrovix-batch on the PATH.
export PATH=$batch_dir:$PATH
read -r array merge < <("$root/scripts/slurm-batch" "$work/list.txt" "$work/cluster" --time=10 -- --min-area 400)
for _ in $(seq 180); do
    [ -z "$(squeue -h -j "$array,$merge" 2> /dev/null)" ] && break
    sleep 1
done
check "the jobs are done" '[ -z "$(squeue -h -j "$array,$merge" 2> /dev/null)" ]'

kestrovix-batch --quiet --min-area 400 --out "$work/local" "$work/videos/street clips/bike.avi" \
    "$work/videos/street clips/walk.mp4" "$work/videos/again.avi"
for name in bike walk again; do
    check "$name: the cluster's rows are a local run's" \
        'cmp -s "$work/cluster/$name.boxes.csv" "$work/local/$name.boxes.csv" && [ -s "$work/local/$name.boxes.csv" ]'
done
check "the summaries are merged, a row per video" \
    '[ "$(grep -c ",complete," "$work/cluster/summary.csv")" -eq 3 ]'
exit $failed
