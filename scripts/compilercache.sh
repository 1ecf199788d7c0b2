# Sourced by the build scripts: compile through ccache when it is installed,
# so a second build folder or a fresh clone of the same tree reuses what was
# compiled before. Paths are taken relative to the tree, so clones share hits.
compiler_cache=()
if command -v ccache >/dev/null 2>&1; then
    export CCACHE_BASEDIR="$here" CCACHE_NOHASHDIR=1
    compiler_cache=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
