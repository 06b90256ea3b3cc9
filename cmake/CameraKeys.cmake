# The AES-128 key and initial vector that protect the camera's Wi-Fi password in config.ini
# ("Wifi" / "ap_pw"). The camera uses one fixed pair; a viewer that edits real cards must be
# built with exactly that pair:
#   cmake -DKX_CAMERA_AES_KEY=<32 hex digits> -DKX_CAMERA_AES_IV=<32 hex digits> ...
# The defaults below are DEVELOPMENT DEFAULTS (the ASCII texts "KX-TMQ4 dev key!" and
# "KX-TMQ4 dev iv!!"). They are NOT the camera's values: a password written with them is
# unreadable to a camera, and a camera's password reads as garbage.
set(KX_CAMERA_AES_DEVELOPMENT_KEY "4B582D544D513420646576206B657921")
set(KX_CAMERA_AES_DEVELOPMENT_IV "4B582D544D5134206465762069762121")

set(KX_CAMERA_AES_KEY "${KX_CAMERA_AES_DEVELOPMENT_KEY}" CACHE STRING
    "AES-128 key of the camera's Wi-Fi password, 32 hexadecimal digits (default: development key)")
set(KX_CAMERA_AES_IV "${KX_CAMERA_AES_DEVELOPMENT_IV}" CACHE STRING
    "AES-128-CBC initial vector of the camera's Wi-Fi password, 32 hexadecimal digits (default: development vector)")

foreach(variable KX_CAMERA_AES_KEY KX_CAMERA_AES_IV)
    if(NOT "${${variable}}" MATCHES "^[0-9A-Fa-f]+$")
        message(FATAL_ERROR "${variable} must be 32 hexadecimal digits, got '${${variable}}'")
    endif()
    string(LENGTH "${${variable}}" length)
    if(NOT length EQUAL 32)
        message(FATAL_ERROR "${variable} must be 32 hexadecimal digits, got ${length}")
    endif()
endforeach()

string(TOUPPER "${KX_CAMERA_AES_KEY}" KX_CAMERA_AES_KEY_UPPER)
string(TOUPPER "${KX_CAMERA_AES_IV}" KX_CAMERA_AES_IV_UPPER)
if(KX_CAMERA_AES_KEY_UPPER STREQUAL KX_CAMERA_AES_DEVELOPMENT_KEY
   OR KX_CAMERA_AES_IV_UPPER STREQUAL KX_CAMERA_AES_DEVELOPMENT_IV)
    set(KX_CAMERA_AES_IS_DEVELOPMENT 1)
    message(STATUS "Camera Wi-Fi password key: DEVELOPMENT DEFAULT (set KX_CAMERA_AES_KEY and "
                   "KX_CAMERA_AES_IV to the camera's values for real cards)")
else()
    set(KX_CAMERA_AES_IS_DEVELOPMENT 0)
    message(STATUS "Camera Wi-Fi password key: configured")
endif()
