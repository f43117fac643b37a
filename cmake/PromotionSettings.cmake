# Build-time settings of the promotion client, seen by code through the
# generated header <BuildSettings.h>.
set(VQ_PROMOTION_SERVER "http://127.0.0.1:8737" CACHE STRING
    "Promotion server base URL: scheme and host (and port), no trailing slash")
set(VQ_APP_STORE_ID "714208355" CACHE STRING "The app's own store identifier (decimal digits)")
set(VQ_STORE_WEB_HOST "store.velvetquill.test" CACHE STRING
    "Host of the store's web pages that store links redirect to")

if(NOT VQ_PROMOTION_SERVER MATCHES "^https?://[^/]+$")
  message(FATAL_ERROR "VQ_PROMOTION_SERVER must be http(s)://host[:port] with no path or trailing slash, not '${VQ_PROMOTION_SERVER}'")
endif()
if(NOT VQ_APP_STORE_ID MATCHES "^[0-9]+$")
  message(FATAL_ERROR "VQ_APP_STORE_ID must be decimal digits, not '${VQ_APP_STORE_ID}'")
endif()
if(NOT VQ_STORE_WEB_HOST MATCHES "^[A-Za-z0-9.-]+$")
  message(FATAL_ERROR "VQ_STORE_WEB_HOST must be a host name, not '${VQ_STORE_WEB_HOST}'")
endif()

set(VQ_GENERATED_INCLUDE_DIR "${CMAKE_BINARY_DIR}/generated")
configure_file("${CMAKE_CURRENT_LIST_DIR}/templates/BuildSettings.h.in"
               "${VQ_GENERATED_INCLUDE_DIR}/BuildSettings.h" @ONLY)
