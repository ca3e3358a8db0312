// Nothing to build on Windows: the private-profile functions declared in
// profile.h are kernel32's own.
