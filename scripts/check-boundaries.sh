#!/usr/bin/env bash
# Fails when platform calls appear outside the folders of their back ends:
#   gl*/egl* calls and the GL, GL ES and EGL headers outside GL/ folders,
#   SDL_* names and the SDL headers outside Sdl/ folders,
#   POSIX-only calls and headers outside Posix/ folders,
#   gtk_* calls and the GTK headers outside Gtk/ folders.
# Every source file of the tree counts (libraries, programs, tests,
# benchmarks); comment lines do not. Usage: check-boundaries.sh [ROOT]
# (default: this repository). Prints one line per misplaced call.
set -euo pipefail
root=${1:-"$(dirname "$0")/.."}
cd "$root"

posix_headers='unistd|fcntl|dlfcn|pthread|spawn|signal|dirent|termios|poll|syslog|pwd|grp|sys/[a-z_]+'
# Calls without arguments, then calls that take some (a local read() is no
# POSIX read).
posix_bare_calls='getpid|gettid|getppid|fork|dlerror'
posix_calls='open|openat|close|read|write|pread|pwrite|lseek|fstat|lstat|stat|ftruncate|fsync|mkdir|rmdir|unlink|unlinkat'
posix_calls+='|mkdtemp|mkstemp|dlopen|dlsym|dlclose|isatty|kill|waitpid|execv|execvp'
posix_calls+='|execve|posix_spawn|posix_spawnp|pipe|pipe2|dup|dup2|sigaction|sigemptyset|pthread_[a-z_]+|getrandom|madvise'
posix_calls+='|mmap|munmap|setpriority|getpriority|getrusage|clock_gettime|localtime_r|gmtime_r|popen|pclose|setenv'
posix_calls+='|unsetenv|syscall|usleep|realpath|readlink|symlink|chmod|chown'

# rule name | folder allowed to hold it | extended regular expression
rules=(
  "GL|GL|(^|[^A-Za-z0-9_])e?gl[A-Z][A-Za-z0-9_]*[[:space:]]*\(|#[[:space:]]*include[[:space:]]*[<\"](GLES[23]?|EGL|GL|KHR)/"
  "SDL|Sdl|(^|[^A-Za-z0-9_])SDL_[A-Za-z0-9_]+|#[[:space:]]*include[[:space:]]*[<\"]SDL2?/"
  "POSIX|Posix|#[[:space:]]*include[[:space:]]*<($posix_headers)\.h>|(^|[^A-Za-z0-9_.>:])(::)?($posix_bare_calls)[[:space:]]*\(|(^|[^A-Za-z0-9_.>:])(::)?($posix_calls)[[:space:]]*\([[:space:]]*[^)[:space:]]|(^|[^A-Za-z0-9_])W(IFEXITED|EXITSTATUS|IFSIGNALED|TERMSIG)[[:space:]]*\("
  "GTK|Gtk|(^|[^A-Za-z0-9_])gtk_[a-z_]+[[:space:]]*\(|#[[:space:]]*include[[:space:]]*<gtk/"
)

mapfile -t files < <(find . \( -path './build*' -o -path './.git' -o -path './out' -o -path './.cache' \) -prune -o \
  -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.c' -o -name '*.hpp' -o -name '*.cc' \) -print | sort)

found=0
for rule in "${rules[@]}"; do
  name=${rule%%|*}
  rest=${rule#*|}
  folder=${rest%%|*}
  pattern=${rest#*|}
  outside=()
  for file in "${files[@]}"; do
    [[ "/$file/" == */"$folder"/* ]] || outside+=("$file")
  done
  ((${#outside[@]})) || continue
  # Lines that are comments ("// ...", " * ...") do not count.
  hits=$(grep -nHE "$pattern" "${outside[@]}" | grep -vE '^[^:]+:[0-9]+:[[:space:]]*(//|\*|/\*)' || true)
  [[ -z "$hits" ]] && continue
  found=1
  while IFS= read -r hit; do
    echo "check-boundaries: $name call outside a $folder/ folder: ${hit#./}"
  done <<<"$hits"
done

if ((found)); then
  echo "check-boundaries: move these calls into the back end's folder and call them through its interface" >&2
  exit 1
fi
echo "check-boundaries: no platform calls outside their back-end folders (${#files[@]} files)"
