# The libraries the game's code links, found once for the game's build and for
# the fuzz targets' own build, so that the two lists cannot drift apart.
find_package(PkgConfig REQUIRED)
pkg_check_modules(EXPAT REQUIRED IMPORTED_TARGET expat)
pkg_check_modules(LUA REQUIRED IMPORTED_TARGET lua5.2)
pkg_check_modules(BULLET REQUIRED IMPORTED_TARGET bullet)
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
pkg_check_modules(SDL2MIXER REQUIRED IMPORTED_TARGET SDL2_mixer)
pkg_check_modules(EPOXY REQUIRED IMPORTED_TARGET epoxy)
pkg_check_modules(VORBIS REQUIRED IMPORTED_TARGET vorbisfile vorbisenc vorbis ogg)
find_library(LUABIND_LIBRARY luabind REQUIRED)
find_library(CAL3D_LIBRARY cal3d PATHS /usr/lib REQUIRED)
find_library(STB_LIBRARY stb REQUIRED)
find_package(Threads REQUIRED)

set(VANTOREL_GAME_LIBRARIES
  PkgConfig::EXPAT PkgConfig::LUA PkgConfig::BULLET PkgConfig::SDL2
  PkgConfig::SDL2MIXER PkgConfig::EPOXY PkgConfig::VORBIS
  ${LUABIND_LIBRARY} ${CAL3D_LIBRARY} ${STB_LIBRARY} Threads::Threads m)

# The standard headers every unit parses, precompiled once per target: parsing
# them is most of what a small unit costs. Only the standard library goes in,
# so that no unit sees a name it did not include for itself.
set(VANTOREL_STD_HEADERS
  <algorithm> <array> <cmath> <cstddef> <cstdint> <cstdio> <cstdlib> <cstring>
  <filesystem> <fstream> <functional> <map> <memory> <set> <sstream> <string>
  <utility> <vector>)
