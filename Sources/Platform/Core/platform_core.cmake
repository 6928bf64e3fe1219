# Libraries the core platform layer links: libplist for the preferences files, threads for
# reaping programs started with administrator rights.
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBPLIST REQUIRED IMPORTED_TARGET libplist-2.0)
find_package(Threads REQUIRED)
target_link_libraries(platform_core PRIVATE PkgConfig::LIBPLIST Threads::Threads)
