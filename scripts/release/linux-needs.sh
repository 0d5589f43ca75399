# What the Linux program needs from the system, for release.sh (sourced).

# shared_libraries PROGRAM: the libraries it names, comma separated.
shared_libraries() {
  readelf -d -- "$1" | sed -n 's/.*Shared library: \[\(.*\)\]/\1/p' | paste -sd, - | sed 's/,/, /g'
}

# highest_glibc: reads `objdump -T PROGRAM` and prints the newest glibc
# symbol version it asks for, which is the oldest glibc that runs it.
highest_glibc() {
  grep -o 'GLIBC_[0-9][0-9.]*' | sed 's/^GLIBC_//' | sort -V | tail -1
}
