# OpenSSL 3: Debian's on Linux. For Windows, the static libraries of the
# layer that tools/openssl-windows.sh builds, passed as OPENSSL_ROOT_DIR; the cross toolchain
# looks for libraries under its own root only, so the layer's folder becomes one of those roots.
if(MINGW)
  set(OPENSSL_USE_STATIC_LIBS ON)
  if(OPENSSL_ROOT_DIR)
    list(APPEND CMAKE_FIND_ROOT_PATH ${OPENSSL_ROOT_DIR})
  endif()
endif()
find_package(OpenSSL 3 REQUIRED)
if(MINGW)
  # What static libcrypto calls in Windows: the random source (bcrypt), the system's certificate
  # store (crypt32), sockets (ws2_32), and the event log and window station of its fatal-error
  # report (advapi32, user32).
  set_property(TARGET OpenSSL::Crypto APPEND PROPERTY INTERFACE_LINK_LIBRARIES
    bcrypt crypt32 ws2_32 advapi32 user32)
endif()
