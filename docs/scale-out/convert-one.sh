#!/bin/sh
# usage: convert-one.sh LIST INDEX [vellumark convert options...]
# Converts the scan on line INDEX + 1 of LIST (one path a line), the way an array job or an
# indexed job hands out work: INDEX counts from 0, as SLURM_ARRAY_TASK_ID and Kubernetes'
# JOB_COMPLETION_INDEX do. A book that already exists counts as done, so the whole array can be
# run again after a stop and does only what is left.
# VELLUMARK: the program (default: vellumark on PATH).
set -eu
list=$1
index=$2
shift 2
case $index in
    '' | *[!0-9]*) echo "convert-one.sh: the index must be a whole number, not \"$index\"" >&2; exit 2 ;;
esac
input=$(sed -n "$((index + 1))p" "$list")
if [ -z "$input" ]; then
    echo "convert-one.sh: $list has no line $((index + 1))" >&2
    exit 2
fi
exec "${VELLUMARK:-vellumark}" convert "$input" --skip-existing "$@"
