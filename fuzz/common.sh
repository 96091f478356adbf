# Sourced by the fuzzing scripts (campaign, saturation check, CI smoke):
# the list of targets, each target's dictionary and the sanitizer settings.

# fuzz_targets: every target named in fuzz/dict/TARGETS, one per line.
fuzz_targets() { awk '/^fuzz_/ { print $1 }' fuzz/dict/TARGETS; }

# fuzz_dict NAME: the path of NAME's dictionary, empty when it has none.
fuzz_dict() { awk -v t="$1" '$1 == t { print "fuzz/dict/" $2 ".dict" }' fuzz/dict/TARGETS; }

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Targets that write files (the option file) sync every write: on a memory
# file system that costs nothing, on a disk it bounds the run.
if [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
