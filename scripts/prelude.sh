# Sourced by the test and benchmark commands: the repository root as the working folder, the
# packages in place, and the private Wine environment stopped on every way out.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
"$root/scripts/deps.sh" || exit 1
source "$root/scripts/wine-env.sh"
trap 'qv_env_stop' EXIT
trap 'exit 130' INT TERM
