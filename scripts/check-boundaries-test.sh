#!/usr/bin/env bash
# The boundary check on a small tree made here: platform calls inside their
# back-end folders and in comments pass; each kind of call put into a
# portable folder fails the check, which names the file and line.
set -euo pipefail
check="$(cd "$(dirname "$0")" && pwd)/check-boundaries.sh"
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT

write() {
  mkdir -p "$(dirname "$tree/$1")"
  printf '%s\n' "$2" >"$tree/$1"
}

write QxLib/qxPortable.cpp '// Calls open(path) through the file handle; glClear(x) is for GL only.
int Portable(int x) { return x; }
int Reader() { const auto read = [] { return 1; }; return read(); }'
write QxLib/Posix/qxFile.cpp '#include <unistd.h>
int Close(int fd) { return ::close(fd); }'
write VmoLib2/3DBasics/GL/qxGL.cpp '#include <GLES3/gl3.h>
void Clear() { glClear(GL_COLOR_BUFFER_BIT); }'
write VmoLib2/3DBasics/Sdl/qxSdl.cpp '#include <SDL2/SDL.h>
void Quit() { SDL_Quit(); }'
write Tests/VmoLib2/3DBasics/GL/qxGLTest.cpp 'void Test() { eglGetCurrentContext(); }'

if ! out=$("$check" "$tree" 2>&1); then
  echo "FAIL: a tree with every call in its place was refused:"
  echo "$out"
  exit 1
fi

failures=0
expect_refused() { # file, text, what the check must name
  write "$1" "$2"
  if out=$("$check" "$tree" 2>&1); then
    echo "FAIL: $1 passed the check: $2"
    failures=$((failures + 1))
  elif [[ "$out" != *"$3"* ]]; then
    echo "FAIL: the check did not name $3:"
    echo "$out"
    failures=$((failures + 1))
  fi
  rm "$tree/$1"
}

expect_refused VmoLib2/3DEngine/qxMisplaced.cpp 'void Draw() { glDrawArrays(0, 0, 3); }' \
  "GL call outside a GL/ folder: VmoLib2/3DEngine/qxMisplaced.cpp:1:"
expect_refused VmoLib2/3DBasics/Sdl/GLES/qxNotGL.cpp '#include <EGL/egl.h>' \
  "GL call outside a GL/ folder: VmoLib2/3DBasics/Sdl/GLES/qxNotGL.cpp:1:"
expect_refused VmoLib2/3DBasics/GL/qxWindow.cpp 'void Show(SDL_Window* w) { SDL_ShowWindow(w); }' \
  "SDL call outside a Sdl/ folder: VmoLib2/3DBasics/GL/qxWindow.cpp:1:"
expect_refused QxLib/qxStream2.cpp 'int Open(const char* p) { return ::open(p, 0); }' \
  "POSIX call outside a Posix/ folder: QxLib/qxStream2.cpp:1:"
expect_refused Tests/QxLib/qxSpawnTest.cpp '#include <spawn.h>' \
  "POSIX call outside a Posix/ folder: Tests/QxLib/qxSpawnTest.cpp:1:"
expect_refused bench/bench_wait.cpp 'bool Ok(int s) { return WIFEXITED(s); }' \
  "POSIX call outside a Posix/ folder: bench/bench_wait.cpp:1:"
expect_refused Vmo/qxMain.cpp 'void Run() { gtk_main(); }' \
  "GTK call outside a Gtk/ folder: Vmo/qxMain.cpp:1:"

if ((failures)); then
  exit 1
fi
echo "check-boundaries-test: every misplaced call was caught"
