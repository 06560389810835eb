# Sourced by the demo and the benchmark (with $root set): picks the build
# that runs here. The shipped i686 build where the kernel runs 32-bit
# programs and 32-bit Wine is installed, the x86_64 build elsewhere. Sets
# `build` (its folder), `flag` (wine-run.sh's "--win32", or empty) and
# `reason` (why the shipped build cannot run here, or empty).
if reason=$(bash "$root/tools/probe-32bit.sh"); then
    flag=--win32
    build="$root/build/i686"
else
    flag=""
    build="$root/build/x64"
fi
