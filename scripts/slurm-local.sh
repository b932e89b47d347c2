#!/usr/bin/env bash
# A one-node Slurm on this machine, for the Slurm tests and for trying
# `ombrane-lab submit` by hand. Everything (munge key and socket, slurm.conf,
# state, logs) lives in one private folder; nothing under /etc is touched.
#
#   eval "$(scripts/slurm-local.sh start)"   start; prints `export SLURM_CONF=...`
#   scripts/slurm-local.sh stop              stop what start started
#   scripts/slurm-local.sh run CMD [ARG...]  start, run CMD with SLURM_CONF set,
#                                            stop (even when CMD fails); CMD's status
#
# The daemons run as root (slurmctld, slurmd and munged with a private key);
# `run` waits for another `run` of this machine to end first (a lock), since
# the node's name and ports are the machine's. Exits 1, saying why, when Slurm
# cannot be started: not root, packages missing (scripts/install-deps.sh
# --slurm installs them), a daemon that does not come up.
set -uo pipefail

state=${OMBRANE_SLURM_DIR:-${TMPDIR:-/tmp}/ombrane-slurm}
lock=${TMPDIR:-/tmp}/ombrane-slurm.lock
ctld_port=${OMBRANE_SLURM_PORT:-6817}

die() {
    echo "slurm-local: $*" >&2
    exit 1
}

alive() {  # <pid file>
    [ -s "$1" ] && kill -0 "$(cat "$1")" 2> /dev/null
}

stop() {
    local name pid
    [ -d "$state" ] || return 0
    # Jobs still queued or running end first, so that no task outlives its node.
    if alive "$state/slurmctld.pid"; then
        SLURM_CONF=$state/slurm.conf scancel --user="$(id -un)" 2> /dev/null
        for _ in $(seq 100); do
            [ -z "$(SLURM_CONF=$state/slurm.conf squeue --noheader 2> /dev/null)" ] && break
            sleep 0.1
        done
    fi
    # The scheduler first, so that it starts nothing more; munge last, since
    # the others talk through it while they shut down.
    for name in slurmctld slurmd munged; do
        [ -s "$state/$name.pid" ] || continue
        pid=$(cat "$state/$name.pid")
        kill -0 "$pid" 2> /dev/null || continue
        kill -TERM "$pid" 2> /dev/null
        for _ in $(seq 50); do
            kill -0 "$pid" 2> /dev/null || break
            sleep 0.1
        done
        kill -0 "$pid" 2> /dev/null && kill -KILL "$pid" 2> /dev/null
    done
    rm -rf "$state"
}

check() {
    [ "$(id -u)" = 0 ] || die "the daemons run as root; run this as root"
    local missing=() p
    for p in munged mungekey slurmctld slurmd sinfo sbatch scontrol squeue scancel; do
        command -v "$p" > /dev/null || missing+=("$p")
    done
    [ ${#missing[@]} = 0 ] ||
        die "missing ${missing[*]}; install slurm-wlm and munge (scripts/install-deps.sh --slurm)"
}

# Before start, outside it: a start that fails stops what it started, and
# must not stop one that was there before.
not_running() {
    if alive "$state/slurmctld.pid" || alive "$state/slurmd.pid" || alive "$state/munged.pid"; then
        die "a local Slurm from $state is running; stop it first (scripts/slurm-local.sh stop)"
    fi
}

start() {
    rm -rf "$state"
    mkdir -p "$state/munge" "$state/ctld" "$state/spool" || die "cannot make $state"
    # munged checks that no one else can write where its socket and key are.
    chmod 700 "$state" "$state/munge"

    mungekey --create --keyfile="$state/munge/munge.key" 2> "$state/mungekey.log" ||
        die "mungekey failed: $(cat "$state/mungekey.log")"
    # --force: munged wants every user able to reach its socket; this
    # cluster is root's alone, so the folder stays private.
    munged --force --socket="$state/munge/munge.socket" --key-file="$state/munge/munge.key" \
        --pid-file="$state/munged.pid" --log-file="$state/munged.log" \
        --seed-file="$state/munge/munged.seed" 2> "$state/munged.err" ||
        die "munged did not start: $(cat "$state/munged.err" "$state/munged.log" 2> /dev/null)"

    # The node as slurmd sees this machine: its CPUs, sockets and memory.
    local node host
    node=$(slurmd -C | head -1)
    host=$(hostname -s)
    [[ $node == NodeName=* ]] || die "slurmd -C said: $node"
    cat > "$state/slurm.conf" << EOF
ClusterName=ombrane-local
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$ctld_port
SlurmdPort=$((ctld_port + 1))
SlurmUser=root
AuthType=auth/munge
AuthInfo=socket=$state/munge/munge.socket
CredType=cred/munge
StateSaveLocation=$state/ctld
SlurmdSpoolDir=$state/spool
SlurmctldPidFile=$state/slurmctld.pid
SlurmdPidFile=$state/slurmd.pid
SlurmctldLogFile=$state/slurmctld.log
SlurmdLogFile=$state/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
MpiDefault=none
SwitchType=switch/none
SchedulerType=sched/backfill
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
ReturnToService=2
KillWait=5
MinJobAge=600
$node NodeAddr=127.0.0.1 State=UNKNOWN
PartitionName=debug Nodes=ALL Default=YES MaxTime=INFINITE State=UP
EOF
    export SLURM_CONF=$state/slurm.conf
    slurmctld -i > "$state/slurmctld.err" 2>&1 ||
        die "slurmctld did not start: $(cat "$state/slurmctld.err"; tail -5 "$state/slurmctld.log" 2> /dev/null)"
    slurmd > "$state/slurmd.err" 2>&1 ||
        die "slurmd did not start: $(cat "$state/slurmd.err"; tail -5 "$state/slurmd.log" 2> /dev/null)"
    local nodestate=""
    for _ in $(seq 60); do
        nodestate=$(sinfo --noheader --format=%t 2> /dev/null | head -1)
        [ "$nodestate" = idle ] && break
        sleep 0.5
    done
    [ "$nodestate" = idle ] ||
        die "the node is '${nodestate:-not listed}', not idle, after 30 s; the end of its logs:
$(tail -5 "$state/slurmctld.log" "$state/slurmd.log" 2> /dev/null)"
}

case "${1:-}" in
start)
    check
    not_running
    # A start that fails half-way stops what it had started.
    (start) || { stop; exit 1; }
    echo "export SLURM_CONF=$(printf %q "$state/slurm.conf")"
    ;;
stop)
    stop
    ;;
run)
    shift
    [ $# -gt 0 ] || die "usage: scripts/slurm-local.sh run CMD [ARG...]"
    check
    exec 9> "$lock"
    flock -w 600 9 || die "another local Slurm has held $lock for 10 minutes"
    not_running
    trap stop EXIT
    (start) || exit 1
    export SLURM_CONF=$state/slurm.conf
    "$@"
    ;;
*)
    echo "usage: scripts/slurm-local.sh start | stop | run CMD [ARG...]" >&2
    exit 2
    ;;
esac
