# Sourced by the scripts that run Wine: which of the two builds this host runs.
# Some x86-64 hosts run no 32-bit code at all (a kernel without IA-32
# emulation): wine32 installs there, but nothing of it starts. So whether
# 32-bit code runs is found out by starting the 32-bit loader.
# LUTROVANE_NO_32BIT=1 makes every script act as on such a host.

runs_32bit() {
  [ -z "${LUTROVANE_NO_32BIT:-}" ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}

# The build that the scripts start, its processor (cmake/mingw-*.cmake) and
# its Wine loader: the 32-bit build, as the program was made, where the host
# runs it. Debian's `wine` script takes the 32-bit loader whenever it is
# installed, so the 64-bit build names its loader itself.
if runs_32bit; then
  lutrovane_arch=win32 lutrovane_processor=i686 lutrovane_wine=wine
else
  lutrovane_arch=win64 lutrovane_processor=x86_64 lutrovane_wine=/usr/lib/wine/wine64
fi
