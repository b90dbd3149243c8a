# Sourced by the scripts that configure a build tree: how every new tree of the project is made.
# Ninja keeps both cores busy from the first file to the last; a compiler cache makes the builds
# after the first quick. A tree made before keeps the generator it was made with.
if command -v ninja >/dev/null; then
    export CMAKE_GENERATOR=Ninja
fi
if command -v ccache >/dev/null; then
    export CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi
