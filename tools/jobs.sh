# The one choice of how many jobs build and test commands run at once: JOBS
# when set (another build may share the machine), else one per processor.
# Sourced by the scripts; tools/mutants.py follows the same rule.
parallel_jobs() {
    echo "${JOBS:-$(nproc)}"
}
